#include "plans/syntheticplan.h"

#include "core/plan/floodfill.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// The flat in metres: outer walls 0,3 m around 14 x 10 m, inner walls 0,12 m.
constexpr double kOuter = 0.3;
constexpr double kSheetWidth = 17.0; // metres of sheet, the flat and a margin for the title
constexpr double kSheetHeight = 13.0;

struct Room
{
    QRectF floor;
    QString name;
    QPointF click; // free floor, away from the texts and the furniture
};

const std::vector<Room> &flat()
{
    static const std::vector<Room> rooms = {
        {QRectF(QPointF(0, 0), QPointF(5.0, 4.5)), u"Спальня"_s, {3.6, 3.4}},
        {QRectF(QPointF(5.12, 0), QPointF(9.5, 4.5)), u"Гостиная"_s, {8.5, 3.3}},
        {QRectF(QPointF(9.62, 0), QPointF(14, 4.5)), u"Кабинет"_s, {11.0, 3.4}},
        {QRectF(QPointF(0, 4.62), QPointF(14, 6.0)), u"Холл"_s, {9.0, 5.3}},
        {QRectF(QPointF(0, 6.12), QPointF(4.0, 10)), u"Спальня 2"_s, {3.2, 7.0}},
        {QRectF(QPointF(4.12, 6.12), QPointF(6.5, 10)), u"С/у"_s, {5.0, 7.9}},
        {QRectF(QPointF(6.62, 6.12), QPointF(10.0, 10)), u"Комната"_s, {7.6, 9.2}},
        {QRectF(QPointF(10.12, 6.12), QPointF(14, 10)), u"Кухня"_s, {12.2, 9.3}},
    };
    return rooms;
}

QRectF span(double x1, double y1, double x2, double y2)
{
    return QRectF(QPointF(x1, y1), QPointF(x2, y2));
}

// A slanting outer wall whose inner face runs from `a` to `b` clockwise round the flat, so
// that the outside lies to the left of a→b as seen on the sheet (y downwards); its window
// lies from `window` metres to `window` + 1,2 metres along it.
struct Slant
{
    QPointF a, b;
    double window = 1.0;

    QPointF along() const
    {
        const QPointF d = b - a;
        return d / std::hypot(d.x(), d.y());
    }
    QPointF outwards() const { return QPointF(along().y(), -along().x()); }
    // Everything beyond the wall's outer face.
    QPolygonF outside() const
    {
        const QPointF o = outwards() * kOuter, far = along() * 20.0;
        return QPolygonF(
            {a + o - far, b + o + far, b + o + far + outwards() * 20.0, a + o - far + outwards() * 20.0});
    }
    // The wall from its inner face to its outer one, reaching into the walls it meets.
    QPolygonF band() const
    {
        const QPointF o = outwards() * kOuter, e = along() * (2 * kOuter);
        return QPolygonF({a - e, b + e, b + e + o, a - e + o});
    }
    QLineF windowFace(double across) const
    {
        const QPointF o = outwards() * across;
        return QLineF(a + along() * window + o, a + along() * (window + 1.2) + o);
    }
    QPolygonF windowGap() const
    {
        const QLineF inner = windowFace(-0.05), outer = windowFace(kOuter + 0.05);
        return QPolygonF({inner.p1(), inner.p2(), outer.p2(), outer.p1()});
    }
};

const std::vector<Slant> &slants()
{
    static const std::vector<Slant> cut = {{{12.0, 0}, {14, 2.5}}, {{14, 7.5}, {12.0, 10}}};
    return cut;
}

// The floor of the flat, within its outer walls' inner faces (and `margin` away from the
// slanting ones, where furniture stops short of the windows).
QPainterPath inside(bool slanted, double margin = 0)
{
    QPainterPath flatFloor;
    flatFloor.addRect(span(0, 0, 14, 10));
    if (!slanted)
        return flatFloor;
    QPainterPath cut;
    for (const Slant &s : slants()) {
        QPolygonF beyond = s.outside();
        const QPointF o = s.outwards() * (kOuter + margin);
        beyond[0] -= o;
        beyond[1] -= o;
        cut.addPolygon(beyond);
    }
    return flatFloor.subtracted(cut);
}

// The walls as one outline with the door, passage and window gaps cut out.
QPainterPath walls(std::vector<QRectF> &windows, bool slanted)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QRectF &r :
         {span(-kOuter, -kOuter, 14 + kOuter, 0), span(-kOuter, 10, 14 + kOuter, 10 + kOuter),
          span(-kOuter, -kOuter, 0, 10 + kOuter), span(14, -kOuter, 14 + kOuter, 10 + kOuter),
          span(0, 4.5, 14, 4.62), span(0, 6.0, 14, 6.12), span(5.0, 0, 5.12, 4.5), span(9.5, 0, 9.62, 4.5),
          span(4.0, 6.12, 4.12, 10), span(6.5, 6.12, 6.62, 10), span(10.0, 6.12, 10.12, 10)})
        path.addRect(r);
    QPainterPath gaps;
    // Doors 0,9 m, the kitchen's open passage 1,1 m, the entrance 1 m.
    for (const QRectF &r : {span(1.5, 4.4, 2.4, 4.7), span(6.0, 4.4, 6.9, 4.7), span(11.0, 4.4, 11.9, 4.7),
                            span(1.0, 5.9, 1.9, 6.2), span(4.8, 5.9, 5.7, 6.2), span(7.5, 5.9, 8.4, 6.2),
                            span(11.0, 5.9, 12.1, 6.2), span(-0.5, 4.8, 0.05, 5.8)})
        gaps.addRect(r);
    windows = {span(1.5, -kOuter, 3.5, 0),   span(6.3, -kOuter, 8.3, 0),      span(11, -kOuter, 13, 0),
               span(1, 10, 3, 10 + kOuter),  span(7.3, 10, 9.3, 10 + kOuter), span(11, 10, 13, 10 + kOuter),
               span(14, 1.5, 14 + kOuter, 3)};
    if (slanted) {
        // The windows of the cut-off corners move out of the slants' way.
        windows[2] = span(10.0, -kOuter, 11.6, 0);
        windows[5] = span(10.4, 10, 11.8, 10 + kOuter);
        windows[6] = span(14, 3.0, 14 + kOuter, 4.2);
    }
    for (const QRectF &w : windows)
        gaps.addRect(w);
    if (!slanted)
        return path.subtracted(gaps);
    QPainterPath beyond, bands;
    for (const Slant &s : slants()) {
        beyond.addPolygon(s.outside());
        bands.addPolygon(s.band());
        gaps.addPolygon(s.windowGap());
    }
    QPainterPath outline;
    outline.addRect(span(-kOuter, -kOuter, 14 + kOuter, 10 + kOuter));
    return path.united(bands.intersected(outline)).subtracted(beyond).subtracted(gaps);
}

// Thin lines: a window is drawn as the two faces of the wall and the glass between them.
void drawWindows(QPainter &p, const std::vector<QRectF> &windows)
{
    for (const QRectF &w : windows) {
        const bool across = w.width() > w.height();
        for (double t : {0.0, 0.5, 1.0}) {
            if (across)
                p.drawLine(QPointF(w.left(), w.top() + t * w.height()),
                           QPointF(w.right(), w.top() + t * w.height()));
            else
                p.drawLine(QPointF(w.left() + t * w.width(), w.top()),
                           QPointF(w.left() + t * w.width(), w.bottom()));
        }
    }
}

// A leaf standing open from the hinge and the arc it sweeps to the other jamb.
void drawDoor(QPainter &p, QPointF hinge, QPointF open, QPointF closed)
{
    p.drawLine(hinge, open);
    const double radius = std::hypot(open.x() - hinge.x(), open.y() - hinge.y());
    const QRectF circle(hinge.x() - radius, hinge.y() - radius, 2 * radius, 2 * radius);
    const double a1 = std::atan2(-(open.y() - hinge.y()), open.x() - hinge.x()) * 180 / M_PI;
    const double a2 = std::atan2(-(closed.y() - hinge.y()), closed.x() - hinge.x()) * 180 / M_PI;
    double sweep = a2 - a1;
    if (sweep > 180)
        sweep -= 360;
    if (sweep < -180)
        sweep += 360;
    QPainterPath arc;
    arc.arcMoveTo(circle, a1);
    arc.arcTo(circle, a1, sweep);
    p.drawPath(arc);
}

void drawFurniture(QPainter &p)
{
    for (const QRectF &r : {span(0.3, 0.3, 2.1, 2.3), span(4.3, 0.3, 5.0, 2.0), span(5.5, 2.8, 6.3, 4.2),
                            span(12.5, 0.0, 13.8, 0.8), span(0.3, 7.8, 2.3, 9.7), span(4.3, 8.6, 6.3, 9.8),
                            span(9.0, 6.5, 9.8, 8.5), span(13.4, 6.3, 14.0, 8.8), span(10.5, 8.5, 11.7, 9.5)})
        p.drawRect(r);
    p.drawRoundedRect(span(4.45, 8.75, 6.15, 9.65), 0.2, 0.2);
    for (const auto &[c, r] : std::vector<std::pair<QPointF, double>>{{{7.3, 1.2}, 0.5},
                                                                      {{13.1, 1.3}, 0.25},
                                                                      {{6.0, 6.6}, 0.22},
                                                                      {{13.7, 7.0}, 0.18},
                                                                      {{13.7, 7.6}, 0.18}})
        p.drawEllipse(c, r, r);
}

void drawTexts(QPainter &p, double scale)
{
    QFont font(u"Liberation Sans"_s);
    font.setPixelSize(std::max(6, int(0.28 * scale)));
    p.setFont(font);
    const double em = 0.28;
    p.save();
    p.scale(1 / scale, 1 / scale);
    for (const Room &room : flat()) {
        const QPointF c = room.floor.center() * scale;
        const QString area =
            QString::number(room.floor.width() * room.floor.height(), 'f', 1).replace(u'.', u',');
        QRectF box(c.x() - 2 * scale, c.y() - em * scale, 4 * scale, em * scale * 1.2);
        p.drawText(box, Qt::AlignCenter, room.name);
        p.drawText(box.translated(0, em * scale * 1.2), Qt::AlignCenter, area + u" м²"_s);
    }
    QFont title = font;
    title.setPixelSize(std::max(8, int(0.5 * scale)));
    title.setBold(true);
    p.setFont(title);
    p.drawText(QPointF(0, -0.8 * scale), u"План квартиры, 3 этаж"_s);
    p.setFont(font);
    p.drawText(QPointF(4 * scale, 11.2 * scale), u"14 000 мм"_s);
    p.restore();
    // The north arrow right of the flat.
    QPainterPath arrow;
    arrow.moveTo(15.2, 0.5);
    arrow.lineTo(15.5, 1.5);
    arrow.lineTo(14.9, 1.5);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawPenMarks(QPainter &p, double scale)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(30, 60, 200), std::max(1.5, 0.05 * scale) / scale, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(QPointF(2.6, 2.2), 1.2, 0.9);
    QPainterPath scribble;
    scribble.moveTo(5.6, 1.0);
    scribble.cubicTo(6.5, 0.6, 7.8, 2.4, 9.2, 1.6);
    p.drawPath(scribble);
    p.setPen(QPen(QColor(200, 30, 30), std::max(1.5, 0.05 * scale) / scale, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7.2, 6.8), QPointF(9.4, 8.0));
    p.drawLine(QPointF(7.2, 8.0), QPointF(9.4, 6.8));
    // An area corrected by hand across the hall's wall, the way a surveyor does.
    p.drawLine(QPointF(12.8, 3.8), QPointF(12.8, 5.4));
}

void darkenTowardsCorner(QImage &image)
{
    const double diagonal = std::hypot(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double f = 1.0 - 0.28 * std::hypot(x, y) / diagonal;
            row[x] = qRgb(int(qRed(row[x]) * f), int(qGreen(row[x]) * f), int(qBlue(row[x]) * f));
        }
    }
}

QImage throughJpeg(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    QImage back;
    // Plans of 7000 x 5000 points exceed Qt's default limit for decoded pictures.
    QImageReader::setAllocationLimit(1024);
    back.loadFromData(bytes, "JPG");
    return back.convertToFormat(QImage::Format_RGB32);
}

} // namespace

SyntheticPlan makeSyntheticPlan(const SyntheticTraits &traits, QSize sheet)
{
    SyntheticPlan plan;
    const double scale = std::min(sheet.width() / kSheetWidth, sheet.height() / kSheetHeight);
    plan.pixelsPerMetre = scale;
    plan.rooms = int(flat().size());
    plan.image = QImage(sheet, QImage::Format_RGB32);
    plan.image.fill(Qt::white);
    plan.truth = QImage(sheet, QImage::Format_RGB32);
    plan.truth.fill(0);

    QTransform toSheet;
    toSheet.translate(sheet.width() / 2.0, sheet.height() / 2.0);
    toSheet.rotate(traits.rotation);
    toSheet.scale(scale, scale);
    toSheet.translate(-7.0, -5.0);

    std::vector<QRectF> windows;
    const QPainterPath wallPath = walls(windows, traits.slantedWalls);
    {
        QPainter p(&plan.image);
        p.setRenderHint(QPainter::Antialiasing, traits.antiAliased);
        p.setRenderHint(QPainter::TextAntialiasing, traits.antiAliased);
        p.setTransform(toSheet);
        if (traits.tintedFloors) {
            const QColor tints[] = {{240, 228, 205}, {215, 230, 245}, {225, 240, 220}, {238, 222, 204}};
            int i = 0;
            for (const Room &room : flat())
                p.fillRect(room.floor, tints[i++ % 4]);
        }
        p.fillPath(wallPath, traits.greyWalls ? QColor(128, 128, 128) : QColor(0, 0, 0));
        const QColor ink = traits.greyWalls ? QColor(70, 70, 70) : QColor(0, 0, 0);
        const double thin = std::max(1.0, 0.025 * scale) / scale;
        p.setPen(QPen(ink, thin));
        p.setBrush(Qt::NoBrush);
        drawWindows(p, windows);
        if (traits.doorLeaves) {
            drawDoor(p, {1.5, 4.5}, {1.5, 3.6}, {2.4, 4.5});
            drawDoor(p, {6.0, 4.5}, {6.0, 3.6}, {6.9, 4.5});
            drawDoor(p, {11.9, 4.5}, {11.9, 3.6}, {11.0, 4.5});
            drawDoor(p, {1.0, 6.12}, {1.0, 7.02}, {1.9, 6.12});
            drawDoor(p, {5.7, 6.12}, {5.7, 7.02}, {4.8, 6.12});
            drawDoor(p, {7.5, 6.12}, {7.5, 7.02}, {8.4, 6.12});
            drawDoor(p, {0.0, 4.8}, {1.0, 4.8}, {0.0, 5.8});
        }
        if (traits.slantedWalls) {
            // Faint and thin: the lines a threshold of the whole sheet loses first.
            p.save();
            p.setPen(QPen(QColor(205, 205, 205), thin));
            for (const Slant &s : slants())
                for (const double across : {0.0, kOuter})
                    p.drawLine(s.windowFace(across));
            p.restore();
        }
        if (traits.furniture) {
            p.save();
            p.setClipPath(inside(traits.slantedWalls, 0.1));
            drawFurniture(p);
            p.restore();
        }
        if (traits.texts) {
            p.setBrush(ink);
            drawTexts(p, scale);
        }
        if (traits.penMarks)
            drawPenMarks(p, scale);
    }
    {
        QPainter t(&plan.truth);
        t.setRenderHint(QPainter::Antialiasing, false);
        t.setTransform(toSheet);
        t.setClipPath(inside(traits.slantedWalls));
        int i = 0;
        for (const Room &room : flat()) {
            ++i;
            t.fillRect(room.floor, QColor::fromRgb(QRgb(0xff000000u | uint(i))));
            plan.clicks.push_back(toSheet.map(room.click).toPoint());
        }
    }
    if (traits.unevenPaper)
        darkenTowardsCorner(plan.image);
    if (traits.jpegQuality > 0)
        plan.image = throughJpeg(plan.image, traits.jpegQuality);
    return plan;
}

std::vector<SyntheticTraits> syntheticTraitSets()
{
    std::vector<SyntheticTraits> sets;
    SyntheticTraits agent;
    agent.name = u"объявление агентства: JPEG, сглаженные линии, тексты и двери в комнатах"_s;
    agent.jpegQuality = 60;
    sets.push_back(agent);

    SyntheticTraits rendered;
    rendered.name = u"план из программы визуализации: серые стены, тонированные полы, мебель"_s;
    rendered.greyWalls = true;
    rendered.tintedFloors = true;
    rendered.jpegQuality = 85;
    sets.push_back(rendered);

    SyntheticTraits scan;
    scan.name = u"скан технического плана: поворот на 1°, неровная бумага, пометки ручкой"_s;
    scan.penMarks = true;
    scan.unevenPaper = true;
    scan.rotation = 1.0;
    scan.jpegQuality = 75;
    scan.furniture = false;
    sets.push_back(scan);

    SyntheticTraits photo;
    photo.name = u"снимок плана телефоном: сильное сжатие, тень, поворот на 1,5°, мебель и двери"_s;
    photo.jpegQuality = 40;
    photo.unevenPaper = true;
    photo.rotation = -1.5;
    photo.tintedFloors = true;
    sets.push_back(photo);

    SyntheticTraits corner;
    corner.name =
        u"объявление агентства, угловая квартира: скошенные наружные стены, окна в них бледными двойными линиями"_s;
    corner.jpegQuality = 60;
    corner.slantedWalls = true;
    sets.push_back(corner);

    SyntheticTraits drawing;
    drawing.name = u"чертёж из PDF: проёмы без дверей, тонкие линии без сжатия"_s;
    drawing.doorLeaves = false;
    drawing.furniture = false;
    sets.push_back(drawing);
    return sets;
}

FillMatch matchFill(const QImage &plan, QPoint point, const QImage &truth, int room)
{
    FillMatch match;
    if (!plan.rect().contains(point))
        return match;
    QImage filled = plan.copy();
    const QRgb marker = qRgb(0x12, 0x34, 0x56);
    if ((filled.pixel(point) & 0xffffff) == (marker & 0xffffff))
        return match;
    FloodFill fill;
    std::vector<FloodFill::Span> spans;
    const QRect box = fill.fill(filled, point, marker, &spans);
    // Holes the fill encloses (furniture, texts) count as covered: outside the fill, reached
    // from the margin of its box by a second fill, the rest is enclosed.
    QImage mask(box.width() + 2, box.height() + 2, QImage::Format_RGB32);
    mask.fill(Qt::white);
    for (const FloodFill::Span &s : spans)
        for (int x = s.left; x <= s.right; ++x)
            mask.setPixel(x - box.left() + 1, s.y - box.top() + 1, 0xff000000);
    fill.fill(mask, QPoint(0, 0), qRgb(255, 0, 0));
    qint64 roomPixels = 0, covered = 0, filledPixels = 0, spilled = 0;
    const QRgb wanted = 0xff000000u | uint(room + 1);
    for (int y = 0; y < truth.height(); ++y) {
        const auto *t = reinterpret_cast<const QRgb *>(truth.constScanLine(y));
        for (int x = 0; x < truth.width(); ++x) {
            const bool inRoom = t[x] == wanted;
            bool inFill = false;
            if (box.contains(x, y)) {
                const QRgb m = mask.pixel(x - box.left() + 1, y - box.top() + 1);
                inFill = m == 0xff000000u || m == 0xffffffffu;
                if (m == 0xff000000u) {
                    ++filledPixels;
                    spilled += !inRoom;
                }
            }
            roomPixels += inRoom;
            covered += inRoom && inFill;
        }
    }
    match.covered = roomPixels ? double(covered) / double(roomPixels) : 0;
    match.spilled = filledPixels ? double(spilled) / double(filledPixels) : 1;
    return match;
}
