#pragma once

#include "core/reports/plancolouring.h"

#include <QRectF>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <QDate>

#include <functional>
#include <optional>
#include <vector>

class LeaseCalendar;
class QPainter;
class RecordTable;
struct Captions;

// The complex on one page: one bar per plan in the project's plan order, split into blocks in
// proportion to area. By tenant, a block per tenant (coloured as the tenant colouring of the
// plan colours it, so a tenant has one colour everywhere), then the vacant rooms, then the
// common areas; by type, a block per room type. Areas are read as every sum reads them; a
// record whose area is no number adds a room but no area.
class StackingPlan
{
public:
    // Groups: a block per group a function names for each record (the year its lease ends), the
    // records it names none for vacant.
    enum class Colouring { Tenants, Types, Groups };
    struct Group
    {
        QString caption;
        QRgb colour = 0;
        int rank = 0; // groups are ordered by it, not by area
    };
    using GroupOf = std::function<std::optional<Group>(int row)>;
    enum class Kind { Tenant, Vacant, Common, Type };

    struct Block
    {
        Kind kind = Kind::Tenant;
        QString caption; // the tenant, "свободно", "МОП" or the type's caption
        QRgb colour = 0;
        double area = 0;
        std::vector<int> rows; // its records, in table order
        int rank = 0;          // of a group
    };
    struct Bar
    {
        QString plan;
        double area = 0;
        std::vector<Block> blocks; // tenants by area (largest first), then vacant, then common
    };

    // Plans of records that are not in planOrder follow in order of first appearance; records
    // without a plan are left out. isCommon tells the records of common areas (none without it).
    static StackingPlan build(const RecordTable &table, const Captions &captions,
                              const QStringList &planOrder, Colouring colouring,
                              const std::function<bool(int row)> &isCommon = {}, const GroupOf &groupOf = {});

    // Groups by the year the lease in force on the day ends ("2027", "бессрочно"; a tenant of
    // the record without any lease "сроки неизвестны"), the sooner the redder. The calendar
    // must outlive the build.
    static GroupOf leaseYears(const RecordTable &table, const LeaseCalendar &calendar, QDate day);

    std::vector<Bar> bars;
    // The largest bar's area: the bar that spans the whole width.
    double maxArea() const;
    // Each block of the legend once, in the order of first appearance; of one bar only when
    // given its plan.
    std::vector<PlanColouring::LegendItem> legend(const QString &plan = QString()) const;

    // The rectangles of a bar's blocks when the bar is drawn in `row`: its length in
    // proportion to its area against maxArea() (the whole width with equalLength), each block
    // in proportion to its area. A bar or block of no area has an empty rectangle.
    std::vector<QRectF> blockRects(const Bar &bar, const QRectF &row, bool equalLength) const;

    // Draws the bars, one row each with the plan id on the left, their labels (caption and area)
    // where they fit, and the legend below, into `area` of any paint device.
    void paint(QPainter &painter, const QRectF &area, bool equalLength) const;
    // Where paint() draws the blocks of bar `index`; the same geometry, for hit tests. Rows
    // get closer together when the bars and the legend would not fit the area's height.
    QRectF barRow(const QRectF &area, int index) const;
    double rowPitch(const QRectF &area) const;
    // The legend's height below the bars when drawn that wide.
    double legendHeight(double width) const;
    // The bar and block under a point of `area` as paint() draws it, or {-1, -1}.
    std::pair<int, int> blockAt(const QRectF &area, bool equalLength, QPointF point) const;

    static QString vacantCaption();
    static QString commonCaption();
};
