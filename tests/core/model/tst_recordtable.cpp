#include "core/base/metrolaerror.h"
#include "core/model/planlist.h"
#include "core/model/recordtable.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

RecordTable::Row record(const QString &plan, const QString &key, const QString &x = QStringLiteral("1"),
                        const QString &y = QStringLiteral("1"))
{
    RecordTable::Row row;
    row[RecordTable::PlanId] = plan;
    row[RecordTable::Type] = QStringLiteral("торг");
    row[RecordTable::ColourKey] = key;
    row[RecordTable::LabelX] = x;
    row[RecordTable::LabelY] = y;
    return row;
}

// Builds a table from plan:key pairs, e.g. {"a:10", "b:"}; the EntryRow stays empty.
void fill(RecordTable &table, const QStringList &records)
{
    std::vector<RecordTable::Row> rows;
    for (const QString &spec : records) {
        const QStringList parts = spec.split(u':');
        rows.push_back(record(parts[0], parts.value(1)));
    }
    rows.emplace_back();
    table.replaceRows(std::move(rows));
}

} // namespace

class TestRecordTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyTable()
    {
        RecordTable table;
        QCOMPARE(table.tableRows(), 2);
        QCOMPARE(table.recordCounter(), 1);
        QCOMPARE(table.row(0), RecordTable::headerTexts());
        QCOMPARE(table.rowOfColour(9502718), 0);
        QVERIFY(!table.colourInUse(0));
        PlanList plans;
        plans.rebuild(table);
        QCOMPARE(plans.count(), 0);
    }

    void rowOfColour_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<int>("row");
        QTest::newRow("none") << QStringList{u"a:5"_s} << 6u << 0;
        QTest::newRow("single") << QStringList{u"a:5"_s, u"a:6"_s} << 6u << 2;
        QTest::newRow("duplicate answers the later row") << QStringList{u"a:7"_s, u"a:8"_s, u"b:7"_s} << 7u << 3;
        QTest::newRow("empty key skipped") << QStringList{u"a:"_s, u"a:1"_s} << 1u << 2;
        QTest::newRow("white floor is no record") << QStringList{u"a:16777215"_s} << 16777215u << 0;
        QTest::newRow("black walls are no record") << QStringList{u"a:5"_s, u"a:+0"_s} << 0u << 0;
        QTest::newRow("numeric comparison") << QStringList{u"a:0042"_s} << 42u << 1;
        QTest::newRow("leading blank and sign") << QStringList{u"a: +42"_s} << 42u << 1;
    }
    void rowOfColour()
    {
        QFETCH(QStringList, records);
        QFETCH(quint32, colour);
        QFETCH(int, row);
        RecordTable table;
        fill(table, records);
        QCOMPARE(table.rowOfColour(colour), row);
    }

    void rowOfColourFailsOnBadKeyWhereverItStands_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::newRow("before a match") << QStringList{u"a:x1"_s, u"a:5"_s};
        QTest::newRow("after a match") << QStringList{u"a:5"_s, u"a:5z"_s};
        QTest::newRow("out of range") << QStringList{u"a:99999999999"_s};
        QTest::newRow("trailing blank") << QStringList{u"a:5 "_s};
    }
    void rowOfColourFailsOnBadKeyWhereverItStands()
    {
        QFETCH(QStringList, records);
        RecordTable table;
        fill(table, records);
        QVERIFY_THROWS_EXCEPTION(MetrolaError, table.rowOfColour(5));
    }

    void entryRowDateIsNoKey()
    {
        // The EntryRow's date is never a number, and the EntryRow is no record: it must neither
        // break the lookup nor be found by it.
        RecordTable table;
        fill(table, {u"a:5"_s});
        table.setCell(RecordTable::ColourKey, table.entryRow(), u"07.12.2026"_s);
        QCOMPARE(table.rowOfColour(5), 1);
        table.setCell(RecordTable::ColourKey, table.entryRow(), u"77"_s);
        QCOMPARE(table.rowOfColour(77), 0);
        QVERIFY(table.colourInUse(77)); // the in-use test includes the EntryRow
    }

    void colourInUseComparesText()
    {
        RecordTable table;
        fill(table, {u"a:0042"_s, u"a:7"_s});
        QVERIFY(!table.colourInUse(42));
        QVERIFY(table.colourInUse(7));
        QVERIFY(!table.colourInUse(8));
    }

    void reservedKeysAreNoRooms()
    {
        RecordTable table;
        fill(table, {u"a:16777215"_s, u"a:7"_s, u"a:0"_s});
        QCOMPARE(table.reservedKeyRows(), (std::vector<int>{1, 3}));
        // Never found, but still taken, so stepping down for a new key passes black by.
        QCOMPARE(table.rowOfColour(16777215), 0);
        QVERIFY(table.colourInUse(0));
        table.setCell(RecordTable::ColourKey, 3, u"9"_s);
        QCOMPARE(table.rowOfColour(9), 3);
        table.setCell(RecordTable::ColourKey, 3, u"0"_s);
        QCOMPARE(table.rowOfColour(9), 0);
        QCOMPARE(table.reservedKeyRows(), (std::vector<int>{1, 3}));
    }

    void indexFollowsEveryChange()
    {
        RecordTable table;
        fill(table, {u"a:1"_s, u"a:2"_s, u"a:3"_s});
        table.swapRows(1, 3);
        QCOMPARE(table.rowOfColour(1), 3);
        QCOMPARE(table.rowOfColour(3), 1);
        table.setCell(RecordTable::ColourKey, 2, u"9"_s);
        QCOMPARE(table.rowOfColour(2), 0);
        QCOMPARE(table.rowOfColour(9), 2);
        QVERIFY(!table.colourInUse(2));
        QVERIFY(table.removeLastRecord());
        QCOMPARE(table.rowOfColour(1), 0);
        QVERIFY(!table.colourInUse(1));
        table.appendRecord(record(u"a"_s, u"11"_s), std::nullopt);
        QCOMPARE(table.rowOfColour(11), 3);
        table.setTableRows(2); // row 1 stays, now as the EntryRow: no record, but its key is in use
        QCOMPARE(table.rowOfColour(3), 0);
        QVERIFY(table.colourInUse(3));
        QVERIFY(!table.colourInUse(9));
    }

    void exchangedRowsTakeTheirIndexesAlong()
    {
        // An opened archive's table takes the session's place this way; a lookup answered
        // from the other table's index would name the wrong room or a row that is not there.
        RecordTable shown;
        RecordTable loaded;
        fill(shown, {u"a:10"_s, u"a:20"_s, u"a:x"_s});
        fill(loaded, {u"b:30"_s, u"b:20"_s});
        QAbstractItemModelTester tester(&shown);
        shown.exchangeRows(loaded);
        QCOMPARE(shown.recordCount(), 2);
        QCOMPARE(shown.rowOfColour(20), 2);
        QCOMPARE(shown.rowOfColour(10), 0);
        QVERIFY(shown.colourInUse(30) && !shown.colourInUse(10));
        QCOMPARE(loaded.recordCount(), 3);
        QVERIFY_THROWS_EXCEPTION(MetrolaError, loaded.rowOfColour(10));
        shown.setCell(RecordTable::ColourKey, 1, u"40"_s);
        QCOMPARE(shown.rowOfColour(40), 1);
        QCOMPARE(shown.rowOfColour(30), 0);
    }

    void duplicateKeyFallsBackToTheEarlierRow()
    {
        RecordTable table;
        fill(table, {u"a:7"_s, u"a:5"_s, u"a:7"_s, u"a:7"_s});
        QCOMPARE(table.rowOfColour(7), 4);
        table.setCell(RecordTable::ColourKey, 4, u"8"_s);
        QCOMPARE(table.rowOfColour(7), 3);
        table.swapRows(1, 2);
        QCOMPARE(table.rowOfColour(7), 3);
        table.setCell(RecordTable::ColourKey, 3, QString());
        QCOMPARE(table.rowOfColour(7), 2);
        QVERIFY(table.colourInUse(7));
        table.setCell(RecordTable::ColourKey, 2, u"9"_s);
        QCOMPARE(table.rowOfColour(7), 0);
        QVERIFY(!table.colourInUse(7));
    }

    void appendCarriesEntryRow()
    {
        RecordTable table;
        table.setCell(RecordTable::ColourKey, 1, u"d1"_s);
        table.setCell(RecordTable::LabelX, 1, RecordTable::finishedMarker());
        table.setCell(RecordTable::LabelY, 1, u"d2"_s);
        table.appendRecord(record(u"p.bmp"_s, u"100"_s), u"today"_s);
        QCOMPARE(table.tableRows(), 3);
        QCOMPARE(table.recordCounter(), 2);
        QCOMPARE(table.row(1), record(u"p.bmp"_s, u"100"_s));
        const RecordTable::Row &entry = table.row(2);
        QCOMPARE(entry[RecordTable::ColourKey], u"today"_s);
        QCOMPARE(entry[RecordTable::LabelX], RecordTable::finishedMarker());
        QCOMPARE(entry[RecordTable::LabelY], u"d2"_s);
        QVERIFY(table.isFinished());

        // The quick commit writes no date: the EntryRow keeps what it carried.
        table.appendRecord(record(u"p.bmp"_s, u"101"_s), std::nullopt);
        QCOMPARE(table.row(3)[RecordTable::ColourKey], u"today"_s);

        table.updateRecord(1, record(u"p.bmp"_s, u"102"_s), u"later"_s);
        QCOMPARE(table.row(3)[RecordTable::LabelY], u"later"_s);
        QCOMPARE(table.row(3)[RecordTable::ColourKey], u"today"_s);
        QVERIFY(table.isFinished());
        QCOMPARE(table.recordCounter(), table.tableRows() - 1);
    }

    void removeLastRecordKeepsEntryRow()
    {
        RecordTable table;
        QVERIFY(!table.removeLastRecord()); // nothing to remove
        QCOMPARE(table.tableRows(), 2);
        table.appendRecord(record(u"p"_s, u"5"_s), u"d1"_s);
        table.setCell(RecordTable::LabelY, table.entryRow(), u"d2"_s);
        const auto removed = table.removeLastRecord();
        QVERIFY(removed);
        QCOMPARE((*removed)[RecordTable::ColourKey], u"5"_s);
        QCOMPARE(table.tableRows(), 2);
        QCOMPARE(table.row(1)[RecordTable::ColourKey], u"d1"_s);
        QCOMPARE(table.row(1)[RecordTable::LabelY], u"d2"_s);
        QCOMPARE(table.row(1)[RecordTable::PlanId], QString());
        // A last record without a key is not removed.
        table.appendRecord(record(u"p"_s, QString()), std::nullopt);
        QVERIFY(!table.removeLastRecord());
        QCOMPARE(table.tableRows(), 3);
    }

    void modelSignalsAreConsistent()
    {
        RecordTable table;
        QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
        table.appendRecord(record(u"p"_s, u"5"_s), u"d"_s);
        QVERIFY(changed.count() > 0);
        QCOMPARE(table.rowCount(), 2);
        QCOMPARE(table.index(0, RecordTable::ColourKey).data().toString(), u"5"_s);
        QCOMPARE(table.headerData(1, Qt::Horizontal).toString(), u"Название"_s);
        table.appendRecord(record(u"p"_s, u"6"_s), u"d"_s);
        table.swapRows(1, 2);
        table.removeLastRecord();
        fill(table, {u"a:1"_s, u"b:2"_s, u"c:3"_s});
        QCOMPARE(table.rowCount(), 4);
        table.setTableRows(2);
        QCOMPARE(table.rowCount(), 1);
    }

    void planListOrderAndLimit()
    {
        RecordTable table;
        fill(table, {u"A:1"_s, u"B:2"_s, u"A:3"_s, u"C:4"_s, u"a:5"_s});
        PlanList plans;
        plans.rebuild(table);
        QCOMPARE(plans.names(), (QStringList{u"A"_s, u"B"_s, u"C"_s, u"a"_s}));
        QCOMPARE(plans.indexOf(u"C"_s), 3);
        QCOMPARE(plans.indexOf(QString()), PlanList::Capacity); // a free slot: the last one
        QCOMPARE(plans.indexOf(u"Z"_s), 0);

        QStringList many;
        for (int i = 1; i <= 25; ++i)
            many << QStringLiteral("p%1.bmp:%1").arg(i);
        fill(table, many);
        try {
            plans.rebuild(table);
            QFAIL("a 25th plan was taken");
        } catch (const MetrolaError &error) {
            QVERIFY2(error.message().contains(u"на 24 поэтажных плана (план «p25.bmp» в строке 25)"_s),
                     qPrintable(error.message()));
        }
        QCOMPARE(plans.count(), 4); // unchanged
        many.removeLast();
        many.insert(3, u":30"_s); // an empty plan id names no plan, even with every slot taken
        fill(table, many);
        plans.rebuild(table);
        QCOMPARE(plans.count(), 24);
        QCOMPARE(plans.indexOf(QString()), 0);
    }

    void planPathTable()
    {
        PlanPathTable paths;
        QCOMPARE(paths.planFileIndex(QString()), 0);
        for (int i = 1; i <= 24; ++i)
            paths.addPlanFile(QStringLiteral("/d%1/plan%1.bmp").arg(i));
        QCOMPARE(paths.planFileIndex(u"plan7.bmp"_s), 7);
        paths.addPlanFile(u"/other/plan7.bmp"_s); // all taken: slot 1 is overwritten
        QCOMPARE(paths.path(1), u"/other/plan7.bmp"_s);
        QCOMPARE(paths.planFileIndex(u"plan7.bmp"_s), 7); // the last equal slot
        QCOMPARE(paths.planFileIndex(u"plan1.bmp"_s), 0);
        QCOMPARE(paths.planFilePath(u"/work/"_s, u"x.bmp"_s), u"/work/x.bmp"_s);
        QCOMPARE(paths.planFilePath(u"/work/"_s, u"plan3.bmp"_s), u"/d3/plan3.bmp"_s);
    }
};

QTEST_GUILESS_MAIN(TestRecordTable)
#include "tst_recordtable.moc"
