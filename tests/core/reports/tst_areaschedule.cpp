#include "reportstest.h"
#include "testrecord.h"

#include "core/base/numbertext.h"
#include "core/model/captions.h"
#include "core/model/recordtable.h"
#include "core/reports/areaschedule.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Cell = AreaSchedule::Cell;

RecordTable::Row record(const QString &type, const QString &area, const QString &tenant = {})
{
    return roomRecord({.plan = u"p1"_s, .name = u"12"_s, .type = type, .area = area, .tenant = tenant,
                       .key = u"100"_s, .label = {5, 5}});
}

// "#12.5" for a number, "'text" for a text, "=SUM(..) 4" for a formula, "" for nothing.
QString show(const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Empty:
        return {};
    case Cell::Text:
        return u"'"_s + cell.text;
    case Cell::Number:
        return u"#"_s + QString::number(cell.number);
    case Cell::Formula:
        return cell.text + u' ' + QString::number(cell.number);
    }
    return {};
}

QStringList showRow(const AreaSchedule &sheet, const QString &first, const QString &last)
{
    const auto [row, firstColumn] = parseCellName(first);
    const int lastColumn = parseCellName(last).second;
    QStringList shown;
    for (int c = firstColumn; c <= lastColumn; ++c)
        shown << show(sheet.cell(row, c));
    return shown;
}

const Cell &at(const AreaSchedule &sheet, const QString &name)
{
    const auto [row, column] = parseCellName(name);
    return sheet.cell(row, column);
}

} // namespace

Q_DECLARE_METATYPE(AreaSchedule::Range)

class TestAreaSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void areaColumns_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QStringList>("expected"); // C..H

        QTest::newRow("office, decimal comma")
            << u"офис"_s << u"12,5"_s << QStringList{{}, u"#12.5"_s, {}, {}, {}, u"#12.5"_s};
        QTest::newRow("several commas stay text")
            << u"торг"_s << u"1,2,3"_s
            << QStringList{u"'1.2.3"_s, {}, {}, {}, {}, u"'1.2.3"_s};
        QTest::newRow("empty area")
            << u"склд"_s << QString() << QStringList{{}, {}, {}, {}, {}, {}};
        QTest::newRow("unknown type") << u"зал"_s << u"7"_s
                                      << QStringList{{}, {}, {}, {}, {}, u"#7"_s};
        QTest::newRow("capitalised code") << u"Торг"_s << u"7"_s
                                          << QStringList{{}, {}, {}, {}, {}, u"#7"_s};
        QTest::newRow("last type, point") << u"проч"_s << u"3.25"_s
                                          << QStringList{{}, {}, {}, {}, u"#3.25"_s, u"#3.25"_s};
        QTest::newRow("not a number") << u"прво"_s << u"около 5"_s
                                      << QStringList{{}, {}, u"'около 5"_s, {}, {}, u"'около 5"_s};
        QTest::newRow("inf is no area") << u"склд"_s << u"inf"_s
                                        << QStringList{{}, {}, {}, u"'inf"_s, {}, u"'inf"_s};
        QTest::newRow("negative area stays text") << u"офис"_s << u"-99,99"_s
                                                  << QStringList{{}, u"'-99.99"_s, {}, {}, {}, u"'-99.99"_s};
        QTest::newRow("exponent is no area") << u"торг"_s << u"1e308"_s
                                             << QStringList{u"'1e308"_s, {}, {}, {}, {}, u"'1e308"_s};
    }

    void areaColumns()
    {
        QFETCH(QString, type);
        QFETCH(QString, area);
        QFETCH(QStringList, expected);
        RecordTable table;
        table.appendRecord(record(type, area), std::nullopt);
        const auto sheet = AreaSchedule::build(table, Captions::defaults(), {});
        QCOMPARE(showRow(sheet, u"C3"_s, u"H3"_s), expected);
        // Only numbers count in the sums.
        const QString total = expected.last();
        const double sum = total.startsWith(u'#') ? total.mid(1).toDouble() : 0;
        QCOMPARE(at(sheet, u"H4"_s).number, sum);
    }

    void areaValue_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("isArea");
        QTest::addColumn<double>("value");
        QTest::newRow("comma") << u"12,5"_s << true << 12.5;
        QTest::newRow("point") << u"3.25"_s << true << 3.25;
        QTest::newRow("plus sign") << u"+4"_s << true << 4.0;
        QTest::newRow("minus sign: no room is smaller than nothing") << u"-4"_s << false << 0.0;
        QTest::newRow("minus nought") << u"-0"_s << true << 0.0;
        QTest::newRow("trailing comma") << u"7,"_s << true << 7.0;
        QTest::newRow("leading comma") << u",5"_s << true << 0.5;
        QTest::newRow("just below the limit") << u"999999999999,99"_s << true << 999999999999.99;
        QTest::newRow("limit") << u"1000000000000"_s << false << 0.0;
        QTest::newRow("negative limit") << u"-1000000000000"_s << false << 0.0;
        QTest::newRow("exponent") << u"1e308"_s << false << 0.0;
        QTest::newRow("infinity") << u"inf"_s << false << 0.0;
        QTest::newRow("hexadecimal") << u"0x10"_s << false << 0.0;
        QTest::newRow("two separators") << u"1,2.3"_s << false << 0.0;
        QTest::newRow("blank around") << u" 5"_s << false << 0.0;
        QTest::newRow("sign alone") << u"-"_s << false << 0.0;
        QTest::newRow("comma alone") << u","_s << false << 0.0;
        QTest::newRow("empty") << QString() << false << 0.0;
        QTest::newRow("arabic-indic digits") << u"\u0661\u0662"_s << false << 0.0;
        QTest::newRow("hundreds of zeros") << u"0,"_s + QString(400, u'0') + u"1"_s << true << 0.0;
        QTest::newRow("long zero whole part") << QString(400, u'0') + u"12,5"_s << true << 12.5;
        QTest::newRow("thirteen digits") << u"1234567890123"_s << false << 0.0;
    }
    void areaValue()
    {
        QFETCH(QString, cell);
        QFETCH(bool, isArea);
        QFETCH(double, value);
        const auto area = NumberText::area(cell);
        QCOMPARE(area.has_value(), isArea);
        if (isArea)
            QCOMPARE(*area, value);
    }

    void threeRecords()
    {
        RecordTable table;
        table.appendRecord(record(u"торг"_s, u"10,5"_s, u"007"_s), std::nullopt);
        table.appendRecord(record(u"торг"_s, u"abc"_s), std::nullopt);
        table.appendRecord(record(u"офис"_s, u"4"_s), std::nullopt);
        const auto sheet = AreaSchedule::build(table, Captions::defaults(), {});

        QCOMPARE(showRow(sheet, u"A3"_s, u"B3"_s), (QStringList{u"'p1"_s, u"'12"_s}));
        QCOMPARE(show(at(sheet, u"I3"_s)), u"'007"_s);
        QCOMPARE(showRow(sheet, u"C6"_s, u"H6"_s),
                 (QStringList{u"=SUM(C3:C5) 10.5"_s, u"=SUM(D3:D5) 4"_s, u"=SUM(E3:E5) 0"_s,
                              u"=SUM(F3:F5) 0"_s, u"=SUM(G3:G5) 0"_s, u"=SUM(H3:H5) 14.5"_s}));
        QCOMPARE(sheet.rowCount(), 6);

        for (const QString &name : {u"C6"_s, u"G6"_s, u"H6"_s})
            QVERIFY2(at(sheet, name).format.bold, qPrintable(name));
        for (const QString &name : {u"B6"_s, u"I6"_s, u"C5"_s})
            QVERIFY2(!at(sheet, name).format.bold, qPrintable(name));
        const AreaSchedule::Fill yellow{AreaSchedule::Fill::Solid, AreaSchedule::LightYellow, 0};
        QCOMPARE(at(sheet, u"H6"_s).format.fill, yellow);
        QCOMPARE(at(sheet, u"G6"_s).format.fill, AreaSchedule::Fill{});
        QCOMPARE(at(sheet, u"H3"_s).format.fill, AreaSchedule::Fill{});

        AreaSchedule::Format block;
        block.centred = true;
        block.thinBorders = true;
        for (const QString &name : {u"A3"_s, u"K3"_s, u"K5"_s, u"A6"_s, u"K6"_s})
            QCOMPARE(at(sheet, name).format, block);
    }

    void wrappedLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("lines");
        QTest::newRow("fits") << u"Прочие"_s << 10.0 << 1;
        QTest::newRow("empty") << QString() << 10.0 << 1;
        QTest::newRow("two words, two lines") << u"доп информация"_s << 10.0 << 2;
        QTest::newRow("two words on one line") << u"доп инфо"_s << 10.0 << 1;
        QTest::newRow("long word broken") << QString(25, u'ж') << 10.0 << 3;
        QTest::newRow("capitals are wider") << u"ШШШШШШШШ"_s << 10.0 << 2;
        QTest::newRow("runs of blanks") << u"а    б"_s << 3.0 << 1;
    }

    void wrappedLines()
    {
        QFETCH(QString, text);
        QFETCH(double, width);
        QFETCH(int, lines);
        QCOMPARE(AreaSchedule::wrappedLines(text, width), lines);
    }

    void filterTakesTheRecordsNotTheSums_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<AreaSchedule::Range>("filter");
        QTest::newRow("none") << 0 << AreaSchedule::Range{1, 0, 1, 10};
        QTest::newRow("one") << 1 << AreaSchedule::Range{1, 0, 2, 10};
        QTest::newRow("three") << 3 << AreaSchedule::Range{1, 0, 4, 10};
    }

    void filterTakesTheRecordsNotTheSums()
    {
        QFETCH(int, records);
        QFETCH(AreaSchedule::Range, filter);
        RecordTable table;
        for (int r = 0; r < records; ++r)
            table.appendRecord(record(u"торг"_s, u"1"_s), std::nullopt);
        QCOMPARE(AreaSchedule::build(table, Captions::defaults(), {}).autoFilter(), filter);
    }

    void noRecords()
    {
        RecordTable table;
        const auto sheet = AreaSchedule::build(table, Captions::defaults(), {});
        QCOMPARE(sheet.rowCount(), 3);
        QCOMPARE(showRow(sheet, u"C3"_s, u"H3"_s),
                 (QStringList{u"#0"_s, u"#0"_s, u"#0"_s, u"#0"_s, u"#0"_s, u"#0"_s}));
        QVERIFY(at(sheet, u"C3"_s).format.bold);
        QCOMPARE(at(sheet, u"H3"_s).format.fill.colour, AreaSchedule::LightYellow);
        QVERIFY(at(sheet, u"K3"_s).format.thinBorders);
    }

    void entryRowIgnored()
    {
        RecordTable table;
        table.appendRecord(record(u"торг"_s, u"2"_s), u"01.02.2024"_s);
        table.setCell(RecordTable::LabelX, table.entryRow(), RecordTable::finishedMarker());
        table.setCell(RecordTable::LabelY, table.entryRow(), u"03.02.2024"_s);
        const auto sheet = AreaSchedule::build(table, Captions::defaults(), {});
        QCOMPARE(sheet.rowCount(), 4);
        QCOMPARE(show(at(sheet, u"C4"_s)), u"=SUM(C3:C3) 2"_s);
    }

    void title_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("title");
        QTest::newRow("none") << QString() << u"Размеркация "_s;
        QTest::newRow("unix path") << u"/home/u/obj/plan.zip"_s << u"Размеркация plan.zip"_s;
        QTest::newRow("windows path") << u"C:\\obj\\plan.zip"_s << u"Размеркация plan.zip"_s;
        QTest::newRow("drive only") << u"D:plan.zip"_s << u"Размеркация plan.zip"_s;
        QTest::newRow("bare name") << u"plan.zip"_s << u"Размеркация plan.zip"_s;
    }

    void title()
    {
        QFETCH(QString, archive);
        QFETCH(QString, title);
        RecordTable table;
        const auto sheet = AreaSchedule::build(table, Captions::defaults(), archive);
        QCOMPARE(show(at(sheet, u"A1"_s)), u"'"_s + title);
        QCOMPARE(sheet.title(), title);
    }

    void titleAndHeaderLook()
    {
        RecordTable table;
        table.setCell(RecordTable::Tenant, 0, u"Арендатор"_s);
        Captions captions = Captions::defaults();
        captions[Captions::FirstType + 1] = u"Кабинеты"_s;
        const auto sheet = AreaSchedule::build(table, captions, {});

        QCOMPARE(sheet.merges(), (std::vector<AreaSchedule::Range>{{0, 0, 0, 10}}));
        const AreaSchedule::Format &title = at(sheet, u"A1"_s).format;
        QVERIFY(title.bold && title.centred && !title.thinBorders);
        QCOMPARE(title.fill, (AreaSchedule::Fill{AreaSchedule::Fill::LightGrey,
                                                  AreaSchedule::Lilac, AreaSchedule::White}));
        QCOMPARE(at(sheet, u"K1"_s).format, title);

        QCOMPARE(showRow(sheet, u"A2"_s, u"K2"_s),
                 (QStringList{u"'ID плана"_s, u"'Название"_s, u"'Торговые"_s, u"'Кабинеты"_s,
                              u"'Производство"_s, u"'Складские"_s, u"'Прочие"_s, u"'Инфо1"_s,
                              u"'Арендатор"_s, u"'Доп.Инф."_s, QString()}));
        const AreaSchedule::Format &header = at(sheet, u"J2"_s).format;
        QVERIFY(header.wrap && header.centred && header.thinBorders && !header.bold);
        QCOMPARE(header.fill.colour, AreaSchedule::LightYellow);
        QCOMPARE(at(sheet, u"K2"_s).format, AreaSchedule::Format{});
        QCOMPARE(sheet.autoFilter(), (AreaSchedule::Range{1, 0, 1, 10}));
    }
};

int runAreaScheduleTests(int argc, char **argv)
{
    TestAreaSchedule test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_areaschedule.moc"
