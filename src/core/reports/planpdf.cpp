#include "core/reports/planpdf.h"

#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/base/safefile.h"
#include "core/model/recordtable.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Points: the writer's resolution is set to 72 dpi, so one unit is one point.
constexpr double kMargin = 28;
constexpr double kTitleHeight = 40;
constexpr double kLegendRowHeight = 14;

QPageLayout layoutFor(PlanPdf::Paper paper, bool landscape)
{
    return QPageLayout(QPageSize(paper == PlanPdf::Paper::A3 ? QPageSize::A3 : QPageSize::A4),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Point);
}

QFont font(double points, bool bold = false)
{
    QFont f(u"Liberation Sans"_s);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void titleBlock(QPainter &painter, const QRectF &page, const PlanPdf::Document &document, const QString &subject)
{
    const QRectF box(kMargin, kMargin, page.width() - 2 * kMargin, kTitleHeight - 8);
    painter.setPen(QPen(Qt::black, 0.6));
    painter.drawLine(box.bottomLeft(), box.bottomRight());
    painter.setFont(font(13, true));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, subject);
    painter.setFont(font(9));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignBottom, document.archive);
    painter.drawText(box, Qt::AlignRight | Qt::AlignBottom, document.date.toString(u"dd.MM.yyyy"_s));
}

// The legend in as many columns as fit; returns its height.
double legendHeight(const std::vector<PlanColouring::LegendItem> &items, double width, int *columns)
{
    *columns = std::max(1, int(width / 180));
    const int rows = (int(items.size()) + *columns - 1) / *columns;
    return rows * kLegendRowHeight;
}

void drawLegend(QPainter &painter, const std::vector<PlanColouring::LegendItem> &items, const QRectF &box, int columns)
{
    painter.setFont(font(8));
    const double columnWidth = box.width() / columns;
    const QFontMetricsF metrics(painter.font(), painter.device());
    for (int i = 0; i < int(items.size()); ++i) {
        const auto &item = items[size_t(i)];
        const QPointF at(box.left() + (i % columns) * columnWidth, box.top() + (i / columns) * kLegendRowHeight);
        painter.fillRect(QRectF(at + QPointF(0, 2), QSizeF(10, 10)), QColor::fromRgb(item.colour));
        painter.setPen(QPen(Qt::black, 0.4));
        painter.drawRect(QRectF(at + QPointF(0, 2), QSizeF(10, 10)));
        const QString text = u"%1: %2 пом., %3"_s.arg(item.caption).arg(item.rooms).arg(NumberText::format(item.area));
        painter.drawText(QRectF(at.x() + 14, at.y(), columnWidth - 16, kLegendRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, columnWidth - 16));
    }
}

void drawScaleBar(QPainter &painter, const QRectF &target, double pointsPerPixel, double metresPerPixel)
{
    const double metresAcross = target.width() / pointsPerPixel * metresPerPixel;
    const double metres = PlanPdf::scaleBarMetres(metresAcross / 4);
    if (metres <= 0)
        return;
    const double length = metres / metresPerPixel * pointsPerPixel;
    const QPointF start(target.left(), target.bottom() + 10);
    painter.setPen(QPen(Qt::black, 1));
    painter.fillRect(QRectF(start, QSizeF(length / 2, 4)), Qt::black);
    painter.drawRect(QRectF(start, QSizeF(length, 4)));
    painter.setFont(font(8));
    painter.drawText(QPointF(start.x() + length + 4, start.y() + 5),
                     NumberText::format(metres) + u" м"_s);
}

// The room texts at their label points, lines below one another; a white backing keeps them
// readable on any colour without copies of the text that would repeat it in a search.
void drawRoomTexts(QPainter &painter, const PlanPdf::Document &document, const QString &plan,
                   const QTransform &toPage)
{
    const RecordTable *table = document.table;
    const PlacementPicture::Options &o = document.texts;
    if (!table || !(o.tenant || o.area || o.name || o.type))
        return;
    struct Line
    {
        QString text;
        QColor colour;
        bool bold;
    };
    const QFont regular = font(6);
    const QFont bold = font(6, true);
    for (int r = 1; r <= table->recordCount(); ++r) {
        const RecordTable::Row &row = table->row(r);
        if (row[RecordTable::PlanId] != plan)
            continue;
        const auto x = parseCellNumber(row[RecordTable::LabelX]);
        const auto y = parseCellNumber(row[RecordTable::LabelY]);
        if (!x || !y)
            continue;
        std::vector<Line> lines;
        if (o.tenant && !row[RecordTable::Tenant].isEmpty())
            lines.push_back({row[RecordTable::Tenant], QColor(0xFF, 0, 0), true});
        if (o.area && !row[RecordTable::Area].isEmpty())
            lines.push_back({row[RecordTable::Area] + o.unit, QColor(0x80, 0, 0x80), false});
        if (o.name && !row[RecordTable::Name].isEmpty())
            lines.push_back({row[RecordTable::Name], QColor(0, 0, 0x80), true});
        if (o.type && !row[RecordTable::Type].isEmpty())
            lines.push_back({row[RecordTable::Type], Qt::black, true});
        if (lines.empty())
            continue;
        const QPointF at = toPage.map(QPointF(*x, *y));
        double top = at.y() - lines.size() * 7.0 / 2;
        for (const Line &line : lines) {
            painter.setFont(line.bold ? bold : regular);
            const QFontMetricsF metrics(painter.font(), painter.device());
            const QRectF box(at.x() - metrics.horizontalAdvance(line.text) / 2 - 1, top,
                             metrics.horizontalAdvance(line.text) + 2, 7);
            painter.fillRect(box, QColor(255, 255, 255, 200));
            painter.setPen(line.colour);
            painter.drawText(box, Qt::AlignCenter, line.text);
            top += 7;
        }
    }
}

void planPage(QPainter &painter, const QRectF &page, const PlanPdf::Document &document, const PlanPdf::Plan &plan)
{
    titleBlock(painter, page, document, u"План «%1»"_s.arg(plan.plan));
    int columns = 1;
    const double legend = legendHeight(plan.legend, page.width() - 2 * kMargin, &columns);
    const QRectF space(kMargin, kMargin + kTitleHeight, page.width() - 2 * kMargin,
                       page.height() - 2 * kMargin - kTitleHeight - legend - 30);
    if (!plan.image.isNull() && space.width() > 0 && space.height() > 0) {
        const double scale = std::min(space.width() / plan.image.width(), space.height() / plan.image.height());
        const QRectF target(space.left(), space.top(), plan.image.width() * scale, plan.image.height() * scale);
        // Embedded as it is: every pixel of the plan, no lossy compression.
        painter.setRenderHint(QPainter::LosslessImageRendering, true);
        painter.drawImage(target, plan.image);
        painter.setPen(QPen(Qt::black, 0.4));
        painter.drawRect(target);
        drawRoomTexts(painter, document, plan.plan,
                      QTransform::fromTranslate(target.left(), target.top()).scale(scale, scale));
        if (plan.metresPerPixel && *plan.metresPerPixel > 0)
            drawScaleBar(painter, target, scale, *plan.metresPerPixel);
    }
    drawLegend(painter, plan.legend,
               QRectF(kMargin, page.height() - kMargin - legend, page.width() - 2 * kMargin, legend), columns);
}

void stackingPage(QPainter &painter, const QRectF &page, const PlanPdf::Document &document)
{
    titleBlock(painter, page, document, u"Этажи"_s);
    document.stacking.paint(painter,
                            QRectF(kMargin, kMargin + kTitleHeight + 8, page.width() - 2 * kMargin,
                                   page.height() - 2 * kMargin - kTitleHeight - 8),
                            false);
}

void summaryPage(QPainter &painter, const QRectF &page, const PlanPdf::Document &document)
{
    titleBlock(painter, page, document, u"Сводка по планам"_s);
    const int columns = int(document.summaryHeader.size());
    if (columns == 0)
        return;
    const double width = (page.width() - 2 * kMargin) / columns;
    double top = kMargin + kTitleHeight + 8;
    // The header wraps its words over two lines ("Коэффициент МОП" is wider than its numbers);
    // the cells keep one line each.
    const auto row = [&](const QStringList &cells, bool header) {
        painter.setFont(font(7, header));
        const QFontMetricsF metrics(painter.font(), painter.device());
        const double height = header ? 22 : 14;
        for (int c = 0; c < columns && c < cells.size(); ++c) {
            const QRectF cell(kMargin + c * width, top, width - 2, height);
            const Qt::Alignment align = (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            if (header)
                painter.drawText(cell, align | Qt::TextWordWrap, cells[c]);
            else
                painter.drawText(cell, align, metrics.elidedText(cells[c], Qt::ElideRight, cell.width()));
        }
        top += height;
        painter.setPen(QPen(Qt::lightGray, 0.4));
        painter.drawLine(QPointF(kMargin, top), QPointF(page.width() - kMargin, top));
        painter.setPen(Qt::black);
    };
    painter.setPen(Qt::black);
    row(document.summaryHeader, true);
    for (const QStringList &cells : document.summaryRows)
        row(cells, false);
}

} // namespace

double PlanPdf::scaleBarMetres(double metres)
{
    if (!(metres > 0) || !std::isfinite(metres))
        return 0;
    const double power = std::pow(10.0, std::floor(std::log10(metres)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= metres)
            return step * power;
    }
    return power;
}

void PlanPdf::write(const Document &document, const QString &path)
{
    SafeFile::ReplacingFile file(path);
    if (!file.open())
        throw MetrolaError(u"Не удалось создать файл «%1»: %2."_s.arg(path, file.errorString()));
    {
        QPdfWriter writer(&file.checkedDevice());
        writer.setResolution(72);
        writer.setCreator(u"Metrola"_s);
        writer.setTitle(document.archive);
        const auto landscapeFor = [](const QImage &image) { return image.width() > image.height(); };
        std::optional<Plan> plan;
        if (!document.planIds.isEmpty())
            plan = document.planOf(document.planIds.front());
        writer.setPageLayout(layoutFor(document.paper, plan ? landscapeFor(plan->image) : true));
        QPainter painter;
        if (!painter.begin(&writer))
            throw MetrolaError(u"Не удалось начать страницу PDF в файле «%1»."_s.arg(path));
        bool first = true;
        const auto newPage = [&](bool landscape) {
            if (!first) {
                writer.setPageLayout(layoutFor(document.paper, landscape));
                writer.newPage();
            }
            first = false;
            return QRectF(QPointF(0, 0), writer.pageLayout().fullRectPoints().size());
        };
        for (qsizetype i = 0; i < document.planIds.size(); ++i) {
            if (i > 0)
                plan = document.planOf(document.planIds[i]);
            planPage(painter, newPage(landscapeFor(plan->image)), document, *plan);
        }
        plan.reset();
        if (!document.stacking.bars.empty())
            stackingPage(painter, newPage(true), document);
        if (!document.summaryRows.empty())
            summaryPage(painter, newPage(true), document);
        painter.end();
    }
    if (!file.commit())
        throw MetrolaError(u"Не удалось записать файл «%1»: %2."_s.arg(path, file.errorString()));
}
