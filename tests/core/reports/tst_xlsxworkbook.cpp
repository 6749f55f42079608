#include "reportstest.h"

#include "core/base/metrolaerror.h"
#include "core/model/captions.h"
#include "core/model/recordtable.h"
#include "core/model/projectsession.h"
#include "core/reports/areaschedule.h"
#include "core/reports/xlsxworkbook.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <clocale>

using namespace Qt::StringLiterals;

namespace {

QByteArray readMember(const QString &archive, const QString &member)
{
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, archive, member});
    if (!unzip.waitForFinished() || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

struct XmlCell
{
    QString type;
    QString value;
    QString formula;
};

struct Sheet
{
    QHash<QString, XmlCell> cells;
    QStringList merges;
    QString autoFilter;
    QHash<int, double> columnWidths; // by column number from 1
    QHash<int, double> rowHeights;   // by row number from 1
};

Sheet parseSheet(const QByteArray &xml)
{
    Sheet sheet;
    QXmlStreamReader reader(xml);
    QString current;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = reader.name();
        const auto attributes = reader.attributes();
        if (name == "c"_L1) {
            current = attributes.value("r"_L1).toString();
            sheet.cells[current].type = attributes.value("t"_L1).toString();
        } else if (name == "v"_L1) {
            sheet.cells[current].value = reader.readElementText();
        } else if (name == "f"_L1) {
            sheet.cells[current].formula = reader.readElementText();
        } else if (name == "mergeCell"_L1) {
            sheet.merges << attributes.value("ref"_L1).toString();
        } else if (name == "autoFilter"_L1) {
            sheet.autoFilter = attributes.value("ref"_L1).toString();
        } else if (name == "col"_L1) {
            const int last = attributes.value("max"_L1).toInt();
            for (int c = attributes.value("min"_L1).toInt(); c <= last; ++c)
                sheet.columnWidths[c] = attributes.value("width"_L1).toDouble();
        } else if (name == "row"_L1 && attributes.hasAttribute("ht"_L1)) {
            sheet.rowHeights[attributes.value("r"_L1).toInt()] = attributes.value("ht"_L1).toDouble();
        }
    }
    return sheet;
}

QStringList parseSharedStrings(const QByteArray &xml)
{
    QStringList strings;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == "t"_L1)
            strings << reader.readElementText();
    }
    return strings;
}

AreaSchedule sampleSchedule()
{
    RecordTable table;
    const auto add = [&table](const QString &type, const QString &area, const QString &tenant) {
        RecordTable::Row row;
        row[RecordTable::PlanId] = u"p1"_s;
        row[RecordTable::Type] = type;
        row[RecordTable::Area] = area;
        row[RecordTable::Tenant] = tenant;
        table.appendRecord(row, std::nullopt);
    };
    add(u"офис"_s, u"12,5"_s, u"007"_s);
    add(u"торг"_s, u"1,2,3"_s, u"ООО Ромашка"_s);
    add(u"торг"_s, u"3"_s, {});
    return AreaSchedule::build(table, Captions::defaults(), u"/home/u/obj/plan.zip"_s);
}

} // namespace

class TestXlsxWorkbook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writtenFileReadsBack()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"schedule.xlsx"_s);
        XlsxWorkbook::write(sampleSchedule(), path);

        const Sheet sheet = parseSheet(readMember(path, u"xl/worksheets/sheet1.xml"_s));
        const QStringList strings =
            parseSharedStrings(readMember(path, u"xl/sharedStrings.xml"_s));
        const auto text = [&](const QString &ref) {
            const XmlCell cell = sheet.cells.value(ref);
            return cell.type == "s"_L1 ? strings.value(cell.value.toInt()) : QString();
        };
        QCOMPARE(sheet.merges, QStringList{u"A1:K1"_s});
        // The header and the three records, not the sums below them.
        QCOMPARE(sheet.autoFilter, u"A2:K5"_s);
        QCOMPARE(text(u"A1"_s), u"Размеркация plan.zip"_s);
        QCOMPARE(text(u"G2"_s), u"Прочие"_s);
        QCOMPARE(text(u"I3"_s), u"007"_s);
        QCOMPARE(text(u"C4"_s), u"1.2.3"_s);

        const XmlCell area = sheet.cells.value(u"D3"_s);
        QCOMPARE(area.type, QString()); // a number, not a string
        QCOMPARE(area.value, u"12.5"_s);
        const XmlCell sum = sheet.cells.value(u"H6"_s);
        QCOMPARE(sum.formula, u"SUM(H3:H5)"_s);
        QCOMPARE(sum.value, u"15.5"_s);
        QCOMPARE(sheet.cells.value(u"C6"_s).value, u"3"_s);
        // The bordered block reaches K even where nothing is written.
        QVERIFY(sheet.cells.contains(u"K6"_s));

        const QByteArray styles = readMember(path, u"xl/styles.xml"_s);
        for (const char *needle : {"<b/>", "FFCC99FF", "FFFFFF99", "patternType=\"lightGray\"",
                                   "<left style=\"thin\">", "wrapText=\"1\""}) {
            QVERIFY2(styles.contains(needle), needle);
        }
        // Printed: one landscape A4 page wide, the captions on every page.
        const QByteArray xml = readMember(path, u"xl/worksheets/sheet1.xml"_s);
        for (const char *needle : {"<pageSetUpPr fitToPage=\"1\"/>", "orientation=\"landscape\"", "paperSize=\"9\"",
                                   "fitToHeight=\"0\""}) {
            QVERIFY2(xml.contains(needle), needle);
        }
        QVERIFY(readMember(path, u"xl/workbook.xml"_s).contains("_xlnm.Print_Titles\" localSheetId=\"0\">"));
        QVERIFY(readMember(path, u"xl/workbook.xml"_s).contains("!$2:$2</definedName>"));
    }

    // A common room adds the sheet "Арендуемая площадь" and leaves the first sheet as it was.
    void rentableSheetFollowsTheSchedule()
    {
        QTemporaryDir dir;
        ProjectSession session(dir.path() + u'/');
        session.lastArchive = u"/x/obj.zip"_s;
        // a: let 100 to Т, 20 vacant, corridor 30: K = 150 / 120 = 1,25; Т pays 100 * 30 / 120 = 25.
        session.table().replaceRows({{u"a"_s, u"к"_s, u"офис"_s, u"100"_s, u"Т"_s, {}, u"5"_s, u"1"_s, u"1"_s},
                                     {u"a"_s, u"к"_s, u"офис"_s, u"20"_s, {}, {}, u"6"_s, u"1"_s, u"1"_s},
                                     {u"a"_s, u"коридор"_s, u"проч"_s, u"30"_s, {}, {}, u"7"_s, u"1"_s, u"1"_s},
                                     {}});
        session.plans().rebuild(session.table());
        session.roomFlags().setDecided(true); // decided, nothing common: one sheet
        QCOMPARE(AreaSchedule::workbook(session, false).size(), size_t(1));
        const QString plain = dir.filePath(u"plain.xlsx"_s);
        XlsxWorkbook::write(XlsxWorkbook::sheetsOf(AreaSchedule::workbook(session, false)), plain);

        session.roomFlags().setCommon(7, true);
        const std::vector<AreaSchedule> sheets = AreaSchedule::workbook(session, false);
        QCOMPARE(sheets.size(), size_t(2));
        const QString both = dir.filePath(u"both.xlsx"_s);
        XlsxWorkbook::write(XlsxWorkbook::sheetsOf(sheets), both);
        QCOMPARE(readMember(both, u"xl/worksheets/sheet1.xml"_s), readMember(plain, u"xl/worksheets/sheet1.xml"_s));
        QVERIFY(readMember(both, u"xl/workbook.xml"_s).contains("name=\"Арендуемая площадь\""));

        const Sheet sheet = parseSheet(readMember(both, u"xl/worksheets/sheet2.xml"_s));
        const QStringList strings = parseSharedStrings(readMember(both, u"xl/sharedStrings.xml"_s));
        const auto text = [&](const QString &ref) { return strings.value(sheet.cells.value(ref).value.toInt()); };
        QCOMPARE(text(u"A1"_s), u"Арендуемая площадь — obj.zip"_s);
        QCOMPARE(text(u"A5"_s), u"a"_s);
        QCOMPARE(sheet.cells.value(u"H5"_s).value, u"1.25"_s);  // load factor
        QCOMPARE(sheet.cells.value(u"G5"_s).value.toDouble(), 100.0 * 100 / 120); // let share
        QCOMPARE(text(u"A9"_s), u"Т"_s);
        QCOMPARE(sheet.cells.value(u"D9"_s).value, u"25"_s);
        QCOMPARE(sheet.cells.value(u"E9"_s).value, u"125"_s);
        QCOMPARE(text(u"A10"_s), u"— свободно —"_s); // the landlord's 20 * 30 / 120 = 5
        QCOMPARE(sheet.cells.value(u"E10"_s).value, u"25"_s);
        QCOMPARE(sheet.cells.value(u"E11"_s).formula, u"SUM(E9:E10)"_s);
        QCOMPARE(sheet.cells.value(u"E11"_s).value, u"150"_s);
        QVERIFY(readMember(both, u"xl/styles.xml"_s).contains("formatCode=\"0.000\""));
    }

    // On a Russian desktop the program's locale writes numbers with a decimal comma; the
    // workbook's numbers must not follow it, nor may writing change the program's locale.
    void numbersIgnoreTheUsersLocale()
    {
        const QByteArray before = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"))
            QSKIP("ru_RU.UTF-8 is not generated on this machine");
        QTemporaryDir dir;
        const QString path = dir.filePath(u"schedule.xlsx"_s);
        XlsxWorkbook::write(sampleSchedule(), path);
        const QByteArray still = std::setlocale(LC_NUMERIC, nullptr);
        std::setlocale(LC_NUMERIC, before.constData());
        QCOMPARE(still, QByteArray("ru_RU.UTF-8"));

        const QByteArray xml = readMember(path, u"xl/worksheets/sheet1.xml"_s);
        const Sheet sheet = parseSheet(xml);
        QCOMPARE(sheet.cells.value(u"D3"_s).value, u"12.5"_s);
        QCOMPARE(sheet.cells.value(u"H6"_s).value, u"15.5"_s);
        QVERIFY(!sheet.columnWidths.isEmpty());
        QVERIFY2(!xml.contains(",5"), xml.constData());
    }

    void charactersXmlCannotHoldAreLeftOut()
    {
        // XML holds no NUL, no other C0 control but tab and line breaks, no U+FFFF and no
        // lone surrogate; a pair is a character like any other.
        RecordTable table;
        RecordTable::Row row;
        row[RecordTable::PlanId] = u"p\u0000x"_s;
        row[RecordTable::Tenant] = u"A\u0000B\u0001C\tD"_s + QChar(0xFFFF) + QChar(0xD800) + u"E\U0001F600"_s;
        table.appendRecord(row, std::nullopt);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"schedule.xlsx"_s);
        XlsxWorkbook::write(AreaSchedule::build(table, Captions::defaults(), {}), path);
        const QStringList strings = parseSharedStrings(readMember(path, u"xl/sharedStrings.xml"_s));
        QVERIFY2(strings.contains(u"ABC\tDE\U0001F600"_s), qPrintable(strings.join(u'|')));
        QVERIFY(strings.contains(u"px"_s));
    }

    void headerFitsItsColumns()
    {
        RecordTable table;
        RecordTable::Row row;
        row[RecordTable::PlanId] = u"etazh1-korpus-B-sektsiya-4.bmp"_s; // 30 characters
        row[RecordTable::Type] = u"прво"_s;
        row[RecordTable::Area] = u"1234,5"_s;
        table.appendRecord(row, std::nullopt);
        Captions captions = Captions::defaults();
        // Longer than any column may grow, so it has to wrap into three lines.
        captions[Captions::FirstType] = u"Торговые помещения первого этажа с витринами на улицу "
                                        u"и отдельным входом"_s;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"schedule.xlsx"_s);
        XlsxWorkbook::write(AreaSchedule::build(table, captions, {}), path);
        const Sheet sheet = parseSheet(readMember(path, u"xl/worksheets/sheet1.xml"_s));

        QVERIFY2(sheet.columnWidths.value(1) >= 30, qPrintable(QString::number(sheet.columnWidths.value(1))));
        // "Производство" over a short number: the caption decides.
        QVERIFY(sheet.columnWidths.value(5) >= 12);
        for (int c = 1; c <= 10; ++c) {
            QVERIFY2(sheet.columnWidths.value(c) >= AreaSchedule::MinColumnWidth
                         && sheet.columnWidths.value(c) <= AreaSchedule::MaxColumnWidth + 1,
                     qPrintable(QString::number(c)));
        }
        QCOMPARE(sheet.rowHeights.value(2), 3 * AreaSchedule::LineHeight);
        QVERIFY(!sheet.columnWidths.contains(11)); // K keeps the default
    }

    void writeReplacesWholly()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"schedule.xlsx"_s);
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
        old.close();

        XlsxWorkbook::write(sampleSchedule(), path);
        QVERIFY(readMember(path, u"xl/workbook.xml"_s).contains("sheet"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"schedule.xlsx"_s});
    }

    void writeFailureNamesFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"missing/schedule.xlsx"_s);
        try {
            XlsxWorkbook::write(sampleSchedule(), path);
            QFAIL("no error");
        } catch (const MetrolaError &error) {
            QVERIFY2(error.message().contains(path), qPrintable(error.message()));
        }
        QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void temporaryFolder()
    {
        const QString path = XlsxWorkbook::writeToTemporaryFolder(sampleSchedule());
        const QFileInfo info(path);
        QDir folder = info.dir();
        const auto cleanup = qScopeGuard([&folder] { folder.removeRecursively(); });
        QCOMPARE(info.fileName(), u"Размеркация plan.zip.xlsx"_s);
        QVERIFY(info.isFile());
        QCOMPARE(QFileInfo(folder.absolutePath()).dir().canonicalPath(),
                 QDir(QDir::tempPath()).canonicalPath());
        // Two reports of the same title must not meet in one folder.
        const QString second = XlsxWorkbook::writeToTemporaryFolder(sampleSchedule());
        QDir secondFolder = QFileInfo(second).dir();
        const auto cleanupSecond =
            qScopeGuard([&secondFolder] { secondFolder.removeRecursively(); });
        QVERIFY(second != path);
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        QTest::newRow("no archive") << u"Размеркация "_s << u"Размеркация.xlsx"_s;
        QTest::newRow("archive") << u"Размеркация plan.zip"_s << u"Размеркация plan.zip.xlsx"_s;
        QTest::newRow("slash and control")
            << u"Размеркация a/b\tc"_s << u"Размеркация a_b_c.xlsx"_s;
    }

    void fileName()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        QCOMPARE(XlsxWorkbook::fileNameFor(title), name);
    }

    void longFileNameFitsLimit()
    {
        // A name of 4-byte characters cut anywhere but between them would be broken UTF-8.
        const QString title =
            u"Размеркация "_s + QString(100, u'x') + QString::fromUcs4(U"😀").repeated(60);
        const QString name = XlsxWorkbook::fileNameFor(title);
        QVERIFY(name.toUtf8().size() <= 255);
        QVERIFY(name.endsWith(u"😀.xlsx"_s));
        QCOMPARE(QString::fromUtf8(name.toUtf8()), name);
    }
};

int runXlsxWorkbookTests(int argc, char **argv)
{
    TestXlsxWorkbook test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_xlsxworkbook.moc"
