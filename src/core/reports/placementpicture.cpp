#include "core/reports/placementpicture.h"

#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/model/recordtable.h"
#include "core/plan/bmpwriter.h"
#include "core/plan/planimage.h"

#include <QDir>
#include <QFontDatabase>
#include <QPainter>

#include <cstring>
#include <initializer_list>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The label layout was drawn at 96 dpi; a pixel size keeps it independent of the image's
// resolution and of the screen.
int pixelSizeOf(int points)
{
    return qRound(points * 96.0 / 72.0);
}

QFont labelFont(QFont font, int points, bool bold)
{
    font.setPixelSize(pixelSizeOf(points));
    font.setBold(bold);
    // Antialiased edges would mix the label colours with the halo and the plan, and the
    // picture is a bitmap meant to show exact colours.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QFont narrowFont(int points, bool bold)
{
    static const std::optional<QString> family = []() -> std::optional<QString> {
        for (const QString &candidate : {u"Arial Narrow"_s, u"Liberation Sans Narrow"_s}) {
            if (QFontDatabase::hasFamily(candidate))
                return candidate;
        }
        return std::nullopt;
    }();
    QFont font(family.value_or(u"Arial"_s));
    if (!family)
        font.setStretch(QFont::Condensed);
    return labelFont(font, points, bold);
}

// Draws text whose top-left corner lies at the given offsets from the label point: first in
// white at each halo offset, so the label stays readable on any plan colour, then in its own
// colour on top.
void drawLabel(QPainter &painter, const QPoint &labelPoint, const QString &text,
               const QFont &font, std::initializer_list<QPoint> halo, const QPoint &offset,
               const QColor &colour)
{
    painter.setFont(font);
    const QPoint toBaseline(0, painter.fontMetrics().ascent());
    painter.setPen(Qt::white);
    for (const QPoint &h : halo)
        painter.drawText(labelPoint + h + toBaseline, text);
    painter.setPen(colour);
    painter.drawText(labelPoint + offset + toBaseline, text);
}

QImage paintableCopy(const QImage &plan)
{
    switch (plan.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Alpha8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        // Plans loaded from palette bitmaps cannot take the label colours as they are.
        return plan.convertToFormat(plan.hasAlphaChannel() ? QImage::Format_ARGB32
                                                           : QImage::Format_RGB32);
    case QImage::Format_RGB32: {
        // Plans are this; a copy in memory that can take huge pages fills in without a page
        // fault every 4 KiB.
        QImage copy = PlanImage::allocate(plan.width(), plan.height());
        if (copy.isNull())
            return copy;
        for (int y = 0; y < plan.height(); ++y)
            std::memcpy(copy.scanLine(y), plan.constScanLine(y), size_t(plan.width()) * 4);
        copy.setDotsPerMeterX(plan.dotsPerMeterX());
        copy.setDotsPerMeterY(plan.dotsPerMeterY());
        return copy;
    }
    default:
        return plan.copy();
    }
}

} // namespace

QImage PlacementPicture::render(const QImage &plan, const RecordTable &table,
                                const QString &planId, const Options &options)
{
    struct Label
    {
        int row;
        QPoint point;
    };
    // All points are read before any drawing, so a broken one yields no picture at all.
    std::vector<Label> labels;
    for (int r = 1; r <= table.recordCount(); ++r) {
        if (table.cellText(RecordTable::PlanId, r) == planId) {
            labels.push_back({r, QPoint(table.cellNumber(RecordTable::LabelX, r),
                                        table.cellNumber(RecordTable::LabelY, r))});
        }
    }

    QImage picture = paintableCopy(plan);
    if (labels.empty() || picture.isNull()
        || !(options.tenant || options.area || options.name || options.type))
        return picture;

    const QFont tenantFont = labelFont(QFont(u"Arial"_s), 9, true);
    const QFont areaFont = narrowFont(8, false);
    const QFont nameFont = narrowFont(7, true);
    const QFont typeFont = narrowFont(6, true);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    // Later labels overwrite earlier ones where they overlap, as the records are ordered.
    for (const Label &label : labels) {
        const RecordTable::Row &row = table.row(label.row);
        const QPoint &p = label.point;
        if (options.tenant) {
            drawLabel(painter, p, row[RecordTable::Tenant], tenantFont,
                      {{-12, -2}, {-8, 2}, {-8, -2}, {-12, 2}}, {-10, 0},
                      QColor(0xFF, 0x00, 0x00));
        }
        if (options.area) {
            drawLabel(painter, p, row[RecordTable::Area] + options.unit, areaFont,
                      {{-5, -14}, {-1, -10}, {0, -14}, {-4, -10},
                       {-3, -13}, {-1, -11}, {-1, -13}, {-3, -11}},
                      {-2, -12}, QColor(0x80, 0x00, 0x80));
        }
        if (options.name) {
            drawLabel(painter, p, row[RecordTable::Name], nameFont,
                      {{-20, 8}, {-18, 12}, {-18, 8}, {-20, 12}}, {-19, 10},
                      QColor(0x00, 0x00, 0x80));
        }
        if (options.type) {
            drawLabel(painter, p, row[RecordTable::Type], typeFont,
                      {{-21, -9}, {-19, -7}, {-19, -9}, {-21, -7}}, {-20, -8},
                      QColor(0x00, 0x00, 0x00));
        }
    }
    painter.end();
    return picture;
}

QString PlacementPicture::save(const QImage &picture, const QString &programDir)
{
    const QString path = QDir(programDir).filePath(u"metrola.bmp"_s);
    SafeFile::ReplacingFile file(path);
    if (picture.isNull() || !file.open() || !BmpWriter::write(picture, file.checkedDevice()) || !file.commit()) {
        const QString reason = picture.isNull()                ? u"пустой рисунок"_s
                               : !file.writeError().isEmpty()  ? file.writeError()
                               : !file.errorString().isEmpty() ? file.errorString()
                                                               : u"не хватает памяти"_s;
        throw MetrolaError(u"Не удалось сохранить рисунок «%1»: %2"_s.arg(path, reason));
    }
    return path;
}
