// Writes the demo project: two floor plans with rooms, corridors and a few diagonal walls,
// thirty rooms with tenants, areas, names and all five types, and a scale for each plan at
// which most rooms' typed areas agree with their floors, and leases of every kind: ended, ending
// within three and within twelve months of December 2026, later, open-ended, a room re-let, a
// lease over rooms on both plans, one starting next month, and a tenant without a lease. The output depends
// on nothing but this code, so it is reproducible byte for byte.

#include "core/archive/zipwriter.h"
#include "core/base/numbertext.h"
#include "core/leases/leasebook.h"
#include "core/model/descriptionfile.h"
#include "core/model/planscales.h"
#include "core/model/roomareas.h"
#include "core/plan/floodfill.h"
#include "core/plan/planimage.h"
#include "core/plan/roommeasure.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWidth = 2000;
constexpr int kHeight = 1400;

struct Room
{
    QPoint label;
    QString name;
    QString type;
    QString area;
    QString tenant;
    QString info;
};

QImage blankPlan()
{
    QImage plan(kWidth, kHeight, QImage::Format_RGB32);
    plan.fill(Qt::white);
    return plan;
}

void wall(QPainter &p, int x1, int y1, int x2, int y2, int thickness = 4)
{
    p.setPen(QPen(Qt::black, thickness, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(x1, y1, x2, y2);
}

// Ground floor: shops along a corridor, two rooms split by diagonal walls.
QImage groundFloor()
{
    QImage plan = blankPlan();
    QPainter p(&plan);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(0, 620, kWidth, 160, QColor(230, 230, 230)); // corridor floor, grey
    wall(p, 20, 20, 1980, 20, 6);
    wall(p, 20, 1380, 1980, 1380, 6);
    wall(p, 20, 20, 20, 1380, 6);
    wall(p, 1980, 20, 1980, 1380, 6);
    wall(p, 20, 620, 1980, 620);
    wall(p, 20, 780, 1980, 780);
    for (int x = 260; x < 1980; x += 240) {
        wall(p, x, 20, x, 620);
        wall(p, x, 780, x, 1380);
    }
    wall(p, 260, 20, 500, 620, 2);      // diagonal wall in the second shop
    wall(p, 1460, 780, 1700, 1380, 2);  // and in a storeroom below
    return plan;
}

// First floor: offices around a central hall, a workshop and stores.
QImage firstFloor()
{
    QImage plan = blankPlan();
    QPainter p(&plan);
    p.setRenderHint(QPainter::Antialiasing, false);
    wall(p, 20, 20, 1980, 20, 6);
    wall(p, 20, 1380, 1980, 1380, 6);
    wall(p, 20, 20, 20, 1380, 6);
    wall(p, 1980, 20, 1980, 1380, 6);
    wall(p, 20, 460, 1980, 460);
    wall(p, 20, 940, 1980, 940);
    for (int x = 300; x < 1980; x += 280)
        wall(p, x, 20, x, 460);
    wall(p, 700, 460, 700, 940);
    wall(p, 1300, 460, 1300, 940);
    wall(p, 700, 460, 1300, 940, 2); // the hall is cut by a glass partition
    for (int x = 500; x < 1980; x += 500)
        wall(p, x, 940, x, 1380);
    return plan;
}

// A room whose typed area is smaller than its floor gets a partition wall across it, the far
// side becoming a back room that no record claims, so that what is left matches the typed
// area. A room may lose at most this much of its floor that way.
constexpr double kMinKept = 0.55;

constexpr QRgb kMarker = 0xff00fe01;

qint64 floorPixels(QImage plan, QPoint label)
{
    qint64 pixels = 0;
    FloodFill().fillCounting(plan, label, kMarker, pixels);
    return pixels;
}

// Draws a wall two pixels wide at columns x and x + 1, over the floor of the room at label only.
void addPartition(QImage &plan, QPoint label, int x)
{
    QImage marked = plan;
    const QRect box = FloodFill().fill(marked, label, kMarker);
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int c : {x, x + 1}) {
            if (c >= 0 && c < plan.width() && marked.pixel(c, y) == kMarker)
                plan.setPixel(c, y, qRgb(0, 0, 0));
        }
    }
}

// Shrinks the room at label to about `target` floor pixels with a vertical partition on its
// wider side of the label.
void shrinkRoom(QImage &plan, QPoint label, qint64 target)
{
    QImage marked = plan;
    const QRect box = FloodFill().fill(marked, label, kMarker);
    const int direction = box.right() - label.x() > label.x() - box.left() ? 1 : -1;
    int nearest = 3;
    int farthest = direction > 0 ? box.right() - label.x() : label.x() - box.left();
    const auto kept = [&](int distance) {
        QImage trial = plan;
        addPartition(trial, label, label.x() + direction * distance - (direction < 0 ? 1 : 0));
        return floorPixels(trial, label);
    };
    while (farthest - nearest > 1) {
        const int middle = (nearest + farthest) / 2;
        (kept(middle) < target ? nearest : farthest) = middle;
    }
    addPartition(plan, label, label.x() + direction * farthest - (direction < 0 ? 1 : 0));
}

struct Measured
{
    double typed;
    qint64 pixels;
};

bool agrees(double typed, double measured, double tolerance)
{
    return std::abs((typed - measured) / measured * 100) <= tolerance;
}

bool shrinkable(double typed, double measured, double tolerance)
{
    return !agrees(typed, measured, tolerance) && typed < measured && typed / measured >= kMinKept;
}

// The scale at which the most rooms agree with their typed areas, counting those that a
// partition can make agree, among the scales each room alone would give; ties go to the
// smaller scale. Rooms that cannot be made to agree stay as they are, so the check has
// something to show.
double bestScale(const std::vector<Measured> &rooms, double tolerance)
{
    double best = 0;
    int bestCount = -1;
    for (const Measured &room : rooms) {
        // Rounded to five significant digits, as a person would type it.
        const double raw = std::sqrt(room.typed / double(room.pixels));
        const double step = std::pow(10.0, std::floor(std::log10(raw)) - 4);
        const double candidate = std::round(raw / step) * step;
        int count = 0;
        for (const Measured &other : rooms) {
            const double measured = double(other.pixels) * candidate * candidate;
            count += agrees(other.typed, measured, tolerance) || shrinkable(other.typed, measured, tolerance);
        }
        if (count > bestCount || (count == bestCount && candidate < best)) {
            best = candidate;
            bestCount = count;
        }
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: metrola-makedemo OUT.zip\n");
        return 2;
    }
    const QString ground = u"etazh1.bmp"_s;
    const QString first = u"etazh2.bmp"_s;
    const QStringList tenants = {u"Альфа-Трейд"_s, u"ИП Смирнов"_s, u"Северный ветер"_s, u"Книжный дом"_s,
                                 u"Оптика+"_s,     u"Кофейня Зерно"_s, u"Строймаркет"_s, u"ТехноСервис"_s,
                                 u"Бюро Вектор"_s, u"Медцентр Здоровье"_s};
    const auto &types = RecordTable::typeCodes();

    std::vector<std::pair<QString, Room>> rooms;
    // Ground floor: the shops above the corridor, the stores below.
    for (int i = 0; i < 8; ++i) {
        const int x = 20 + i * 240 + (i == 0 ? 120 : 120);
        rooms.push_back({ground, {QPoint(x + (i == 1 ? 60 : 0), 200), u"Магазин %1"_s.arg(101 + i), types[0],
                                  u"%1,%2"_s.arg(80 + i * 7).arg(i % 2 ? 5 : 0), tenants[i % tenants.size()],
                                  i == 3 ? u"витрина на улицу"_s : QString()}});
    }
    rooms.push_back({ground, {QPoint(300, 560), u"Магазин 102а"_s, types[0], u"41,5"_s, QString(), u"свободно"_s}});
    rooms.push_back({ground, {QPoint(900, 700), u"Коридор"_s, types[4], u"304"_s, QString(), u"места общего пользования"_s}});
    for (int i = 0; i < 5; ++i) {
        rooms.push_back({ground, {QPoint(140 + i * 240, 1100), u"Склад %1"_s.arg(1 + i), types[3],
                                  u"%1"_s.arg(140 + i * 3), tenants[(i + 4) % tenants.size()], QString()}});
    }
    // First floor: offices, the hall, a workshop and stores.
    for (int i = 0; i < 7; ++i) {
        rooms.push_back({first, {QPoint(160 + i * 280, 240), u"Офис %1"_s.arg(201 + i), types[1],
                                 u"%1,25"_s.arg(38 + i * 4), i == 5 ? QString() : tenants[(i + 2) % tenants.size()],
                                 i == 0 ? u"кондиционер"_s : QString()}});
    }
    rooms.push_back({first, {QPoint(800, 880), u"Холл"_s, types[4], u"160"_s, QString(), QString()}});
    rooms.push_back({first, {QPoint(1200, 520), u"Переговорная"_s, types[1], u"95"_s, tenants[8], QString()}});
    rooms.push_back({first, {QPoint(300, 700), u"Мастерская"_s, types[2], u"212,8"_s, tenants[6], u"380 В"_s}});
    rooms.push_back({first, {QPoint(1600, 700), u"Цех упаковки"_s, types[2], u"230"_s, tenants[7], QString()}});
    rooms.push_back({first, {QPoint(250, 1150), u"Кладовая"_s, types[3], u"60"_s, tenants[1], u"угловая"_s}});
    rooms.push_back({first, {QPoint(750, 1150), u"Архив"_s, types[3], u"58,4"_s, tenants[8], QString()}});

    RecordTable table;
    quint32 key = 9502718;
    for (const auto &[plan, room] : rooms) {
        RecordTable::Row row = {plan, room.name, room.type, room.area, room.tenant, room.info,
                                QString::number(key--), QString::number(room.label.x()),
                                QString::number(room.label.y())};
        table.appendRecord(row, u"07.12.2026"_s);
    }
    table.setCell(RecordTable::LabelY, table.entryRow(), u"08.12.2026"_s);

    // Every room must keep its own colour after the plan is repainted: a label point on a wall
    // or two labels in one region would make a broken demo. The floor pixels counted on the
    // way give each plan the scale at which most typed areas agree.
    PlanScales scales;
    std::vector<std::pair<QString, QImage>> plans = {{ground, groundFloor()}, {first, firstFloor()}};
    for (auto &[id, image] : plans) {
        std::vector<int> rows;
        const std::vector<RoomSeed> seeds = RoomAreas::seedsOf(table, id, &rows);
        std::vector<RoomPixels> pixels;
        QImage painted = image;
        RoomMeasure::repaintCounting(painted, seeds, pixels);
        std::vector<Measured> measured;
        for (size_t i = 0; i < seeds.size(); ++i) {
            if (pixels[i].kind != RoomPixels::Kind::Counted) {
                std::fprintf(stderr, "room at %d,%d of %s shares its region\n", seeds[i].labelPoint.x(),
                             seeds[i].labelPoint.y(), qPrintable(id));
                return 1;
            }
            measured.push_back({NumberText::area(table.cellText(RecordTable::Area, rows[i])).value_or(0),
                                pixels[i].pixels});
        }
        const double scale = bestScale(measured, scales.tolerance());
        scales.setScale(id, {scale, QDate(2026, 12, 8)});
        for (size_t i = 0; i < seeds.size(); ++i) {
            const double area = double(measured[i].pixels) * scale * scale;
            if (shrinkable(measured[i].typed, area, scales.tolerance()))
                shrinkRoom(image, seeds[i].labelPoint, qint64(measured[i].typed / (scale * scale)));
        }
    }

    // Fixed dates, so the demo stays the same file; they are told against December 2026.
    LeaseBook leases;
    const auto let = [&](std::initializer_list<int> roomIndexes, const QString &tenant,
                         const QString &contract, const char *start, const char *end, const QString &rate,
                         const QString &note = {}) {
        QList<LeaseRoom> keys;
        for (int index : roomIndexes)
            keys.append(LeaseRoom{quint32(9502718 - index), rooms[size_t(index)].first});
        leases.add(LeaseBook::fromTexts(keys, tenant, contract, QString::fromLatin1(start),
                                        QString::fromLatin1(end), rate, note),
                   table);
    };
    let({0}, u"Оптовик"_s, u"А-2022/01"_s, "01.01.2022", "31.12.2023", u"950"_s, u"съехал"_s);
    let({0}, tenants[0], u"А-2024/02"_s, "01.02.2024", "31.01.2027", u"1250"_s);
    let({1, 26}, tenants[1], u"А-2025/03"_s, "01.03.2025", "", u"1100"_s, u"магазин и кладовая"_s);
    let({2, 15}, tenants[2], u"А-2023/06"_s, "01.06.2023", "31.05.2027", u"1450,5"_s);
    let({3}, tenants[3], u"А-2021/09"_s, "01.09.2021", "31.08.2029", u"1300"_s);
    let({16}, tenants[3], u"А-2026/01"_s, "01.01.2026", "", QString());
    let({4}, tenants[4], u"А-2024/04"_s, "01.04.2024", "31.03.2027", u"1200"_s);
    let({10, 17}, tenants[4], u"А-2025/10"_s, "01.10.2025", "30.09.2028", u"800"_s);
    let({5}, tenants[5], u"А-2025/01"_s, "15.01.2025", "14.01.2027", u"1500"_s, u"продление обсуждается"_s);
    let({11}, tenants[5], u"С-2025/02"_s, "01.02.2025", "", u"450"_s);
    let({6, 12, 19, 24}, tenants[6], u"А-2024/07"_s, "01.07.2024", "30.06.2029", u"900"_s);
    let({7}, tenants[7], u"А-2025/02"_s, "01.02.2025", "31.01.2028", u"1180"_s);
    let({13, 25}, tenants[7], u"А-2026/05"_s, "01.05.2026", "30.04.2027", u"520"_s);
    let({14, 23, 27}, tenants[8], u"А-2022/11"_s, "01.11.2022", "31.10.2027", QString());
    let({8}, u"Цветы у дома"_s, u"А-2023/03"_s, "01.03.2023", "28.02.2026", u"1000"_s);
    let({8}, u"Пекарня Колос"_s, u"А-2027/01"_s, "01.01.2027", "31.12.2029", u"1350"_s,
        u"въезжает в январе"_s);
    let({20}, u"Юрконсалт"_s, u"А-2024/01"_s, "01.01.2024", "30.11.2026", u"1050"_s);
    let({21}, tenants[8], u"А-2026/12"_s, "01.12.2026", "30.11.2031", u"1600"_s);

    ZipWriter writer(QString::fromLocal8Bit(argv[1]));
    for (const auto &[id, image] : plans)
        writer.addMember(id, PlanImage::bmpBytes(image));
    writer.addMember(PlanScales::fileName(), scales.build({ground, first}));
    writer.addMember(LeaseBook::fileName(), leases.build());
    writer.addMember(DescriptionFile::fileName(), DescriptionFile::build(Captions::defaults(), table));
    const int packed = writer.write();
    std::printf("%d members, %d rooms, %d leases\n", packed, table.recordCount(), leases.count());
    return packed == 5 ? 0 : 1;
}
