#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/model/descriptionfile.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <new>

using namespace Qt::StringLiterals;

namespace {

// The two-room project of 7 December 2026 with default captions, as the file stores it.
const QByteArray kExample = Cp1251::fromUnicode(
    u"Арендаторы;Кв.метры;назв.комнат;Тип помещений;Торговые;Офисные;Производство;Складские;Прочие;м.;;\r\n"
    u"ID плана;Название;Тип;Инфо1;Инфо2;Доп.Инф.;SYS-Цвет;SYS-X;SYS-Y;\r\n"
    u"etazh1.bmp;Зал;торг;120,5;А-01;;9502718;140;95;\r\n"
    u"etazh1.bmp;Кладовая;склд;40;А-02;угловая;9502717;310;88;\r\n"
    u";;;;;;07.12.2026;;;\r\n");



} // namespace

class TestDescriptionFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exampleRoundTripsByteForByte()
    {
        QTemporaryDir dir;
        const QString programDir = dir.path() + u'/';
        QVERIFY(writeFile(programDir + DescriptionFile::fileName(), kExample));
        RecordTable table;
        Captions captions;
        DescriptionFile::load(programDir, true, captions, table);
        QCOMPARE(table.tableRows(), 4);
        QCOMPARE(table.recordCounter(), 3);
        QCOMPARE(table.cellText(RecordTable::Name, 2), u"Кладовая"_s);
        QCOMPARE(table.cellText(RecordTable::ColourKey, 3), u"07.12.2026"_s);
        QCOMPARE(captions, Captions::defaults());
        DescriptionFile::write(programDir, captions, table);
        QCOMPARE(readFile(programDir + DescriptionFile::fileName()), kExample);
    }

    void emptyProjectIsThreeLines()
    {
        RecordTable table;
        const QByteArray bytes = DescriptionFile::build(Captions::defaults(), table);
        QCOMPARE(bytes.count("\r\n"), 3);
        QVERIFY(bytes.endsWith("\r\n;;;;;;;;;\r\n"));
        const auto contents = DescriptionFile::parse(bytes);
        QCOMPARE(contents.rows.size(), size_t(1));
    }

    void collapse_data()
    {
        QTest::addColumn<QStringList>("firstColumns"); // the first three cells of rows 1 ..
        QTest::addColumn<int>("lines");
        // Rows are the records then the EntryRow; "" means a row beginning ";;;".
        QTest::newRow("entry row only") << QStringList{u""_s} << 3;
        QTest::newRow("records kept") << QStringList{u"a"_s, u"b"_s, u""_s} << 5;
        QTest::newRow("blank record before entry row is merged")
            << QStringList{u"a"_s, u""_s, u""_s} << 4;
        QTest::newRow("only adjacent runs collapse")
            << QStringList{u""_s, u""_s, u"a"_s, u""_s, u""_s, u""_s} << 5;
    }
    void collapse()
    {
        QFETCH(QStringList, firstColumns);
        QFETCH(int, lines);
        std::vector<RecordTable::Row> rows;
        for (const QString &plan : firstColumns) {
            RecordTable::Row row;
            row[RecordTable::PlanId] = plan;
            row[RecordTable::Type] = plan.isEmpty() ? QString() : u"торг"_s;
            rows.push_back(row);
        }
        RecordTable table;
        table.replaceRows(rows);
        Captions captions; // all empty: the caption line begins ";;;" but is never collapsed
        const QByteArray bytes = DescriptionFile::build(captions, table);
        QCOMPARE(bytes.count("\r\n"), lines);
        QVERIFY(bytes.startsWith(";;;;;;;;;;;\r\nID"));
    }

    void lineBreaks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("tableRows");
        QTest::newRow("bare LF") << QByteArray("c;\nh;\na;b;\n;;;\n") << 3;
        QTest::newRow("bare CR") << QByteArray("c;\rh;\ra;b;\r;;;\r") << 3;
        QTest::newRow("no final break") << QByteArray("c;\r\nh;\r\na;b;\r\n;;;") << 3;
        QTest::newRow("empty line counts") << QByteArray("c;\r\nh;\r\n\r\n;;;\r\n") << 3;
        QTest::newRow("two lines") << QByteArray("c;\r\nh;\r\n") << 2;
        QTest::newRow("empty file") << QByteArray() << 2;
    }
    void lineBreaks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, tableRows);
        RecordTable table;
        table.appendRecord({}, std::nullopt); // something to replace
        table.replaceRows(DescriptionFile::parse(bytes).rows);
        QCOMPARE(table.tableRows(), tableRows);
        QCOMPARE(table.recordCounter(), tableRows - 1);
    }

    void lineCountMatchesTheSplit_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF pairs") << QByteArray("a\r\nb\r\n");
        QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb");
        QTest::newRow("CR at the very end") << QByteArray("a\r");
        QTest::newRow("only breaks") << QByteArray("\r\r\n\n");
        QTest::newRow("nothing") << QByteArray();
    }
    void lineCountMatchesTheSplit()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(DescriptionFile::lineCount(bytes), qsizetype(DescriptionFile::splitLines(bytes).size()));
    }

    void tooManyLinesAreRefusedBeforeAnyRow()
    {
        // 2 + kMaxLines - 1 empty lines deflate to a few kilobytes in an archive.
        QByteArray bytes = QByteArray("c;\nh;\n") + QByteArray(DescriptionFile::kMaxLines - 1, '\n');
        try {
            DescriptionFile::parse(bytes);
            QFAIL("a file of too many lines was read");
        } catch (const MetrolaError &error) {
            QVERIFY2(error.message().contains(u"1000001"_s), qPrintable(error.message()));
        }
        bytes.chop(1);
        QCOMPARE(DescriptionFile::lineCount(bytes), DescriptionFile::kMaxLines);
        QCOMPARE(DescriptionFile::parse(bytes.left(200)).rows.size(), size_t(194));
    }

    void outOfMemoryOnAnyThreadIsThrownToTheCaller()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer reserves more address space than any limit leaves");
#else
        // 400,000 rows of nine one-letter cells, decoded on as many threads as the machine
        // has. A first child reads them freely and tells how much address space that took; a
        // second one, forked from the same state, is held to the space of the rows themselves
        // and half of what their texts took, so its allocations fail while the texts are
        // decoded, on whichever thread.
        constexpr size_t kRows = 400000;
        const QByteArray bytes = QByteArray("c;\nh;\n") + QByteArray("x;x;x;x;x;x;x;x;x;\n").repeated(kRows);
        const auto addressSpace = [] {
            long pages = 0;
            if (FILE *f = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(f, "%ld", &pages) != 1)
                    pages = 0;
                std::fclose(f);
            }
            return size_t(pages) * size_t(sysconf(_SC_PAGESIZE));
        };
        // Exit status: 0 read, 3 std::bad_alloc thrown to here; the pipe gets the growth.
        const auto readInChild = [&](size_t limit, int pipe) {
            const pid_t child = fork();
            if (child != 0)
                return child;
            mallopt(M_ARENA_MAX, 1); // no 64 MB reservation per thread in the figures
            const size_t start = addressSpace();
            const rlimit bound{start + limit, start + limit};
            if (limit > 0 && setrlimit(RLIMIT_AS, &bound) != 0)
                _exit(4);
            try {
                const DescriptionFile::Contents contents = DescriptionFile::parse(bytes);
                const size_t grown = addressSpace() - start;
                if (pipe >= 0 && write(pipe, &grown, sizeof grown) != sizeof grown)
                    _exit(4);
            } catch (const std::bad_alloc &) {
                _exit(3);
            }
            _exit(0);
        };
        const auto finish = [](pid_t child) {
            int status = 0;
            if (child <= 0 || waitpid(child, &status, 0) != child)
                return -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        };
        int fds[2];
        QCOMPARE(pipe(fds), 0);
        const pid_t free = readInChild(0, fds[1]);
        close(fds[1]);
        size_t grown = 0;
        const bool told = read(fds[0], &grown, sizeof grown) == sizeof grown;
        close(fds[0]);
        QCOMPARE(finish(free), 0);
        QVERIFY(told);
        const size_t rows = kRows * (sizeof(RecordTable::Row) + sizeof(QByteArrayView));
        QVERIFY2(grown > rows, qPrintable(QString::number(grown)));
        const int status = finish(readInChild(rows + (grown - rows) / 2, -1));
        QVERIFY2(status < 128, "the reading ended the process instead of throwing");
        QCOMPARE(status, 3);
#endif
    }

    void field_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << QByteArray("a;b;") << 0 << u"a"_s;
        QTest::newRow("second") << QByteArray("a;b;") << 1 << u"b"_s;
        QTest::newRow("after last separator") << QByteArray("a;b;tail") << 2 << QString();
        QTest::newRow("short line") << QByteArray("a") << 0 << QString();
        QTest::newRow("tenth field") << QByteArray("0;1;2;3;4;5;6;7;8;9;10;") << 9 << u"9"_s;
        QTest::newRow("empty between") << QByteArray(";;x;") << 1 << QString();
    }
    void field()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, k);
        QFETCH(QString, text);
        QCOMPARE(DescriptionFile::field(line, k), text);
    }

    void captionLine_data()
    {
        QTest::addColumn<QByteArray>("line0");
        QTest::addColumn<bool>("apply");
        QTest::addColumn<QString>("tenantCaption");
        QTest::newRow("applied") << QByteArray("T;;;;;;;;;;;") << true << u"T"_s;
        QTest::newRow("not asked") << QByteArray("T;;;;;;;;;;;") << false << u"keep"_s;
        QTest::newRow("title line") << QByteArray("Metrola 1.8;x;") << true << u"keep"_s;
        QTest::newRow("lower case is a caption") << QByteArray("metrola;;;;;;;;;;;") << true << u"metrola"_s;
    }
    void captionLine()
    {
        QFETCH(QByteArray, line0);
        QFETCH(bool, apply);
        QFETCH(QString, tenantCaption);
        QTemporaryDir dir;
        const QString programDir = dir.path() + u'/';
        QVERIFY(writeFile(programDir + DescriptionFile::fileName(), line0 + "\r\nh;\r\n;;;;;;;;;\r\n"));
        Captions captions;
        captions[Captions::Tenant] = u"keep"_s;
        RecordTable table;
        DescriptionFile::load(programDir, apply, captions, table);
        QCOMPARE(captions[Captions::Tenant], tenantCaption);
    }

    void everyByteSurvives()
    {
        // Every byte value except the separator and the line breaks, in every field.
        QByteArray cell;
        for (int b = 0; b < 256; ++b) {
            if (b != ';' && b != '\r' && b != '\n')
                cell += char(b);
        }
        // Column 0 is a plan id, which must stay a bare file name.
        QByteArray line = "plan.bmp;";
        for (int c = 1; c < RecordTable::ColumnCount; ++c)
            line += cell + ';';
        QByteArray caption;
        for (int c = 0; c < Captions::Count; ++c)
            caption += cell + ';';
        const QByteArray file = caption + ";\r\nh;\r\n" + line + "\r\n;;;;;;x;;;\r\n";
        QTemporaryDir dir;
        const QString programDir = dir.path() + u'/';
        QVERIFY(writeFile(programDir + DescriptionFile::fileName(), file));
        RecordTable table;
        Captions captions;
        DescriptionFile::load(programDir, true, captions, table);
        DescriptionFile::write(programDir, captions, table);
        const QByteArray back = readFile(programDir + DescriptionFile::fileName());
        // Line 1 is never read back: the header keeps its own texts.
        const auto lines = DescriptionFile::splitLines(back);
        QCOMPARE(lines.size(), size_t(4));
        QCOMPARE(lines[0].toByteArray(), caption + ';');
        QCOMPARE(lines[2].toByteArray(), line);
    }

    void unsafePlanIdsAreRefused_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("slash") << u"../etc/passwd"_s;
        QTest::newRow("backslash") << u"a\\b.bmp"_s;
        QTest::newRow("dot dot") << u".."_s;
        QTest::newRow("dot") << u"."_s;
        QTest::newRow("control") << u"a\u0001.bmp"_s;
    }
    void unsafePlanIdsAreRefused()
    {
        QFETCH(QString, id);
        QTemporaryDir dir;
        const QString programDir = dir.path() + u'/';
        QVERIFY(writeFile(programDir + DescriptionFile::fileName(),
                 "c;\r\nh;\r\n" + Cp1251::fromUnicode(id) + ";n;t;;;;5;1;1;\r\n;;;;;;;;;\r\n"));
        RecordTable table;
        table.appendRecord({u"keep.bmp"_s}, std::nullopt);
        Captions captions;
        QVERIFY_THROWS_EXCEPTION(MetrolaError, DescriptionFile::load(programDir, true, captions, table));
        QCOMPARE(table.tableRows(), 3);
        QCOMPARE(table.cellText(RecordTable::PlanId, 1), u"keep.bmp"_s);
    }

    void missingFileFails()
    {
        QTemporaryDir dir;
        RecordTable table;
        Captions captions;
        QVERIFY_THROWS_EXCEPTION(MetrolaError,
                                 DescriptionFile::load(dir.path() + u'/', true, captions, table));
    }
};

QTEST_GUILESS_MAIN(TestDescriptionFile)
#include "tst_descriptionfile.moc"
