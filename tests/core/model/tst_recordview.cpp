#include "core/model/recentarchives.h"
#include "core/model/recordview.h"
#include "testrecord.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Four records and the EntryRow; areas chosen so that text order and number order differ.
void fill(RecordTable &table)
{
    table.appendRecord(roomRecord({.plan = u"etazh1.bmp"_s,
                                   .name = u"Зал"_s,
                                   .type = u"торг"_s,
                                   .area = u"9,5"_s,
                                   .tenant = u"ООО Бета"_s,
                                   .key = u"101"_s}),
                       {});
    table.appendRecord(roomRecord({.plan = u"etazh2.bmp"_s,
                                   .name = u"Склад"_s,
                                   .type = u"склд"_s,
                                   .area = u"10"_s,
                                   .tenant = u"ИП Альфа"_s,
                                   .info = u"угловой"_s,
                                   .key = u"99"_s}),
                       {});
    table.appendRecord(roomRecord({.plan = u"etazh1.bmp"_s,
                                   .name = u"Офис"_s,
                                   .type = u"офис"_s,
                                   .area = u"плохо"_s,
                                   .tenant = u"ООО Бета"_s,
                                   .key = u"100"_s}),
                       {});
    table.appendRecord(roomRecord({.plan = u"etazh2.bmp"_s,
                                   .name = u"бета-зал"_s,
                                   .type = u"проч"_s,
                                   .area = u"2,25"_s,
                                   .key = u"98"_s}),
                       {});
}

QList<int> shownRows(const RecordView &view)
{
    QList<int> rows;
    for (int r = 0; r < view.rowCount(); ++r)
        rows.append(view.tableRow(r));
    return rows;
}

} // namespace

class TestRecordView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("none shows the EntryRow too") << QString() << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("tenant, any case, any cell") << u"БЕТА"_s << QList<int>{1, 3, 4};
        QTest::newRow("notes") << u"углов"_s << QList<int>{2};
        QTest::newRow("plan") << u"etazh2"_s << QList<int>{2, 4};
        QTest::newRow("type code") << u"склд"_s << QList<int>{2};
        QTest::newRow("type caption") << u"офисные"_s << QList<int>{3};
        QTest::newRow("blanks around") << u"  Альфа "_s << QList<int>{2};
        QTest::newRow("no match") << u"Гамма"_s << QList<int>{};
    }
    void search()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, rows);
        RecordTable table;
        fill(table);
        const Captions captions = Captions::defaults();
        RecordView view(table, captions);
        QAbstractItemModelTester tester(&view);
        view.setSearch(text);
        QCOMPARE(shownRows(view), rows);
        QCOMPARE(view.matchCount(), text.isEmpty() ? 4 : int(rows.size()));
        QCOMPARE(view.isRearranged(), !text.isEmpty());
    }

    void searchFollowsChangesAndCaptions()
    {
        RecordTable table;
        fill(table);
        Captions captions = Captions::defaults();
        RecordView view(table, captions);
        view.setSearch(u"Гамма"_s);
        table.setCell(RecordTable::Tenant, 2, u"ЗАО Гамма"_s);
        QCOMPARE(shownRows(view), QList<int>{2});
        captions[Captions::FirstType + 4] = u"Прочие, Гамма"_s; // the caption of "проч", row 4
        view.captionsChanged();
        QCOMPARE(shownRows(view), (QList<int>{2, 4}));
        view.setSearch(QString());
        QCOMPARE(view.rowCount(), table.entryRow());
    }

    void sort_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QList<int>>("rows");
        // Areas as numbers: 2,25 < 9,5 < 10, the unreadable one after them; the EntryRow last.
        QTest::newRow("area up") << int(RecordTable::Area) << Qt::AscendingOrder << QList<int>{4, 1, 2, 3, 5};
        QTest::newRow("area down") << int(RecordTable::Area) << Qt::DescendingOrder
                                   << QList<int>{3, 2, 1, 4, 5};
        QTest::newRow("key up") << int(RecordTable::ColourKey) << Qt::AscendingOrder
                                << QList<int>{4, 2, 3, 1, 5};
        // Equal tenants keep the table's order both ways; the empty tenant sorts first.
        QTest::newRow("tenant up") << int(RecordTable::Tenant) << Qt::AscendingOrder
                                   << QList<int>{4, 2, 1, 3, 5};
        QTest::newRow("tenant down") << int(RecordTable::Tenant) << Qt::DescendingOrder
                                     << QList<int>{1, 3, 2, 4, 5};
        QTest::newRow("back to the table's order") << -1 << Qt::AscendingOrder << QList<int>{1, 2, 3, 4, 5};
    }
    void sort()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QList<int>, rows);
        RecordTable table;
        fill(table);
        const std::vector<RecordTable::Row> before = table.rows();
        const Captions captions = Captions::defaults();
        RecordView view(table, captions);
        QAbstractItemModelTester tester(&view);
        view.sort(RecordTable::Area, Qt::DescendingOrder);
        view.sort(column, order);
        QCOMPARE(shownRows(view), rows);
        for (int r = 0; r < view.rowCount(); ++r)
            QCOMPARE(view.viewRow(view.tableRow(r)), r);
        QVERIFY(table.rows() == before);
        QCOMPARE(view.isRearranged(), column >= 0);
    }

    void recentArchives()
    {
        RecentArchives recent({u"/a/1.zip"_s, u""_s, u"/a/2.zip"_s, u"/a/1.zip"_s});
        QCOMPARE(recent.paths(), (QStringList{u"/a/1.zip"_s, u"/a/2.zip"_s}));
        recent.add(u"/a/../a/2.zip"_s);
        QCOMPARE(recent.paths().first(), u"/a/2.zip"_s);
        QCOMPARE(recent.paths().size(), 2);
        for (int i = 0; i < 10; ++i)
            recent.add(u"/b/%1.zip"_s.arg(i));
        QCOMPARE(recent.paths().size(), RecentArchives::Capacity);
        QCOMPARE(recent.paths().first(), u"/b/9.zip"_s);
        QCOMPARE(recent.paths().last(), u"/b/2.zip"_s);
        recent.remove(u"/b/9.zip"_s);
        QCOMPARE(recent.paths().first(), u"/b/8.zip"_s);
    }
};

QTEST_GUILESS_MAIN(TestRecordView)
#include "tst_recordview.moc"
