#include "core/reports/stackingplan.h"

#include "core/base/numbertext.h"
#include "core/leases/leasecalendar.h"
#include "core/model/captions.h"
#include "core/model/occupancy.h"
#include "core/model/recordtable.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The grey the plan's vacancy view gives common areas, so they look alike everywhere.
constexpr QRgb kCommon = PlanColouring::kCommon;

// Row geometry as paint() lays it out, in points of the paint device.
constexpr double kRowHeight = 28;
constexpr double kRowGap = 8;
// Rows shrink to fit many plans onto the area, down to this pitch.
constexpr double kSmallestPitch = 10;
constexpr double kLegendColumn = 170;
constexpr double kLegendLine = 16;
constexpr double kLabelWidth = 110;
constexpr double kTotalWidth = 60; // the bar's area after its end

// Black or white, whichever reads better on the colour.
QColor textOn(QRgb colour)
{
    return qGray(colour) > 140 ? Qt::black : Qt::white;
}

} // namespace

QString StackingPlan::vacantCaption()
{
    return u"свободно"_s;
}

QString StackingPlan::commonCaption()
{
    return u"МОП"_s;
}

StackingPlan StackingPlan::build(const RecordTable &table, const Captions &captions,
                                 const QStringList &planOrder, Colouring colouring,
                                 const std::function<bool(int row)> &isCommon, const GroupOf &groupOf)
{
    StackingPlan plan;
    QHash<QString, size_t> barSlot;
    const auto barOf = [&](const QString &id) -> Bar & {
        auto it = barSlot.constFind(id);
        if (it == barSlot.cend()) {
            it = barSlot.insert(id, plan.bars.size());
            plan.bars.push_back({id, 0, {}});
        }
        return plan.bars[*it];
    };
    for (const QString &id : planOrder) {
        if (!id.isEmpty())
            barOf(id);
    }
    const std::vector<QString> tenants = PlanColouring::tenantOrder(table);
    // Per bar, the block of each caption; kept apart by kind so a tenant named "свободно" stays
    // a tenant.
    std::vector<QHash<QString, size_t>> blockSlots;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row &row = table.row(r);
        if (row[RecordTable::PlanId].isEmpty())
            continue;
        Bar &bar = barOf(row[RecordTable::PlanId]);
        const size_t barIndex = size_t(&bar - plan.bars.data());
        if (blockSlots.size() < plan.bars.size())
            blockSlots.resize(plan.bars.size());
        Block block;
        const Occupancy::State state = Occupancy::of(row, isCommon && isCommon(r));
        if (state == Occupancy::State::Common) {
            block = {Kind::Common, commonCaption(), kCommon, 0, {}};
        } else if (colouring == Colouring::Groups) {
            const std::optional<Group> group = groupOf ? groupOf(r) : std::nullopt;
            if (group)
                block = {Kind::Type, group->caption, group->colour, 0, {}, group->rank};
            else
                block = {Kind::Vacant, vacantCaption(), PlanColouring::kVacant, 0, {}};
        } else if (colouring == Colouring::Types) {
            const int type = RecordTable::typeIndex(row[RecordTable::Type]);
            block = {Kind::Type, type < 0 ? u"без типа"_s : captions[Captions::FirstType + type],
                     PlanColouring::typeColour(type), 0, {}};
        } else if (state == Occupancy::State::Vacant) {
            block = {Kind::Vacant, vacantCaption(), PlanColouring::kVacant, 0, {}};
        } else {
            const QString &tenant = row[RecordTable::Tenant];
            block = {Kind::Tenant, tenant, PlanColouring::tenantColourIn(tenants, tenant), 0, {}};
        }
        const QString slotKey = QString::number(int(block.kind)) + u'\x1f' + block.caption;
        auto slot = blockSlots[barIndex].constFind(slotKey);
        if (slot == blockSlots[barIndex].cend()) {
            slot = blockSlots[barIndex].insert(slotKey, bar.blocks.size());
            bar.blocks.push_back(std::move(block));
        }
        Block &target = bar.blocks[*slot];
        const double area = std::max(0.0, NumberText::area(row[RecordTable::Area]).value_or(0));
        target.area += area;
        target.rows.push_back(r);
        bar.area += area;
    }
    for (Bar &bar : plan.bars) {
        // Tenants (or types) first, the largest first; then the vacant rooms; then the common areas.
        const auto rank = [](Kind kind) { return kind == Kind::Vacant ? 1 : kind == Kind::Common ? 2 : 0; };
        std::stable_sort(bar.blocks.begin(), bar.blocks.end(), [&](const Block &a, const Block &b) {
            if (rank(a.kind) != rank(b.kind))
                return rank(a.kind) < rank(b.kind);
            if (colouring == Colouring::Groups && a.rank != b.rank)
                return a.rank < b.rank;
            return a.area > b.area;
        });
    }
    return plan;
}

StackingPlan::GroupOf StackingPlan::leaseYears(const RecordTable &table, const LeaseCalendar &calendar,
                                               QDate day)
{
    return [&table, &calendar, day](int row) -> std::optional<Group> {
        const auto key = parseCellNumber(table.cellText(RecordTable::ColourKey, row));
        if (!key || !calendar.hasLeases(quint32(*key))) {
            if (table.cellText(RecordTable::Tenant, row).isEmpty())
                return std::nullopt;
            return Group{u"сроки неизвестны"_s, PlanColouring::kNoKind, 100000};
        }
        const int lease = calendar.inForce(quint32(*key), day);
        if (lease < 0)
            return std::nullopt;
        const QDate end = calendar.lease(lease).end;
        if (!end.isValid())
            return Group{u"бессрочно"_s, PlanColouring::kLeaseOpenEnded, 99999};
        // This year red, next orange, then yellow and greens.
        static constexpr std::array<QRgb, 5> ramp = {PlanColouring::kLeaseEnded, PlanColouring::kLeaseWithin3,
                                                     PlanColouring::kLeaseWithin12, 0xffa6d96a, 0xff1a9850};
        const int years = std::clamp(end.year() - day.year(), 0, int(ramp.size()) - 1);
        return Group{QString::number(end.year()), ramp[size_t(years)], end.year()};
    };
}

double StackingPlan::maxArea() const
{
    double most = 0;
    for (const Bar &bar : bars)
        most = std::max(most, bar.area);
    return most;
}

std::vector<PlanColouring::LegendItem> StackingPlan::legend(const QString &plan) const
{
    std::vector<PlanColouring::LegendItem> items;
    QHash<QString, size_t> slot;
    for (const Bar &bar : bars) {
        if (!plan.isEmpty() && bar.plan != plan)
            continue;
        for (const Block &block : bar.blocks) {
            const QString key = QString::number(int(block.kind)) + u'\x1f' + block.caption;
            auto it = slot.constFind(key);
            if (it == slot.cend()) {
                it = slot.insert(key, items.size());
                items.push_back({block.colour, block.caption, 0, 0});
            }
            items[*it].rooms += int(block.rows.size());
            items[*it].area += block.area;
        }
    }
    return items;
}

std::vector<QRectF> StackingPlan::blockRects(const Bar &bar, const QRectF &row, bool equalLength) const
{
    std::vector<QRectF> rects;
    const double most = maxArea();
    const double length = bar.area <= 0 || most <= 0 ? 0
                          : equalLength              ? row.width()
                                                     : row.width() * bar.area / most;
    double x = row.left();
    for (const Block &block : bar.blocks) {
        const double width = bar.area > 0 ? length * block.area / bar.area : 0;
        rects.emplace_back(x, row.top(), width, row.height());
        x += width;
    }
    return rects;
}

double StackingPlan::legendHeight(double width) const
{
    const int columns = std::max(1, int(width / kLegendColumn));
    const int items = int(legend().size());
    return kRowGap + ((items + columns - 1) / columns) * kLegendLine;
}

double StackingPlan::rowPitch(const QRectF &area) const
{
    if (bars.empty())
        return kRowHeight + kRowGap;
    const double fits = (area.height() - legendHeight(area.width())) / double(bars.size());
    return std::clamp(fits, kSmallestPitch, kRowHeight + kRowGap);
}

QRectF StackingPlan::barRow(const QRectF &area, int index) const
{
    const double pitch = rowPitch(area);
    return {area.left() + kLabelWidth, area.top() + index * pitch,
            std::max(0.0, area.width() - kLabelWidth - kTotalWidth),
            pitch * kRowHeight / (kRowHeight + kRowGap)};
}

std::pair<int, int> StackingPlan::blockAt(const QRectF &area, bool equalLength, QPointF point) const
{
    for (int b = 0; b < int(bars.size()); ++b) {
        const std::vector<QRectF> rects = blockRects(bars[size_t(b)], barRow(area, b), equalLength);
        for (int k = 0; k < int(rects.size()); ++k) {
            if (rects[size_t(k)].contains(point))
                return {b, k};
        }
    }
    return {-1, -1};
}

void StackingPlan::paint(QPainter &painter, const QRectF &area, bool equalLength) const
{
    painter.save();
    QFont font = painter.font();
    // Smaller rows take smaller labels; the legend keeps its size.
    const double rowHeight = barRow(area, 0).height();
    font.setPointSizeF(std::min(8.0, rowHeight * 0.6));
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    for (int b = 0; b < int(bars.size()); ++b) {
        const Bar &bar = bars[size_t(b)];
        const QRectF row = barRow(area, b);
        painter.setPen(Qt::black);
        const QRectF label(area.left(), row.top(), kLabelWidth - 6, row.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(bar.plan, Qt::ElideMiddle, label.width()));
        const std::vector<QRectF> rects = blockRects(bar, row, equalLength);
        for (size_t k = 0; k < rects.size(); ++k) {
            const Block &block = bar.blocks[k];
            if (rects[k].width() <= 0)
                continue;
            painter.fillRect(rects[k], QColor::fromRgb(block.colour));
            painter.setPen(QPen(Qt::white, 0.8));
            painter.drawRect(rects[k]);
            // Caption and area where both fit, else the caption alone; a tooltip or the legend
            // tells the rest.
            for (const QString &text :
                 {block.caption + u' ' + NumberText::format(block.area), block.caption}) {
                if (metrics.horizontalAdvance(text) + 4 <= rects[k].width()) {
                    painter.setPen(textOn(block.colour));
                    painter.drawText(rects[k], Qt::AlignCenter, text);
                    break;
                }
            }
        }
        painter.setPen(Qt::black);
        const QRectF total(row.left() + (rects.empty() ? 0 : rects.back().right() - row.left()) + 4,
                           row.top(), kTotalWidth - 4, row.height());
        if (!equalLength)
            painter.drawText(total, Qt::AlignLeft | Qt::AlignVCenter, NumberText::format(bar.area));
    }
    // The legend, in as many columns as fit.
    font.setPointSizeF(8);
    painter.setFont(font);
    const QFontMetricsF legendMetrics(font, painter.device());
    const double top = area.top() + int(bars.size()) * rowPitch(area) + kRowGap;
    const double columnWidth = kLegendColumn;
    const int columns = std::max(1, int(area.width() / columnWidth));
    const std::vector<PlanColouring::LegendItem> items = legend();
    for (int i = 0; i < int(items.size()); ++i) {
        const QPointF at(area.left() + (i % columns) * columnWidth, top + (i / columns) * kLegendLine);
        painter.fillRect(QRectF(at, QSizeF(12, 12)), QColor::fromRgb(items[size_t(i)].colour));
        painter.setPen(Qt::black);
        const QString text = items[size_t(i)].caption + u" — "_s + NumberText::format(items[size_t(i)].area);
        painter.drawText(QRectF(at.x() + 16, at.y() - 2, columnWidth - 20, 16),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         legendMetrics.elidedText(text, Qt::ElideRight, columnWidth - 20));
    }
    painter.restore();
}
