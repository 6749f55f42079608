#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/leases/leasebook.h"
#include "core/leases/leasecalendar.h"
#include "core/leases/leaserules.h"
#include "core/model/projectsession.h"
#include "core/model/recoveryfile.h"
#include "core/reports/areaschedule.h"
#include "core/reports/xlsxworkbook.h"
#include "testrecord.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

using namespace Qt::StringLiterals;

namespace {

QDate d(const char *text)
{
    return *LeaseDate::parse(QString::fromLatin1(text));
}

Lease lease(QList<quint32> keys, const QString &tenant, const char *start, const char *end,
            std::optional<double> rate = {})
{
    Lease l;
    for (quint32 key : keys)
        l.rooms.append({key, key < 200 ? u"a.bmp"_s : u"b.bmp"_s});
    l.tenant = tenant;
    l.contract = u"Д-"_s + tenant.left(1);
    l.start = *start ? d(start) : QDate();
    l.end = *end ? d(end) : QDate();
    l.rate = rate;
    return l;
}

// Two plans:
//   a.bmp: 101 (50 m², Инфо2 «Бета»), 102 (30 m², «Альфа»)
//   b.bmp: 201 (20,5 m², «Альфа»), 202 (40 m², no tenant), 203 (10 m², «Гамма», no lease)
void fillTable(RecordTable &table)
{
    table.appendRecord(roomRecord({.plan = u"a.bmp"_s,
                                   .name = u"101"_s,
                                   .type = u"офис"_s,
                                   .area = u"50"_s,
                                   .tenant = u"Бета"_s,
                                   .key = u"101"_s}),
                       u"d"_s);
    table.appendRecord(roomRecord({.plan = u"a.bmp"_s,
                                   .name = u"102"_s,
                                   .type = u"офис"_s,
                                   .area = u"30"_s,
                                   .tenant = u"Альфа"_s,
                                   .key = u"102"_s}),
                       u"d"_s);
    table.appendRecord(roomRecord({.plan = u"b.bmp"_s,
                                   .name = u"201"_s,
                                   .type = u"торг"_s,
                                   .area = u"20,5"_s,
                                   .tenant = u"Альфа"_s,
                                   .key = u"201"_s}),
                       u"d"_s);
    table.appendRecord(
        roomRecord(
            {.plan = u"b.bmp"_s, .name = u"202"_s, .type = u"склд"_s, .area = u"40"_s, .key = u"202"_s}),
        u"d"_s);
    table.appendRecord(roomRecord({.plan = u"b.bmp"_s,
                                   .name = u"203"_s,
                                   .type = u"проч"_s,
                                   .area = u"10"_s,
                                   .tenant = u"Гамма"_s,
                                   .key = u"203"_s}),
                       u"d"_s);
}

// Room 101 let three times in turn; one lease over 102 and 201 on two plans, open-ended; 202
// let from next month (the tests' today is 15.06.2026).
void fillBook(LeaseBook &book, const RecordTable &table)
{
    book.add(lease({101}, u"Альфа"_s, "01.01.2024", "31.12.2024"), table);    // 0: ended
    book.add(lease({101}, u"Бета"_s, "01.01.2025", "31.08.2026"), table);     // 1: ends soon
    book.add(lease({101}, u"Вега"_s, "01.09.2026", "31.08.2029"), table);     // 2: re-let
    book.add(lease({102, 201}, u"Альфа"_s, "01.03.2025", "", 1250.5), table); // 3: open-ended
    book.add(lease({202}, u"Дельта"_s, "01.07.2026", "30.06.2027"), table);   // 4: next month
}

double letArea(const std::vector<RecordTable::Row> &rows)
{
    double area = 0;
    for (size_t r = 0; r + 1 < rows.size(); ++r) {
        if (!rows[r][RecordTable::Tenant].isEmpty())
            area += QString(rows[r][RecordTable::Area]).replace(u',', u'.').toDouble();
    }
    return area;
}

QString tenantOf(const std::vector<RecordTable::Row> &rows, int row)
{
    return rows[size_t(row - 1)][RecordTable::Tenant];
}

} // namespace

class TestLeases : public QObject
{
    Q_OBJECT

    RecordTable m_table;
    LeaseBook m_book;

private Q_SLOTS:
    void initTestCase()
    {
        // The locale of the run (the _ru variant) reaches the C library as well.
        std::setlocale(LC_ALL, "");
        fillTable(m_table);
        fillBook(m_book, m_table);
    }

    void asOf_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QStringList>("tenants"); // rows 1..5
        QTest::addColumn<double>("let");
        QTest::addColumn<QList<int>>("terms"); // keys 101, 102, 201, 202, 203
        using T = LeaseCalendar::Term;
        // Today: 101 Бета until 31.08.2026 (within 3 months of 15.06), 102 and 201 Альфа
        // without end, 202 not yet let, 203 Гамма by its record. Let 50 + 30 + 20,5 + 10.
        QTest::newRow("today") << d("15.06.2026")
                               << QStringList{u"Бета"_s, u"Альфа"_s, u"Альфа"_s, u""_s, u"Гамма"_s} << 110.5
                               << QList<int>{int(T::Within3), int(T::OpenEnded), int(T::OpenEnded),
                                             int(T::NoLease), int(T::NoLease)};
        // Next month 202 counts: Дельта until 30.06.2027, within 12 months. Let 110,5 + 40.
        QTest::newRow("next month") << d("15.07.2026")
                                    << QStringList{u"Бета"_s, u"Альфа"_s, u"Альфа"_s, u"Дельта"_s, u"Гамма"_s}
                                    << 150.5
                                    << QList<int>{int(T::Within3), int(T::OpenEnded), int(T::OpenEnded),
                                                  int(T::Within12), int(T::NoLease)};
        // The day after the re-let: Вега until 2029, later than 12 months.
        QTest::newRow("re-let") << d("01.09.2026")
                                << QStringList{u"Вега"_s, u"Альфа"_s, u"Альфа"_s, u"Дельта"_s, u"Гамма"_s}
                                << 150.5
                                << QList<int>{int(T::Later), int(T::OpenEnded), int(T::OpenEnded),
                                              int(T::Within12), int(T::NoLease)};
        // In 2024 only the first lease of 101 and 203's record: 50 + 10.
        QTest::newRow("past") << d("15.06.2024") << QStringList{u"Альфа"_s, u""_s, u""_s, u""_s, u"Гамма"_s}
                              << 60.0
                              << QList<int>{int(T::Within12), int(T::NoLease), int(T::NoLease),
                                            int(T::NoLease), int(T::NoLease)};
        // The last day of a lease still counts; the day after, 202 has ended and 101 too.
        QTest::newRow("last day") << d("30.06.2027")
                                  << QStringList{u"Вега"_s, u"Альфа"_s, u"Альфа"_s, u"Дельта"_s, u"Гамма"_s}
                                  << 150.5
                                  << QList<int>{int(T::Later), int(T::OpenEnded), int(T::OpenEnded),
                                                int(T::Within3), int(T::NoLease)};
        QTest::newRow("all ended") << d("01.09.2029")
                                   << QStringList{u""_s, u"Альфа"_s, u"Альфа"_s, u""_s, u"Гамма"_s} << 60.5
                                   << QList<int>{int(T::Ended), int(T::OpenEnded), int(T::OpenEnded),
                                                 int(T::Ended), int(T::NoLease)};
    }
    void asOf()
    {
        QFETCH(QDate, day);
        QFETCH(QStringList, tenants);
        QFETCH(double, let);
        QFETCH(QList<int>, terms);
        const LeaseCalendar calendar(m_book);
        const auto rows = calendar.rowsAsOf(m_table, day);
        QCOMPARE(rows.size(), m_table.rows().size());
        for (int r = 1; r <= 5; ++r)
            QCOMPARE(tenantOf(rows, r), tenants[r - 1]);
        QCOMPARE(letArea(rows), let);
        const QList<quint32> keys{101, 102, 201, 202, 203};
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(int(calendar.term(keys[i], day)), terms[i]);
    }

    void endingWithin_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QList<int>>("leases");
        QTest::addColumn<double>("firstArea");
        // From 15.06.2026 only Бета's lease ends within a year (31.08.2026, 50 m² on a.bmp);
        // Дельта's ends 30.06.2027, past 15.06.2027.
        QTest::newRow("today") << d("15.06.2026") << QList<int>{1} << 50.0;
        QTest::newRow("a month on") << d("15.07.2026") << QList<int>{1, 4} << 50.0;
        // A lease ending on the day itself has ended already.
        QTest::newRow("on the end day") << d("31.08.2026") << QList<int>{4} << 40.0;
    }
    void endingWithin()
    {
        QFETCH(QDate, from);
        QFETCH(QList<int>, leases);
        QFETCH(double, firstArea);
        const auto ending = LeaseExpiry::endingWithin(m_book, m_table, from, 12);
        QList<int> found;
        for (const auto &e : ending)
            found << e.lease;
        QCOMPARE(found, leases);
        QCOMPARE(ending.front().area, firstArea);
    }

    // The lease over two plans is one lease with two lines; the rate keeps its decimal comma.
    void memberRoundTrip()
    {
        const QByteArray built = m_book.build();
        QVERIFY(built.contains(Cp1251::fromUnicode(u"4;102;a.bmp;Альфа;Д-А;01.03.2025;;1250,5;;\r\n"
                                                   u"4;201;b.bmp;Альфа;Д-А;01.03.2025;;1250,5;;\r\n")));
        QVERIFY(built.startsWith(Cp1251::fromUnicode(u"№;ключ;")));
        const LeaseBook read = LeaseBook::parse(built);
        QCOMPARE(read, m_book);
        QCOMPARE(read.lease(3).rooms.size(), 2);
        // A person may reorder lines in a spreadsheet: the number still joins them.
        const QByteArray shuffled = Cp1251::fromUnicode(
            u"7;201;b.bmp;А;;;;;;\n3;101;a.bmp;Б;;01.01.2020;;;;\n7;102;a.bmp;А;;;;;;\n"_s);
        const LeaseBook reordered = LeaseBook::parse(shuffled);
        QCOMPARE(reordered.count(), 2);
        QCOMPARE(reordered.lease(0).rooms.size(), 2);
    }

    void editsRefused_data()
    {
        QTest::addColumn<QList<quint32>>("keys");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QStringList>("named"); // what the message must name
        QTest::newRow("end before start") << QList<quint32>{202} << u"01.08.2027"_s << u"01.07.2027"_s
                                          << QString() << QStringList{u"01.07.2027"_s, u"01.08.2027"_s};
        QTest::newRow("no date") << QList<quint32>{202} << u"31.02.2028"_s << QString() << QString()
                                 << QStringList{u"31.02.2028"_s, u"ДД.ММ.ГГГГ"_s};
        QTest::newRow("rate no number")
            << QList<quint32>{202} << u"01.08.2027"_s << QString() << u"12р"_s << QStringList{u"12р"_s};
        // Омега's lease would let 101 in Бета's last month: both are named.
        QTest::newRow("overlap") << QList<quint32>{203, 101} << u"01.08.2026"_s << u"31.12.2026"_s
                                 << QString() << QStringList{u"Омега"_s, u"Бета"_s, u"«101»"_s};
        // An open-ended lease from 2030 meets Альфа's open-ended one.
        QTest::newRow("open ends overlap") << QList<quint32>{201} << u"01.01.2030"_s << QString() << QString()
                                           << QStringList{u"Альфа"_s, u"бессрочно"_s};
        QTest::newRow("no record") << QList<quint32>{999} << u"01.08.2027"_s << QString() << QString()
                                   << QStringList{u"999"_s};
        QTest::newRow("no room") << QList<quint32>{} << u"01.08.2027"_s << QString() << QString()
                                 << QStringList{u"нет ни одного помещения"_s};
    }
    void editsRefused()
    {
        QFETCH(QList<quint32>, keys);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, rate);
        QFETCH(QStringList, named);
        LeaseBook book = m_book;
        QList<LeaseRoom> rooms;
        for (quint32 key : keys)
            rooms.append(LeaseRoom{key, {}});
        try {
            book.add(LeaseBook::fromTexts(rooms, u"Омега"_s, u"О-1"_s, start, end, rate, {}), m_table);
            QFAIL("accepted");
        } catch (const MetrolaError &error) {
            for (const QString &word : named)
                QVERIFY2(error.message().contains(word), qPrintable(error.message()));
        }
        QCOMPARE(book, m_book);
    }

    // Ending a lease today and renewing it from the day after never meet the rule of overlaps.
    void endAndRenew()
    {
        LeaseBook book = m_book;
        Lease ended = book.lease(3);
        ended.end = d("15.06.2026");
        book.replace(3, ended, m_table);
        Lease renewed = ended;
        renewed.start = ended.end.addDays(1);
        renewed.end = d("14.06.2027");
        book.add(renewed, m_table);
        QVERIFY(book.overlaps().empty());
        QCOMPARE(LeaseCalendar(book).inForce(201, d("16.06.2026")), 5);
    }

    void hostileMember_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QString>("reason");
        QTest::newRow("million lines") << QByteArray(1000000, '\n') << u"1000000 строк"_s;
        QTest::newRow("broken date")
            << QByteArray("1;101;a.bmp;X;;01.01.2025;;;;\r\n2;102;a.bmp;Y;;32.01.2025;;;;\r\n")
            << u"строка 2: «32.01.2025» — не дата"_s;
        QTest::newRow("key not a colour") << QByteArray("1;abc;a.bmp;X;;;;;;\r\n") << u"«abc»"_s;
        QTest::newRow("key is the walls") << QByteArray("1;0;a.bmp;X;;;;;;\r\n") << u"«0»"_s;
        QTest::newRow("end before start")
            << QByteArray("1;101;a.bmp;X;;02.01.2025;01.01.2025;;;\r\n") << u"раньше его начала"_s;
        QTest::newRow("rate") << QByteArray("1;101;a.bmp;X;;;;-5;;\r\n") << u"«-5» — не число"_s;
        QTest::newRow("one lease two ways") << QByteArray("1;101;a.bmp;X;;;;;;\r\n1;102;a.bmp;Y;;;;;;\r\n")
                                            << u"строка 2: договор № 1 описан иначе"_s;
        QTest::newRow("too few fields") << QByteArray("1;101;a.bmp;X\r\n") << u"полей 4"_s;
        QTest::newRow("UTF-8") << QByteArray("1;101;a.bmp;\xd0\x90;;;;;;\r\n") << u"Windows-1251"_s;
    }
    // A member that cannot be read is refused whole and said why; its bytes are kept for
    // saving back, and no edit can change them.
    void hostileMember()
    {
        QFETCH(QByteArray, member);
        QFETCH(QString, reason);
        const LeaseBook book = LeaseBook::fromMember(member);
        QVERIFY(book.isRefused());
        QVERIFY2(book.refusal().contains(reason), qPrintable(book.refusal()));
        QCOMPARE(book.build(), member);
        QCOMPARE(LeaseRules::check(book, m_table, d("15.06.2026")).front().kind, u"leases-refused"_s);
        LeaseBook edited = book;
        QVERIFY_THROWS_EXCEPTION(MetrolaError, edited.add(lease({202}, u"Z"_s, "01.01.2030", ""), m_table));
    }

    // A hand-made file may hold what edits refuse: check names it instead.
    void checkRules()
    {
        RecordTable table;
        fillTable(table);
        table.setCell(RecordTable::Tenant, 4, u"Дельта"_s); // let before its lease starts
        table.setCell(RecordTable::Tenant, 1, u"Бета"_s);
        const QByteArray file = Cp1251::fromUnicode(u"1;101;a.bmp;Бета;;01.01.2025;31.08.2026;;;\r\n"
                                                    u"2;101;a.bmp;Икс;;01.08.2026;;;;\r\n"
                                                    u"3;202;b.bmp;Дельта;;01.07.2026;;;;\r\n"
                                                    u"4;555;b.bmp;Ушёл;;01.01.2020;;;;\r\n"_s);
        const LeaseBook book = LeaseBook::parse(file);
        QStringList kinds;
        for (const LeaseRules::Problem &p : LeaseRules::check(book, table, d("15.06.2026")))
            kinds << u"%1@%2"_s.arg(p.kind).arg(p.row);
        QCOMPARE(kinds, (QStringList{u"lease-overlap@1"_s, u"lease-rooms-gone@0"_s, u"lease-tenant@4"_s}));
    }

    // On 15.06.2026 Альфа holds 102 and 201 (30 + 20,5 = 50,5 m² at 1250,5: 63 150,25 a month)
    // and Бета 101 (50 m², no rate); Дельта's lease has not started. Sorted by tenant.
    void rentRoll()
    {
        const auto sheet = AreaSchedule::rentRoll(m_table, m_book, d("15.06.2026"), u"/x/p.zip"_s);
        QVERIFY(sheet);
        QCOMPARE(sheet->sheetName(), u"Договоры"_s);
        QCOMPARE(sheet->cell(4, 0).text, u"Альфа"_s);
        QCOMPARE(sheet->cell(4, 2).text, u"a.bmp, b.bmp"_s);
        QCOMPARE(sheet->cell(4, 4).number, 50.5);
        QCOMPARE(sheet->cell(4, 6).text, u"бессрочно"_s);
        QCOMPARE(sheet->cell(4, 7).kind, AreaSchedule::Cell::Empty);
        QCOMPARE(sheet->cell(4, 9).number, 63150.25);
        QCOMPARE(sheet->cell(5, 0).text, u"Бета"_s);
        QCOMPARE(sheet->cell(5, 7).number, 2.0); // 15.06 to 31.08
        QCOMPARE(sheet->cell(5, 9).kind, AreaSchedule::Cell::Empty);
        QCOMPARE(sheet->cell(6, 0).text, u"Итого"_s);
        QCOMPARE(sheet->cell(6, 4).text, u"=SUM(E5:E6)"_s);
        QCOMPARE(sheet->cell(6, 4).number, 100.5);
        QCOMPARE(sheet->cell(6, 9).number, 63150.25);
        QVERIFY(!AreaSchedule::rentRoll(m_table, LeaseBook(), d("15.06.2026"), {}));

        // The workbook has it as its last sheet; the first stays the schedule.
        QTemporaryDir work;
        ProjectSession session(work.path() + u'/');
        fillTable(session.table());
        fillBook(LeaseBook::of(session), session.table());
        const auto sheets = AreaSchedule::workbook(session, false, d("15.06.2026"));
        QCOMPARE(sheets.size(), size_t(2));
        QVERIFY(sheets.front().sheetName().isEmpty());
        const QString path = work.path() + u"/w.xlsx"_s;
        XlsxWorkbook::write(XlsxWorkbook::sheetsOf(sheets), path, work.path());
        // Member names stand uncompressed in the ZIP directory.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("xl/worksheets/sheet2.xml"));
    }

    // Through a save and an opening, and through the recovery copy; a refused member goes back
    // into the archive byte for byte.
    void archiveAndRecovery()
    {
        QTemporaryDir work;
        const QString dir = work.path() + u'/';
        QImage plan(20, 20, QImage::Format_RGB32);
        plan.fill(Qt::white);
        QVERIFY(plan.save(dir + u"a.bmp"_s, "BMP"));
        QVERIFY(plan.save(dir + u"b.bmp"_s, "BMP"));
        ProjectSession session(dir);
        fillTable(session.table());
        fillBook(LeaseBook::of(session), session.table());
        const QString archive = dir + u"p.zip"_s;
        ProjectArchive::save(session, archive);
        QVERIFY(ZipReader(archive).memberNames().contains(LeaseBook::fileName()));

        QTemporaryDir other;
        ProjectSession opened(other.path() + u'/');
        ProjectArchive::OpenOptions options;
        options.askReplace = [](const QString &) { return true; };
        QCOMPARE(ProjectArchive::open(opened, archive, options), ProjectArchive::OpenResult::Opened);
        QVERIFY(LeaseBook::in(opened));
        QCOMPARE(*LeaseBook::in(opened), LeaseBook::of(session));

        const RecoveryFile::Snapshot snapshot = RecoveryFile::take(opened);
        RecoveryFile::write(opened.programDir(), snapshot);
        RecoveryFile::Recovered recovered = RecoveryFile::read(opened.programDir());
        ProjectSession restored(opened.programDir());
        ProjectArchive::restore(restored, std::move(recovered));
        QCOMPARE(*LeaseBook::in(restored), LeaseBook::of(session));

        const QByteArray broken("1;101;a.bmp;X;;31.02.2025;;;;\r\n");
        session.setLeases(std::make_shared<LeaseBook>(LeaseBook::fromMember(broken)));
        ProjectArchive::save(session, archive);
        QCOMPARE(ProjectArchive::open(opened, archive, options), ProjectArchive::OpenResult::Opened);
        QVERIFY(LeaseBook::in(opened)->isRefused());
        ProjectArchive::save(opened, archive);
        ZipReader reader(archive);
        QTemporaryDir out;
        reader.extract({LeaseBook::fileName()}, out.path() + u'/', {});
        QFile file(out.path() + u'/' + LeaseBook::fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), broken);
    }
};

QTEST_GUILESS_MAIN(TestLeases)
#include "tst_leases.moc"
