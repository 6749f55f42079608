// metrola-cli is run as a separate process on archives built here, the way a server script
// would run it.

#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/base/safefile.h"
#include "testfiles.h"

#include "core/rooms/closingline.h"
#include "core/plan/floodfill.h"
#include "core/plan/planimage.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <array>
#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Keys as the description file holds them (0x00BBGGRR).
constexpr quint32 kRed = 0x0000FF;
constexpr quint32 kGreen = 0x00FF00;
constexpr quint32 kBlue = 0xFF0000;

// 40 x 30, white, split by a black wall at x = 20 into a left and a right room.
QImage twoRoomPlan()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < image.height(); ++y)
        image.setPixel(20, y, qRgb(0, 0, 0));
    return image;
}

QString record(const QString &plan, const QString &name, const QString &type, const QString &area,
               const QString &tenant, quint32 key, int x, int y)
{
    return u"%1;%2;%3;%4;%5;;%6;%7;%8;"_s.arg(plan, name, type, area, tenant, QString::number(key),
                                             QString::number(x), QString::number(y));
}

struct Project
{
    QStringList captions = {u"Арендатор"_s, u"Площадь"_s, u"Помещение"_s, u"Тип"_s,
                            u"Торговое"_s,  u"Офис"_s,    u"Производство"_s, u"Склад"_s,
                            u"Прочее"_s,    u"м."_s};
    QStringList records = {
        record(u"a.bmp"_s, u"Зал"_s, u"торг"_s, u"12,5"_s, u"ООО Ромашка"_s, kRed, 5, 5),
        record(u"a.bmp"_s, u"Кабинет"_s, u"офис"_s, u"7,25"_s, QString(), kGreen, 30, 5),
        record(u"b.bmp"_s, u"Склад"_s, u"склд"_s, u"100"_s, u"ИП Петров"_s, kBlue, 5, 5),
    };
    QString entryRow = u";;;;;;01.02.2024;;03.04.2024;"_s;
    QStringList plans = {u"a.bmp"_s, u"b.bmp"_s};
    QList<QPair<QString, QByteArray>> extraMembers;
    bool withDescription = true;

    QByteArray description() const
    {
        QStringList lines;
        lines << captions.join(u';') + u";;"_s;
        lines << u"План;Помещение;Тип;Площадь;Арендатор;Инфо;Ключ;X;Y;"_s;
        lines << records;
        lines << entryRow;
        return Cp1251::fromUnicode(QString(lines.join(u"\r\n"_s) + u"\r\n"_s));
    }

    void write(const QString &path) const
    {
        ZipWriter writer(path);
        for (const QString &plan : plans)
            writer.addMember(plan, PlanImage::bmpBytes(twoRoomPlan()));
        for (const auto &member : extraMembers)
            writer.addMember(member.first, member.second);
        if (withDescription)
            writer.addMember(u"metrola.csv"_s, description());
        writer.write();
    }
};

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
    QString text() const { return QString::fromUtf8(out); }
};

} // namespace

Q_DECLARE_METATYPE(Project)

class TestCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_work;
    QString m_tmp; // METROLA_TMPDIR of the tool: must be empty after every run
    rlim_t m_addressSpaceMB = 0; // the tool's address space when not 0

    QString path(const QString &name) const { return m_work.filePath(name); }

    QString archive(const Project &project, const QString &name = u"project.zip"_s) const
    {
        const QString p = path(name);
        QFile::remove(p);
        project.write(p);
        return p;
    }

    // Two plans of that size, white: the tool is busy with them for a while.
    QString bigPlansArchive(QSize size) const
    {
        Project project;
        QImage big(size, QImage::Format_RGB32);
        big.fill(Qt::white);
        project.plans.clear();
        for (const QString &plan : {u"a.bmp"_s, u"b.bmp"_s})
            project.extraMembers.append({plan, PlanImage::bmpBytes(big)});
        return archive(project);
    }

    Run run(const QStringList &arguments,
            const std::function<void(QProcessEnvironment &)> &changeEnvironment = {},
            const QString &program = QStringLiteral(METROLA_CLI_PATH)) const
    {
        QProcess process;
        start(process, arguments, changeEnvironment, program);
        if (!process.waitForFinished(60000))
            qFatal("metrola-cli did not finish");
        Run r;
        r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = process.readAllStandardOutput();
        r.err = process.readAllStandardError();
        return r;
    }

    void start(QProcess &process, const QStringList &arguments,
               const std::function<void(QProcessEnvironment &)> &changeEnvironment = {},
               const QString &program = QStringLiteral(METROLA_CLI_PATH)) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"METROLA_TMPDIR"_s, m_tmp);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        if (changeEnvironment)
            changeEnvironment(env);
        process.setProcessEnvironment(env);
        if (const rlim_t bytes = m_addressSpaceMB << 20) {
            process.setChildProcessModifier([bytes] {
                const rlimit bound{bytes, bytes};
                setrlimit(RLIMIT_AS, &bound);
            });
        }
        process.start(program, arguments);
    }

    QStringList leftovers() const { return QDir(m_tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    void expectRefused(const Run &r)
    {
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.endsWith('\n') && r.err.count('\n') == 1, r.err.constData());
    }

    QByteArray bytesOf(const Project &project) const
    {
        QFile f(archive(project, u"bytes.zip"_s));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        m_tmp = path(u"tmp"_s);
        QVERIFY(QDir().mkpath(m_tmp));
    }

    void cleanup() { QCOMPARE(leftovers(), QStringList()); }

    void versionAndHelp()
    {
        const Run version = run({u"--version"_s});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QByteArray("metrola-cli 1.8\n"));
        const Run help = run({u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.text().contains(u"Использование"_s));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command") << QStringList{u"list"_s, u"x.zip"_s};
        QTest::newRow("no archive") << QStringList{u"info"_s};
        QTest::newRow("two archives") << QStringList{u"info"_s, u"a.zip"_s, u"b.zip"_s};
        QTest::newRow("schedule without -o") << QStringList{u"schedule"_s, u"@"_s};
        QTest::newRow("-o without value") << QStringList{u"repaint"_s, u"@"_s, u"-o"_s};
        QTest::newRow("option of another command") << QStringList{u"info"_s, u"@"_s, u"--tenant"_s};
        QTest::newRow("missing archive") << QStringList{u"info"_s, u"/nonexistent/none.zip"_s};
        QTest::newRow("tolerance not a number") << QStringList{u"check"_s, u"@"_s, u"--tolerance"_s, u"x"_s};
        QTest::newRow("tolerance below zero") << QStringList{u"check"_s, u"@"_s, u"--tolerance"_s, u"-1"_s};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const QString zip = archive(Project());
        arguments.replaceInStrings(u"@"_s, zip);
        expectRefused(run(arguments));
    }

    // A folder with one project and one plain ZIP: the row, the total and the reason; the exit
    // code tells a script that something was not read.
    void portfolio()
    {
        QTemporaryDir folder;
        Project().write(folder.filePath(u"Север.zip"_s));
        {
            ZipWriter plain(folder.filePath(u"фото.zip"_s));
            plain.addMember(u"x.txt"_s, "x");
            plain.write();
        }
        const Run text = run({u"portfolio"_s, folder.path()});
        QCOMPARE(text.exitCode, 1);
        QVERIFY2(text.text().contains(u"Север\t2\t3\t119,75"_s), text.out.constData());
        QVERIFY2(text.text().contains(u"фото.zip: это не архив Metrola"_s), text.out.constData());

        const QString book = path(u"портфель.xlsx"_s);
        const Run json = run({u"portfolio"_s, folder.path(), u"--json"_s, u"-o"_s, book});
        QCOMPARE(json.exitCode, 1);
        QCOMPARE(json.json()[u"total"_s].toObject()[u"area"_s].toDouble(), 119.75);
        QCOMPARE(json.json()[u"unreadable"_s].toArray().size(), 1);
        QVERIFY(QFileInfo(book).size() > 0);

        const Run dated = run({u"portfolio"_s, folder.path(), u"--json"_s, u"--as-of"_s, u"2027-01-01"_s});
        QCOMPARE(dated.json()[u"asOf"_s].toString(), u"01.01.2027"_s);
        expectRefused(run({u"portfolio"_s, folder.path(), u"--as-of"_s, u"31.02.2027"_s}));
        expectRefused(run({u"portfolio"_s, folder.path() + u"/нет"_s}));
    }

    // A result someone has open (the lock an office program or Metrola keeps beside it) is not
    // written over.
    void outputOpenElsewhereIsRefused()
    {
        const QString zip = archive(Project());
        const QString book = path(u"открыта.xlsx"_s);
        QFile lock(path(u".~lock.открыта.xlsx#"_s));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("Пётр Петров,petr,buh-2,09.12.2026 10:00,file:///home/petr/.config/libreoffice/4;");
        lock.close();
        const Run r = run({u"schedule"_s, zip, u"-o"_s, book});
        expectRefused(r);
        QVERIFY2(QString::fromUtf8(r.err).contains(u"Пётр Петров"_s), r.err.constData());
        QVERIFY(!QFileInfo::exists(book));
        QFile::remove(lock.fileName());
    }

    void outputNeverReplacesTheArchive_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("link"); // how -o reaches the archive
        for (const QString &command : {u"schedule"_s, u"repaint"_s, u"picture"_s})
            QTest::newRow(qPrintable(command)) << command << QString();
        QTest::newRow("through a symbolic link") << u"schedule"_s << u"symbolic"_s;
        QTest::newRow("through a hard link") << u"repaint"_s << u"hard"_s;
    }

    void outputNeverReplacesTheArchive()
    {
        QFETCH(QString, command);
        QFETCH(QString, link);
        const QString zip = archive(Project());
        const QByteArray before = bytesOf(Project());
        QString out = zip;
        if (!link.isEmpty()) {
            out = path(u"link.zip"_s);
            QFile::remove(out);
            if (link == u"symbolic"_s)
                QVERIFY(QFile::link(zip, out));
            else
                QCOMPARE(::link(QFile::encodeName(zip).constData(), QFile::encodeName(out).constData()), 0);
        }
        expectRefused(run({command, zip, u"-o"_s, out}));
        QFile file(zip);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        if (!link.isEmpty())
            QFile::remove(out);
    }

    void infoText()
    {
        const Run r = run({u"info"_s, archive(Project())});
        QCOMPARE(r.exitCode, 0);
        const QString t = r.text();
        QVERIFY2(t.contains(u"Записей: 3\n"_s), qPrintable(t));
        QVERIFY(t.contains(u"  a.bmp: записей 2, площадь 19,75\n"_s));
        QVERIFY(t.contains(u"  b.bmp: записей 1, площадь 100\n"_s));
        QVERIFY(t.contains(u"Свободные помещения: 1, площадь 7,25\n"_s));
        QVERIFY(t.contains(u"Последняя новая запись: 01.02.2024\n"_s));
        QVERIFY(t.contains(u"Последнее изменение: 03.04.2024\n"_s));
    }

    void infoJson_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("entryRow");
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("unknownType");
        QTest::addColumn<QList<int>>("notNumber");
        QTest::addColumn<QList<int>>("missing");
        QTest::addColumn<int>("vacant");
        QTest::addColumn<bool>("finished");

        const QString entry = u";;;;;;01.02.2024;;03.04.2024;"_s;
        QTest::newRow("typical") << Project().records << entry << 119.75 << 0.0 << QList<int>()
                                 << QList<int>() << 1 << false;
        QTest::newRow("finished, no records")
            << QStringList() << u";;;;;;01.02.2024;НЕРЕДАКТ;03.04.2024;"_s << 0.0 << 0.0
            << QList<int>() << QList<int>() << 0 << true;
        QTest::newRow("bad area listed, not summed")
            << QStringList{record(u"a.bmp"_s, u"Зал"_s, u"торг"_s, u"12,5"_s, u"X"_s, kRed, 5, 5),
                           record(u"a.bmp"_s, u"Кладовая"_s, u"проч"_s, u"около 5"_s, u"Y"_s, kGreen, 30, 5),
                           record(u"a.bmp"_s, u"Угол"_s, u"торг"_s, u""_s, u"Z"_s, kBlue, 30, 6)}
            << entry << 12.5 << 0.0 << QList<int>{2} << QList<int>{3} << 0 << false;
        QTest::newRow("huge numbers are no areas")
            << QStringList{record(u"a.bmp"_s, u"Зал"_s, u"торг"_s, u"1e308"_s, u"X"_s, kRed, 5, 5),
                           record(u"a.bmp"_s, u"Зал 2"_s, u"торг"_s, u"1e308"_s, u"Y"_s, kGreen, 30, 5),
                           record(u"b.bmp"_s, u"Зал 3"_s, u"торг"_s, u"2000000000000"_s, u"Z"_s, kBlue, 5, 5)}
            << entry << 0.0 << 0.0 << QList<int>{1, 2, 3} << QList<int>() << 0 << false;
        QTest::newRow("unknown and empty type")
            << QStringList{record(u"a.bmp"_s, u"Зал"_s, u"магазин"_s, u"3"_s, u""_s, kRed, 5, 5),
                           record(u"a.bmp"_s, u"Зал 2"_s, u""_s, u"0,5"_s, u""_s, kGreen, 30, 5)}
            << entry << 3.5 << 3.5 << QList<int>() << QList<int>() << 2 << false;
    }

    void infoJson()
    {
        QFETCH(QStringList, records);
        QFETCH(QString, entryRow);
        QFETCH(double, total);
        QFETCH(double, unknownType);
        QFETCH(QList<int>, notNumber);
        QFETCH(QList<int>, missing);
        QFETCH(int, vacant);
        QFETCH(bool, finished);

        Project project;
        project.records = records;
        project.entryRow = entryRow;
        const Run r = run({u"info"_s, archive(project), u"--json"_s});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject o = r.json();
        QCOMPARE(o[u"records"_s].toInt(), records.size());
        QCOMPARE(o[u"areaTotal"_s].toDouble(), total);
        QCOMPARE(o[u"areaUnknownType"_s].toDouble(), unknownType);
        const auto rows = [&o](const QString &key) {
            QList<int> list;
            for (const QJsonValue &v : o[key].toArray())
                list << v.toInt();
            return list;
        };
        QCOMPARE(rows(u"areaNotNumberRows"_s), notNumber);
        QCOMPARE(rows(u"areaMissingRows"_s), missing);
        QCOMPARE(o[u"vacant"_s][u"count"_s].toInt(), vacant);
        QCOMPARE(o[u"finished"_s].toBool(), finished);
        QCOMPARE(o[u"captions"_s].toArray().size(), 10);
        QCOMPARE(o[u"captions"_s][9].toString(), u"м."_s);
        QCOMPARE(o[u"lastEdit"_s].toString(), u"03.04.2024"_s);
        double byType = unknownType;
        for (const QJsonValue &v : o[u"areaByType"_s].toObject())
            byType += v.toDouble();
        QCOMPARE(byType, total);
    }

    void infoWithoutPlanFiles()
    {
        Project project;
        project.plans.clear();
        const Run r = run({u"info"_s, archive(project), u"--json"_s});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.json()[u"records"_s].toInt(), 3);
    }

    void checkClean()
    {
        const Run r = run({u"check"_s, archive(Project()), u"--json"_s});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.json()[u"problems"_s].toArray().size(), 0);
    }

    void checkFinds_data()
    {
        QTest::addColumn<Project>("project");
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<int>("row");

        const auto with = [](int index, const QString &line) {
            Project p;
            p.records[index] = line;
            return p;
        };
        QTest::newRow("duplicate key")
            << with(1, record(u"a.bmp"_s, u"Кабинет"_s, u"офис"_s, u"7"_s, u""_s, kRed, 30, 5))
            << QStringList{u"duplicate-key"_s} << 2;
        QTest::newRow("key not a number")
            << with(1, u"a.bmp;Кабинет;офис;7;;;зелёный;30;5;"_s)
            << QStringList{u"open"_s, u"key"_s} << 2;
        QTest::newRow("key beyond 24 bits")
            << with(1, u"a.bmp;Кабинет;офис;7;;;16777216;30;5;"_s) << QStringList{u"key"_s} << 2;
        QTest::newRow("white key")
            << with(1, record(u"a.bmp"_s, u"Кабинет"_s, u"офис"_s, u"7"_s, u""_s, 0xFFFFFF, 30, 5))
            << QStringList{u"key"_s} << 2;
        QTest::newRow("black key")
            << with(1, record(u"a.bmp"_s, u"Кабинет"_s, u"офис"_s, u"7"_s, u""_s, 0, 30, 5))
            << QStringList{u"key"_s} << 2;
        // A file edited elsewhere; it passed and was summed, eating the other areas.
        QTest::newRow("negative area")
            << with(1, record(u"a.bmp"_s, u"Кабинет"_s, u"офис"_s, u"-99,99"_s, u""_s, kGreen, 30, 5))
            << QStringList{u"area"_s} << 2;
        QTest::newRow("empty plan id")
            << with(1, record(u""_s, u"Кабинет"_s, u"офис"_s, u"7"_s, u""_s, kGreen, 30, 5))
            << QStringList{u"plan"_s} << 2;
        Project entryRowChars;
        entryRowChars.entryRow = u";;;;;;01.02.2024;\u0001;03.04.2024;"_s;
        QTest::newRow("control character in the EntryRow") << entryRowChars << QStringList{u"chars"_s} << 4;
        QTest::newRow("label not a number")
            << with(2, u"b.bmp;Склад;склд;100;;;16711680;5;5,5;"_s) << QStringList{u"label"_s} << 3;
        QTest::newRow("label outside the plan")
            << with(2, record(u"b.bmp"_s, u"Склад"_s, u"склд"_s, u"100"_s, u""_s, kBlue, 40, 5))
            << QStringList{u"label-outside"_s} << 3;
        QTest::newRow("label covered by a later fill")
            << with(1, record(u"a.bmp"_s, u"Кабинет"_s, u"офис"_s, u"7"_s, u""_s, kGreen, 10, 5))
            << QStringList{u"label-covered"_s} << 1;
        QTest::newRow("label on a wall")
            << with(1, record(u"a.bmp"_s, u"Кабинет"_s, u"офис"_s, u"7"_s, u""_s, kGreen, 20, 5))
            << QStringList{u"label-on-wall"_s} << 2;
        QTest::newRow("unfinished record: no type, no area")
            << with(1, record(u"a.bmp"_s, u"Кабинет"_s, u""_s, u""_s, u""_s, kGreen, 30, 5))
            << QStringList() << 0;
        QTest::newRow("type unknown")
            << with(0, record(u"a.bmp"_s, u"Зал"_s, u"ТОРГ"_s, u"1"_s, u"X"_s, kRed, 5, 5))
            << QStringList{u"type"_s} << 1;
        QTest::newRow("area not a number")
            << with(0, record(u"a.bmp"_s, u"Зал"_s, u"торг"_s, u"1,2,3"_s, u"X"_s, kRed, 5, 5))
            << QStringList{u"area"_s} << 1;
        QTest::newRow("control character")
            << with(0, record(u"a.bmp"_s, u"Зал"_s, u"торг"_s, u"1"_s, u"X\tY"_s, kRed, 5, 5))
            << QStringList{u"chars"_s} << 1;
        QTest::newRow("unassigned code page byte")
            << with(0, record(u"a.bmp"_s, u"Зал"_s, u"торг"_s, u"1"_s, u"X"_s + QChar(0x98), kRed, 5, 5))
            << QStringList{u"chars"_s} << 1;

        Project missing;
        missing.plans = {u"a.bmp"_s};
        QTest::newRow("plan missing") << missing << QStringList{u"plan-missing"_s} << 3;

        Project unused;
        unused.extraMembers = {{u"old.BMP"_s, PlanImage::bmpBytes(twoRoomPlan())}, {u"notes.txt"_s, "x"}};
        QTest::newRow("plan unused") << unused << QStringList{u"plan-unused"_s} << 0;

        Project broken;
        broken.plans = {u"b.bmp"_s};
        broken.extraMembers = {{u"a.bmp"_s, "BM not really a bitmap"}};
        QTest::newRow("plan unreadable")
            << broken << QStringList{u"open"_s, u"plan-unreadable"_s} << 0;
        {
            // A common room let to a tenant who has no other room.
            Project p;
            p.extraMembers = {{u"metrola-rooms.csv"_s, QByteArray::number(kBlue) + ";\xcc\xce\xcf;\r\n"}};
            QTest::newRow("common area let") << p << QStringList{u"common-let"_s, u"tenant-all-common"_s} << 3;
        }
    }

    void checkFinds()
    {
        QFETCH(Project, project);
        QFETCH(QStringList, kinds);
        QFETCH(int, row);

        const QString zip = archive(project);
        const Run r = run({u"check"_s, zip, u"--json"_s});
        QCOMPARE(r.exitCode, kinds.isEmpty() ? 0 : 1);
        QStringList found;
        for (const QJsonValue &p : r.json()[u"problems"_s].toArray()) {
            found << p[u"kind"_s].toString();
            // Opening concerns the archive as a whole, whatever row caused it.
            if (found.last() != u"open"_s)
                QCOMPARE(p[u"row"_s].toInt(), row);
            QVERIFY(!p[u"message"_s].toString().isEmpty());
        }
        QCOMPARE(found, kinds);

        // The text form has one line per problem.
        const Run text = run({u"check"_s, zip});
        QCOMPARE(text.exitCode, r.exitCode);
        if (!kinds.isEmpty())
            QCOMPARE(text.out.count('\n'), kinds.size());
    }

    // a.bmp at 0,1 m a pixel: its left room is 20 x 30 pixels (6 m²), its right one 19 x 30
    // (5,7 m²); b.bmp has no scale.
    void areasAgainstTheScale_data()
    {
        QTest::addColumn<QStringList>("tolerance");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("the archive's 10 %") << QStringList() << QList<int>{2};
        QTest::newRow("30 %") << QStringList{u"--tolerance"_s, u"30"_s} << QList<int>();
        QTest::newRow("1,5 %") << QStringList{u"--tolerance"_s, u"1,5"_s} << QList<int>{1, 2};
    }
    void areasAgainstTheScale()
    {
        QFETCH(QStringList, tolerance);
        QFETCH(QList<int>, rows);
        Project project;
        project.records[0] = record(u"a.bmp"_s, u"Зал"_s, u"торг"_s, u"6,1"_s, u"ООО Ромашка"_s, kRed, 5, 5);
        project.extraMembers = {{u"metrola-scale.csv"_s, "a.bmp;0,1;08.12.2026;10;\r\n"}};
        const QString zip = archive(project);

        const Run r = run(QStringList{u"check"_s, zip, u"--json"_s} + tolerance);
        QCOMPARE(r.exitCode, rows.isEmpty() ? 0 : 1);
        QList<int> found;
        for (const QJsonValue &p : r.json()[u"problems"_s].toArray()) {
            QCOMPARE(p[u"kind"_s].toString(), u"area-mismatch"_s);
            found << p[u"row"_s].toInt();
            if (found.last() == 2) {
                QCOMPARE(p[u"typed"_s].toDouble(), 7.25);
                QCOMPARE(p[u"measured"_s].toDouble(), 5.7);
                QCOMPARE(p[u"percent"_s].toDouble(), 27.2);
            }
        }
        QCOMPARE(found, rows);

        const QJsonObject info = run({u"info"_s, zip, u"--json"_s}).json();
        const QJsonArray plans = info[u"plans"_s].toArray();
        QCOMPARE(plans[0][u"scale"_s].toDouble(), 0.1);
        QCOMPARE(plans[0][u"scaleDate"_s].toString(), u"08.12.2026"_s);
        QVERIFY(plans[1][u"scale"_s].isNull());
        QCOMPARE(info[u"tolerance"_s].toDouble(), 10.0);
        const QJsonArray measured = info[u"measuredAreas"_s].toArray();
        QCOMPARE(measured.size(), 2);
        QCOMPARE(measured[0][u"measured"_s].toDouble(), 6.0);
        QCOMPARE(measured[1][u"measured"_s].toDouble(), 5.7);
    }

    // Зал (12,5) let to Ромашка since 2020 without end; the vacant Кабинет (7,25) let to Лютик
    // for 2030 only; Склад (100) to Петров until 31.12.2029 at 200,5 a m², 20 050 a month.
    static QByteArray leasesMember()
    {
        return Cp1251::fromUnicode(u"№;ключ;план;арендатор;договор;начало;конец;ставка;примечание;\r\n"
                                   u"1;%1;a.bmp;ООО Ромашка;Р-1;01.01.2020;;;;\r\n"
                                   u"2;%2;a.bmp;ООО Лютик;Л-1;01.01.2030;31.12.2030;;;\r\n"
                                   u"3;%3;b.bmp;ИП Петров;П-1;01.01.2020;31.12.2029;200,5;;\r\n"_s.arg(kRed)
                                       .arg(kGreen)
                                       .arg(kBlue));
    }

    void leasesAsOf_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<int>("vacantCount");
        QTest::addColumn<double>("vacantArea");
        // Today the records say the same as the leases: Кабинет free.
        QTest::newRow("2029") << u"15.06.2029"_s << 1 << 7.25;
        // In 2030 Лютик has Кабинет, Петров's lease has ended: Склад free.
        QTest::newRow("2030") << u"2030-06-15"_s << 1 << 100.0;
        // Before 2020 nothing was let.
        QTest::newRow("2019") << u"31.12.2019"_s << 3 << 119.75;
    }
    void leasesAsOf()
    {
        QFETCH(QString, day);
        QFETCH(int, vacantCount);
        QFETCH(double, vacantArea);
        Project project;
        project.extraMembers = {{u"metrola-leases.csv"_s, leasesMember()}};
        const QString zip = archive(project);
        const QJsonObject info = run({u"info"_s, zip, u"--json"_s, u"--as-of"_s, day}).json();
        QCOMPARE(info[u"vacant"_s][u"count"_s].toInt(), vacantCount);
        QCOMPARE(info[u"vacant"_s][u"area"_s].toDouble(), vacantArea);
    }

    void leasesListing()
    {
        Project project;
        project.extraMembers = {{u"metrola-leases.csv"_s, leasesMember()}};
        const QString zip = archive(project);
        const Run r = run(
            {u"leases"_s, zip, u"--as-of"_s, u"15.06.2029"_s, u"--ending-within"_s, u"12"_s, u"--json"_s});
        QCOMPARE(r.exitCode, 0);
        const QJsonArray leases = r.json()[u"leases"_s].toArray();
        QCOMPARE(leases.size(), 1);
        QCOMPARE(leases[0][u"tenant"_s].toString(), u"ИП Петров"_s);
        QCOMPARE(leases[0][u"monthsLeft"_s].toInt(), 6);
        QCOMPARE(leases[0][u"monthlyRent"_s].toDouble(), 20050.0);
        QCOMPARE(r.json()[u"letArea"_s].toDouble(), 100.0);
        // Every lease without the window; the open-ended one has no months left.
        const QJsonArray all = run({u"leases"_s, zip, u"--json"_s}).json()[u"leases"_s].toArray();
        QCOMPARE(all.size(), 3);
        QVERIFY(all[0][u"monthsLeft"_s].isNull());
        QCOMPARE(run({u"check"_s, zip}).exitCode, 0);
        // The plans coloured by lease terms as of a day, and the workbook with its rent roll.
        const QString pdf = path(u"leases.pdf"_s);
        QCOMPARE(run({u"pdf"_s, zip, u"--mode"_s, u"leases"_s, u"--as-of"_s, u"15.06.2029"_s, u"-o"_s, pdf}).exitCode, 0);
        QVERIFY(QFileInfo(pdf).size() > 0);
        const QString xlsx = path(u"leases.xlsx"_s);
        QCOMPARE(run({u"schedule"_s, zip, u"--as-of"_s, u"15.06.2029"_s, u"-o"_s, xlsx}).exitCode, 0);
        QFile book(xlsx);
        QVERIFY(book.open(QIODevice::ReadOnly));
        QVERIFY(book.readAll().contains("xl/worksheets/sheet2.xml"));
        QFile::remove(pdf);
        QFile::remove(xlsx);

        // An overlap a hand-made file holds, and a record let to someone else than its lease.
        project.extraMembers = {{u"metrola-leases.csv"_s, leasesMember() + "4;" + QByteArray::number(kRed) +
                                                              ";a.bmp;X;;01.01.2021;31.12.2021;;;\r\n"}};
        project.records[2] = record(u"b.bmp"_s, u"Склад"_s, u"склд"_s, u"100"_s, u"ИП Иванов"_s, kBlue, 5, 5);
        const Run check = run({u"check"_s, archive(project), u"--json"_s});
        QCOMPARE(check.exitCode, 1);
        QStringList kinds;
        for (const QJsonValue p : check.json()[u"problems"_s].toArray())
            kinds << p[u"kind"_s].toString() + u'@' + QString::number(p[u"row"_s].toInt());
        QCOMPARE(kinds, (QStringList{u"lease-overlap@1"_s, u"lease-tenant@3"_s}));
    }

    // A leases member far too large refuses the archive; one that cannot be read refuses the
    // leases alone, naming its line, and leaves the rest of the project readable.
    void hostileLeases()
    {
        Project project;
        QByteArray huge;
        const QByteArray line = "1;255;a.bmp;X;;01.01.2020;;;;\r\n";
        huge.reserve(line.size() * 1000000);
        for (int i = 0; i < 1000000; ++i)
            huge += line;
        project.extraMembers = {{u"metrola-leases.csv"_s, huge}};
        const QString zip = archive(project);
        expectRefused(run({u"info"_s, zip}));
        QVERIFY(QString::fromUtf8(run({u"leases"_s, zip}).err).contains(u"metrola-leases.csv"_s));

        project.extraMembers = {{u"metrola-leases.csv"_s, QByteArray("1;255;a.bmp;X;;01.13.2020;;;;\r\n")}};
        const QString broken = archive(project);
        const Run leases = run({u"leases"_s, broken});
        expectRefused(leases);
        QVERIFY(QString::fromUtf8(leases.err).contains(u"строка 1: «01.13.2020» — не дата"_s));
        QCOMPARE(run({u"info"_s, broken}).exitCode, 0);
        QCOMPARE(run({u"check"_s, broken, u"--json"_s}).json()[u"problems"_s][0][u"kind"_s].toString(),
                 u"leases-refused"_s);
        expectRefused(run({u"info"_s, broken, u"--as-of"_s, u"01.01.2021"_s}));
        expectRefused(run({u"leases"_s, broken, u"--as-of"_s, u"31.02.2021"_s}));
    }

    // a.bmp: the vacant Кабинет (7,25) is common, so usable 12,5 and K = 19,75 / 12,5; b.bmp
    // has no common area. Per plan Ромашка rents 12,5 * 1,58 = 19,75, Петров 100; over the
    // complex (usable 112,5) Ромашка pays 12,5 * 7,25 / 112,5 = 0,81, Петров 6,44.
    void infoCommonAreas()
    {
        Project project;
        project.extraMembers = {{u"metrola-rooms.csv"_s, QByteArray::number(kGreen) + ";\xcc\xce\xcf;\r\n"}};
        const QString zip = archive(project);
        const QString t = run({u"info"_s, zip}).text();
        QVERIFY2(t.contains(u"Свободные помещения: 0, площадь 0\n"_s), qPrintable(t));
        QVERIFY(t.contains(u"  a.bmp: полезная 12,5, МОП 7,25, сдано 12,5 (100,0 %), коэффициент МОП 1,580\n"_s));
        QVERIFY(t.contains(u"  b.bmp: полезная 100, МОП 0, сдано 100 (100,0 %), коэффициент МОП 1,000\n"_s));
        QVERIFY(t.contains(u"  ООО Ромашка: сдано 12,5, доля МОП 7,25, арендуемая 19,75 (16,5 % комплекса)\n"_s));
        const QJsonObject common = run({u"info"_s, zip, u"--json"_s, u"--whole-complex"_s}).json()[u"common"_s].toObject();
        QCOMPARE(common[u"allocation"_s].toString(), u"complex"_s);
        QCOMPARE(common[u"rows"_s].toArray(), QJsonArray{2});
        QCOMPARE(common[u"loadFactor"_s].toDouble(), 119.75 / 112.5);
        const QJsonArray tenants = common[u"tenants"_s].toArray();
        QCOMPARE(tenants[0][u"tenant"_s].toString(), u"ИП Петров"_s);
        QCOMPARE(tenants[0][u"commonShare"_s].toDouble(), 100 * 7.25 / 112.5);
        // Without flags nothing of this is told.
        QVERIFY(!run({u"info"_s, archive(Project()), u"--json"_s}).json().contains(u"common"_s));
        QCOMPARE(run({u"check"_s, zip, u"--whole-complex"_s}).exitCode, 2);
    }

    void schedule()
    {
        const QString out = path(u"report.xlsx"_s);
        const Run r = run({u"schedule"_s, archive(Project()), u"-o"_s, out});
        QCOMPARE(r.exitCode, 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(2), QByteArray("PK"));
        QCOMPARE(QDir(m_work.path()).entryList({u"report*"_s}, QDir::Files), QStringList{u"report.xlsx"_s});
    }

    void repaint_data()
    {
        QTest::addColumn<QString>("plan");
        QTest::addColumn<quint32>("left");
        QTest::addColumn<quint32>("right");
        QTest::newRow("first record's plan") << QString() << kRed << kGreen;
        QTest::newRow("second plan") << u"b.bmp"_s << kBlue << 0xFFFFFFu;
    }

    void repaint()
    {
        QFETCH(QString, plan);
        QFETCH(quint32, left);
        QFETCH(quint32, right);
        const QString out = path(u"plan.bmp"_s);
        QStringList args{u"repaint"_s, archive(Project()), u"-o"_s, out};
        if (!plan.isEmpty())
            args << u"-p"_s << plan;
        QCOMPARE(run(args).exitCode, 0);

        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        QCOMPARE(header.at(28), char(24)); // bits per pixel
        const QImage image(out);
        QCOMPARE(image.size(), QSize(40, 30));
        // Corners far from the label points show the fill reached the whole room.
        const auto key = [](QRgb rgb) { return ((rgb & 0xff) << 16) | (rgb & 0xff00) | ((rgb >> 16) & 0xff); };
        QCOMPARE(key(image.pixel(0, 29)), left);
        QCOMPARE(key(image.pixel(39, 29)), right);
        QCOMPARE(image.pixel(20, 0), qRgb(0, 0, 0));
        QFile::remove(out);
    }

    void pictureDrawsLabelsOnThePaintedPlan()
    {
        const QString zip = archive(Project());
        const QString painted = path(u"painted.bmp"_s);
        const QString picture = path(u"picture.bmp"_s);
        QCOMPARE(run({u"repaint"_s, zip, u"-o"_s, painted}).exitCode, 0);
        QCOMPARE(run({u"picture"_s, zip, u"--area"_s, u"--unit"_s, u" кв.м"_s, u"-o"_s, picture}).exitCode, 0);
        const QImage a(painted);
        const QImage b(picture);
        QCOMPARE(b.size(), a.size());
        QVERIFY(a != b);
        int same = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                same += a.pixel(x, y) == b.pixel(x, y);
        // Text covers a little of the plan; the rest is the painted plan.
        QVERIFY(same > a.width() * a.height() / 2);
    }

    void drawingRefused_data()
    {
        QTest::addColumn<Project>("project");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("unknown plan") << Project() << QStringList{u"-p"_s, u"c.bmp"_s};
        Project noPlans;
        noPlans.plans.clear();
        QTest::newRow("no plan files") << noPlans << QStringList();
        Project badKey;
        badKey.records[0] = u"a.bmp;Зал;торг;1;X;;красный;5;5;"_s;
        QTest::newRow("key not a number") << badKey << QStringList();
    }

    void drawingRefused()
    {
        QFETCH(Project, project);
        QFETCH(QStringList, options);
        const QString zip = archive(project);
        for (const QString &command : {u"repaint"_s, u"picture"_s}) {
            const QString out = path(u"out.bmp"_s);
            expectRefused(run(QStringList{command, zip, u"-o"_s, out} + options));
            QVERIFY(!QFileInfo::exists(out));
        }
    }

    void hostileArchives_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray zip = bytesOf(Project());
        QTest::newRow("garbage") << QByteArray(4096, '\x5a');
        QTest::newRow("truncated") << zip.left(zip.size() * 2 / 3);
        QTest::newRow("without its end") << zip.left(zip.size() - 10);
        QByteArray damaged = zip;
        damaged[40] = char(damaged[40] ^ 0x55); // inside the first member's data
        QTest::newRow("damaged member") << damaged;
        {
            // Members opening extracts and members it never touches are each checked once.
            Project notes;
            QByteArray text;
            for (int i = 0; i < 500; ++i)
                text += QByteArray::number(i * 7919 % 1013);
            notes.extraMembers = {{u"notes.txt"_s, text}};
            const QByteArray bytes = bytesOf(notes);
            for (const char *member : {"b.bmp", "notes.txt", "metrola.csv"}) {
                QByteArray b = bytes;
                const qsizetype data = b.indexOf(member) + qsizetype(qstrlen(member));
                b[data + 4] = char(b[data + 4] ^ 0x55);
                QTest::addRow("damaged %s", member) << b;
            }
        }
        {
            Project evil;
            // The writer refuses such a name, so a harmless one of the same length is renamed
            // in the local header and in the central directory alike.
            evil.extraMembers = {{u"xx_evil.bmp"_s, PlanImage::bmpBytes(twoRoomPlan())}};
            QByteArray bytes = bytesOf(evil);
            QCOMPARE(bytes.count("xx_evil.bmp"), 2);
            bytes.replace("xx_evil.bmp", "../evil.bmp");
            QTest::newRow("member ../evil.bmp") << bytes;
        }
        {
            // Folder members are skipped, but not one whose folder part climbs out.
            Project climb;
            climb.extraMembers = {{u"sub_xx_a.bmp"_s, QByteArray("x")}};
            QByteArray bytes = bytesOf(climb);
            bytes.replace("sub_xx_a.bmp", "sub/../a.bmp");
            QTest::newRow("member sub/../a.bmp") << bytes;
        }
        {
            Project none;
            none.withDescription = false;
            QTest::newRow("no description file") << bytesOf(none);
        }
    }

    void hostileArchives()
    {
        QFETCH(QByteArray, bytes);
        const QString zip = path(u"hostile.zip"_s);
        {
            QFile f(zip);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        const QString out = path(u"out.file"_s);
        const QList<QStringList> commands = {
            {u"info"_s, zip},
            {u"check"_s, zip, u"--json"_s},
            {u"schedule"_s, zip, u"-o"_s, out},
            {u"picture"_s, zip, u"-o"_s, out},
            {u"repaint"_s, zip, u"-o"_s, out},
        };
        for (const QStringList &command : commands) {
            expectRefused(run(command));
            QVERIFY(!QFileInfo::exists(out));
            QCOMPARE(leftovers(), QStringList());
        }
        QVERIFY(!QFileInfo::exists(path(u"evil.bmp"_s)));
    }

    void foldersAreSkippedAsTheWindowSkipsThem()
    {
        // A folder entry and a plan of the same name inside it, beside the project's own: the
        // tool opens the archive and takes the plan beside the description file.
        Project project;
        QImage other(8, 8, QImage::Format_RGB32);
        other.fill(Qt::black);
        project.extraMembers = {{u"sub_"_s, QByteArray()}, {u"sub_a.bmp"_s, PlanImage::bmpBytes(other)},
                                {u"sub_sub_n.txt"_s, QByteArray("n")}};
        QByteArray bytes = bytesOf(project);
        for (const char *name : {"sub_sub_n.txt", "sub_a.bmp", "sub_"}) {
            QByteArray folder(name);
            folder.replace('_', '/');
            QCOMPARE(bytes.count(name), 2);
            bytes.replace(name, folder);
        }
        const QString zip = path(u"folders.zip"_s);
        {
            QFile f(zip);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        const Run check = run({u"check"_s, zip, u"--json"_s});
        QCOMPARE(check.exitCode, 0);
        QVERIFY2(!check.out.contains("sub"), check.out.constData());
        const QString out = path(u"plan.bmp"_s);
        QCOMPARE(run({u"repaint"_s, zip, u"-o"_s, out}).exitCode, 0);
        QCOMPARE(QImage(out).size(), QSize(40, 30));
        QFile::remove(out);
    }

    void outOfMemoryIsReportedNotAborted()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer reserves more address space than any limit leaves");
#endif
        // 900,000 records of one-letter cells: a 27 MB file whose rows take about 200 MB and
        // their texts as much again, decoded on as many threads as the machine has. The tool
        // is given the address space it needs for a small archive and 330 MB more: enough to
        // read the file and hold the rows, not their texts.
        Project large;
        large.records.clear();
        large.records.reserve(900000);
        for (int i = 0; i < 900000; ++i)
            large.records << u"a.bmp;n;торг;1;t;i;%1;5;5;"_s.arg(i + 1);
        const QString big = archive(large, u"large.zip"_s);
        const QString small = archive(Project(), u"small.zip"_s);
        large.records.clear();

        const auto limited = [&](const QString &zip, rlim_t megabytes) {
            m_addressSpaceMB = megabytes;
            const Run r = run({u"info"_s, zip});
            m_addressSpaceMB = 0;
            return r;
        };
        // The least address space, in 16 MB steps, in which the small archive opens.
        rlim_t enough = 0;
        for (rlim_t low = 16, high = 4096; low <= high;) {
            const rlim_t middle = (low + high) / 2 / 16 * 16;
            if (limited(small, middle).exitCode == 0) {
                enough = middle;
                high = middle - 16;
            } else {
                low = middle + 16;
            }
        }
        QVERIFY2(enough > 0, "the tool did not open a small archive in 4 GB");
        QCOMPARE(leftovers(), QStringList());
        const Run r = limited(big, enough + 330);
        QVERIFY2(r.exitCode != -1, "the tool was ended by a signal (an abort) instead of reporting");
        expectRefused(r);
        QVERIFY2(QString::fromUtf8(r.err).contains(u"памяти"_s), r.err.constData());
        QCOMPARE(leftovers(), QStringList());
    }

    // OpenCV's own out-of-memory error reached the user as "внутренняя ошибка" in English.
    // Between too little memory to read the plan and enough to find its rooms, every refusal
    // is a Russian line about memory, and those of room finding name the plan's size.
    void roomFindingOutOfMemoryNamesThePlan()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer reserves more address space than any limit leaves");
#endif
        const QString plan = path(u"wide.bmp"_s);
        QImage image(3000, 2400, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter(&image).fillRect(1490, 0, 20, 2400, Qt::black);
        QVERIFY(writeFile(plan, PlanImage::bmpBytes(image)));
        const auto limited = [&](rlim_t megabytes) {
            m_addressSpaceMB = megabytes;
            const Run r = run({u"rooms"_s, plan});
            m_addressSpaceMB = 0;
            return r;
        };
        bool named = false;
        for (rlim_t megabytes = 160; megabytes <= 1600; megabytes += 12) {
            const Run r = limited(megabytes);
            if (r.exitCode == 0)
                break;
            QVERIFY2(r.exitCode != -1, "the tool was ended by a signal (an abort) instead of reporting");
            expectRefused(r);
            const QString said = QString::fromUtf8(r.err);
            QVERIFY2(said.contains(u"памяти"_s) && !said.contains(u"внутренняя"_s), r.err.constData());
            named = named || said.contains(u"для плана 3000 × 2400 точек"_s);
        }
        QVERIFY(named);
        QFile::remove(plan);
    }

    void userTextIsNeverAFormat()
    {
        // Ids that a chained QString::arg would read as its own placeholders.
        Project project;
        project.records = {
            record(u"%2%1.bmp"_s, u"Зал"_s, u"торг"_s, u"12,5"_s, u"X"_s, kRed, 40, 5),
            record(u"%9.bmp"_s, u"Угол"_s, u"торг"_s, u"1"_s, u"Y"_s, kGreen, 5, 5),
        };
        project.plans = {u"%2%1.bmp"_s};
        const QString zip = archive(project);

        const QString info = run({u"info"_s, zip}).text();
        QVERIFY2(info.contains(u"  %2%1.bmp: записей 1, площадь 12,5\n"_s), qPrintable(info));
        QVERIFY(info.contains(u"  %9.bmp: записей 1, площадь 1\n"_s));

        const Run check = run({u"check"_s, zip});
        QCOMPARE(check.exitCode, 1);
        QVERIFY2(check.text().contains(u"(40, 5) вне плана «%2%1.bmp» (40×30)"_s), check.out.constData());
        QVERIFY(check.text().contains(u"Строка 2: плана «%9.bmp» нет в архиве."_s));
    }

    void runsWhateverThePlatformVariableSays()
    {
        // An ssh session without a display, with the desktop's platform set for other programs.
        const Run r = run({u"info"_s, archive(Project()), u"--json"_s}, [](QProcessEnvironment &env) {
            env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
            env.remove(u"DISPLAY"_s);
            env.remove(u"WAYLAND_DISPLAY"_s);
        });
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.json()[u"records"_s].toInt(), 3);
    }

    void startUpFailureIsOneLine()
    {
        // A copy whose qt.conf points at a folder without platform plugins cannot start Qt.
        const QString folder = path(u"broken-install"_s);
        QVERIFY(QDir().mkpath(folder + u"/plugins"_s));
        const QString program = folder + u"/metrola-cli"_s;
        QFile::remove(program);
        QVERIFY(QFile::copy(QStringLiteral(METROLA_CLI_PATH), program));
        QFile conf(folder + u"/qt.conf"_s);
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[Paths]\nPlugins=" + QFile::encodeName(folder + u"/plugins"_s) + "\n");
        conf.close();
        expectRefused(run({u"info"_s, archive(Project())}, {}, program));
    }

    void scheduleKeepsItsScratchInTheToolsFolder()
    {
        // With the system's temporary folder unusable (a file, so that not even root can make
        // a folder in it), only METROLA_TMPDIR can serve.
        const QString notAFolder = path(u"not-a-folder"_s);
        QFile file(notAFolder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString out = path(u"scratch.xlsx"_s);
        const Run r = run({u"schedule"_s, archive(Project()), u"-o"_s, out}, [&](QProcessEnvironment &env) {
            env.insert(u"TMPDIR"_s, notAFolder);
        });
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY(QFileInfo(out).size() > 0);
        QFile::remove(out);
    }

    void signalRemovesThePrivateFolder_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void signalRemovesThePrivateFolder()
    {
        QFETCH(int, signal);
        // Large plans keep the tool busy painting well after they were extracted.
        const QString zip = bigPlansArchive({3000, 3000});
        QProcess process;
        start(process, {u"check"_s, zip});
        QVERIFY(process.waitForStarted());
        QDeadlineTimer deadline(30000);
        bool extracted = false;
        while (!extracted && !deadline.hasExpired() && process.state() == QProcess::Running) {
            QDirIterator it(m_tmp, {u"*.bmp"_s}, QDir::Files, QDirIterator::Subdirectories);
            extracted = it.hasNext();
            if (!extracted)
                QThread::usleep(200);
        }
        QVERIFY2(extracted, "the tool ended before its plans were seen");
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(leftovers(), QStringList());
    }

    void signalRemovesAnUnfinishedOutput()
    {
        // Where the file system has unnamed temporary files, an unfinished output is never
        // seen; the tool is made to see one without, as a memory stick is. The plan is large
        // enough that writing its repainted copy takes a while.
        const QString zip = bigPlansArchive({6000, 4000});
        const QDir outDir(path(u"out"_s));
        QVERIFY(QDir().mkpath(outDir.path()));
        const QString earlier = u"plan.bmp.keepme"_s; // a user's file of the same shape
        QVERIFY(writeFile(outDir.filePath(earlier), "mine"));

        QProcess process;
        start(process, {u"repaint"_s, zip, u"-o"_s, outDir.filePath(u"plan.bmp"_s)},
              [](QProcessEnvironment &env) {
                  env.insert(u"LD_PRELOAD"_s, QStringLiteral(NO_TMPFILE_PATH));
                  env.insert(u"ASAN_OPTIONS"_s, u"verify_asan_link_order=0"_s);
              });
        QVERIFY(process.waitForStarted());
        const auto unfinished = [&] {
            QStringList names = outDir.entryList({u"plan.bmp.*"_s}, QDir::Files);
            names.removeAll(earlier);
            return names;
        };
        QDeadlineTimer deadline(30000);
        // Waiting on the process, not sleeping, keeps its state current.
        while (unfinished().isEmpty() && !deadline.hasExpired() && !process.waitForFinished(1)) {
        }
        if (process.state() != QProcess::Running)
            QSKIP("the tool wrote its output before it could be interrupted");
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(outDir.entryList(QDir::Files), QStringList{earlier});
    }

    // What is not a regular file is never read as an archive nor replaced by a result: a pipe
    // would block or be swallowed, a device node replaced (as root, /dev/null itself).
    void nodesAreNoFiles_data()
    {
        QTest::addColumn<QString>("node"); // fifo, device, folder
        QTest::addColumn<bool>("asOutput");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("command"); // of the output rows
        QTest::newRow("archive a pipe") << u"fifo"_s << false << u"канал (FIFO)"_s << QString();
        QTest::newRow("output a pipe") << u"fifo"_s << true << u"канал (FIFO)"_s << u"repaint"_s;
        QTest::newRow("output a device") << u"device"_s << true << u"устройство"_s << u"repaint"_s;
        QTest::newRow("output a folder") << u"folder"_s << true << u"папка"_s << u"repaint"_s;
        // As root, "prepare -o /dev/null" replaced the system's null device.
        QTest::newRow("prepare into a device") << u"device"_s << true << u"устройство"_s << u"prepare"_s;
        QTest::newRow("prepare into a pipe") << u"fifo"_s << true << u"канал (FIFO)"_s << u"prepare"_s;
        QTest::newRow("rooms --close into a device") << u"device"_s << true << u"устройство"_s << u"rooms"_s;
        QTest::newRow("rooms --close into a pipe") << u"fifo"_s << true << u"канал (FIFO)"_s << u"rooms"_s;
    }
    void nodesAreNoFiles()
    {
        QFETCH(QString, node);
        QFETCH(bool, asOutput);
        QFETCH(QString, said);
        QFETCH(QString, command);
        QString at = path(u"node"_s);
        QDir(at).removeRecursively();
        QFile::remove(at);
        const QByteArray name = QFile::encodeName(at);
        if (node == u"fifo"_s) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (node == u"folder"_s) {
            QVERIFY(QDir().mkdir(at));
        } else if (::geteuid() == 0) {
            // The null device's numbers, made in the test's own folder.
            QCOMPARE(::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)), 0);
        } else {
            at = u"/dev/null"_s;
        }
        const SafeFile::Kind kind = SafeFile::kindOf(at, false);
        const QStringList arguments = command == u"prepare"_s ? QStringList{u"prepare"_s, jpegPlan(), u"-o"_s, at}
                                      : command == u"rooms"_s
                                          ? QStringList{u"rooms"_s, jpegPlan(), u"--close"_s, u"-o"_s, at}
                                          : QStringList{u"repaint"_s, archive(Project()), u"-o"_s, at};
        const Run r = asOutput ? run(arguments) : run({u"info"_s, at});
        expectRefused(r);
        QVERIFY2(QString::fromUtf8(r.err).contains(said), r.err.constData());
        QCOMPARE(SafeFile::kindOf(at, false), kind);
        if (at.startsWith(m_work.path())) {
            QDir(at).removeRecursively();
            QFile::remove(at);
        }
    }

    // Every writer of the tool on a disk that fills up while it writes: exit 2 with the reason,
    // and nothing at -o (a PDF was left cut short with exit 0). The disk is a small tmpfs in a
    // mount namespace of the run's own, so the test needs no mount of the machine's.
    void fullDiskLeavesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments"); // @ the archive, # a plan, = the output
        QTest::newRow("pdf") << QStringList{u"pdf"_s, u"@"_s, u"-o"_s, u"=.pdf"_s};
        QTest::newRow("repaint") << QStringList{u"repaint"_s, u"@"_s, u"-p"_s, u"a.bmp"_s, u"-o"_s, u"=.bmp"_s};
        QTest::newRow("picture") << QStringList{u"picture"_s, u"@"_s, u"-p"_s, u"a.bmp"_s, u"-o"_s, u"=.bmp"_s};
        QTest::newRow("prepare") << QStringList{u"prepare"_s, u"#"_s, u"-o"_s, u"=.bmp"_s};
        QTest::newRow("rooms --close") << QStringList{u"rooms"_s, u"#"_s, u"--close"_s, u"-o"_s, u"=.bmp"_s};
    }
    void fullDiskLeavesNothing()
    {
        QFETCH(QStringList, arguments);
        // Noise does not compress: the PDF's pictures are as large as the plans.
        QImage noise(400, 300, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < noise.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
            for (int x = 0; x < noise.width(); ++x)
                line[x] = 0xff000000u | (random.generate() & 0xffffffu);
        }
        Project project;
        project.plans.clear();
        for (const QString &plan : {u"a.bmp"_s, u"b.bmp"_s})
            project.extraMembers.append({plan, PlanImage::bmpBytes(noise)});
        const QString plan = path(u"noise.bmp"_s);
        QVERIFY(writeFile(plan, PlanImage::bmpBytes(noise)));
        const QString disk = path(u"disk"_s);
        QVERIFY(QDir().mkpath(disk));
        arguments.replaceInStrings(u"@"_s, archive(project));
        arguments.replaceInStrings(u"#"_s, plan);
        arguments.replaceInStrings(u"="_s, disk + u"/out"_s);
        const QString script = u"mount -t tmpfs -o size=64k tmpfs \"$0\" || exit 77; \"$@\"; rc=$?; "
                               u"echo @@; ls -A \"$0\"; exit $rc"_s;
        QStringList wrapped = {u"--mount"_s, u"--propagation"_s, u"private"_s};
        if (::geteuid() != 0)
            wrapped.prepend(u"--map-root-user"_s);
        wrapped << u"sh"_s << u"-c"_s << script << disk << QStringLiteral(METROLA_CLI_PATH) << arguments;
        const Run r = run(wrapped, {}, u"unshare"_s);
        if (r.exitCode == 77 || (r.exitCode != 2 && !r.out.contains("@@")))
            QSKIP("no mount namespace for a small disk here");
        const QByteArray listing = r.out.mid(r.out.indexOf("@@") + 3).trimmed();
        QVERIFY2(listing.isEmpty(), listing.constData());
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(QString::fromUtf8(r.err).contains(u"на диске нет места"_s), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QFile::remove(plan);
    }

    // A folder the user may not write to: exit 2 with the reason, and the old file at -o stays
    // as it was. Run as an unprivileged user when the test runs as root, for whom permissions
    // do not hold.
    void unwritableFolderKeepsTheOldFile_data()
    {
        QTest::addColumn<QStringList>("arguments"); // @ the archive, # a plan, = the output
        QTest::newRow("pdf") << QStringList{u"pdf"_s, u"@"_s, u"-o"_s, u"="_s};
        QTest::newRow("schedule") << QStringList{u"schedule"_s, u"@"_s, u"-o"_s, u"="_s};
        QTest::newRow("repaint") << QStringList{u"repaint"_s, u"@"_s, u"-o"_s, u"="_s};
        QTest::newRow("prepare") << QStringList{u"prepare"_s, u"#"_s, u"-o"_s, u"="_s};
    }
    void unwritableFolderKeepsTheOldFile()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir shared(QDir::tempPath() + u"/metrola-rights-XXXXXX"_s);
        QVERIFY(shared.isValid());
        const auto open = [](const QString &at, mode_t mode) {
            return ::chmod(QFile::encodeName(at).constData(), mode) == 0;
        };
        QVERIFY(open(shared.path(), 0755));
        const QString zip = shared.filePath(u"project.zip"_s);
        Project().write(zip);
        const QString plan = shared.filePath(u"scan.jpg"_s);
        QVERIFY(QFile::copy(jpegPlan(), plan));
        const QString home = shared.filePath(u"home"_s);
        const QString out = shared.filePath(u"out"_s);
        for (const QString &folder : {home, out})
            QVERIFY(QDir().mkdir(folder));
        const QString target = out + u"/result"_s;
        QVERIFY(writeFile(target, "old"));
        QVERIFY(open(zip, 0644) && open(plan, 0644) && open(target, 0666) && open(home, 0777) && open(out, 0555));
        arguments.replaceInStrings(u"@"_s, zip);
        arguments.replaceInStrings(u"#"_s, plan);
        arguments.replaceInStrings(u"="_s, target);
        QString program = QStringLiteral(METROLA_CLI_PATH);
        if (::geteuid() == 0) {
            arguments = QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, program} + arguments;
            program = u"setpriv"_s;
        }
        const Run r = run(
            arguments,
            [&](QProcessEnvironment &env) {
                env.insert(u"METROLA_TMPDIR"_s, home);
                env.insert(u"HOME"_s, home);
                env.insert(u"XDG_CACHE_HOME"_s, home);
            },
            program);
        QVERIFY(open(out, 0755));
        expectRefused(r);
        QVERIFY2(QString::fromUtf8(r.err).contains(u"нет прав доступа"_s), r.err.constData());
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"result"_s});
        QFile kept(target);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
    }

    // Names that are not valid UTF-8 are read and written as the file system spells them.
    void namesAsTheFileSystemSpellsThem()
    {
        const QString zip = archive(Project());
        const QByteArray folder = QFile::encodeName(m_work.path());
        QVERIFY(QFile::copy(zip, m_work.path() + u"/source.zip"_s));
        QCOMPARE(::rename((folder + "/source.zip").constData(), (folder + "/a\xff.zip").constData()), 0);
        const auto shell = [&](const QString &script) {
            return run({u"-c"_s, script, QStringLiteral(METROLA_CLI_PATH)}, {}, u"/bin/sh"_s);
        };
        const QString dir = QString::fromUtf8(folder);
        QCOMPARE(shell(u"cd '%1' && exec \"$0\" info \"$(printf 'a\\377.zip')\""_s.arg(dir)).exitCode, 0);
        QCOMPARE(shell(u"cd '%1' && exec \"$0\" repaint \"$(printf 'a\\377.zip')\" -o \"$(printf 'o\\377.bmp')\""_s.arg(dir))
                     .exitCode,
                 0);
        struct stat st {};
        QCOMPARE(::stat((folder + "/o\xff.bmp").constData(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode) && st.st_size > 0);
        // Never over the archive it reads, spelled the same way.
        const Run same = shell(u"cd '%1' && exec \"$0\" repaint \"$(printf 'a\\377.zip')\" -o \"$(printf 'a\\377.zip')\""_s.arg(dir));
        expectRefused(same);
        QVERIFY(QString::fromUtf8(same.err).contains(u"это сам архив"_s));
        for (const char *left : {"/o\xff.bmp", "/a\xff.zip"})
            ::unlink((folder + left).constData());
        QCOMPARE(QDir(m_work.path()).entryList({u".metrola-cli-*"_s}, QDir::Files | QDir::Hidden), QStringList());
    }

    // A tool killed outright leaves its folder; the next one removes it, never one in use.
    void aKilledToolsFolderGoesAtTheNextStart()
    {
        const QString zip = bigPlansArchive({3000, 3000});
        QProcess busy;
        start(busy, {u"check"_s, zip});
        QDeadlineTimer deadline(30000);
        bool extracted = false;
        while (!extracted && !deadline.hasExpired() && busy.state() != QProcess::NotRunning) {
            extracted = QDirIterator(m_tmp, {u"*.bmp"_s}, QDir::Files, QDirIterator::Subdirectories).hasNext();
            if (!extracted)
                QThread::usleep(200);
        }
        QVERIFY2(extracted, "the tool ended before its plans were seen");
        ::kill(pid_t(busy.processId()), SIGKILL);
        QVERIFY(busy.waitForFinished(30000));
        QVERIFY(!leftovers().isEmpty());
        // Killed a while ago: a lock file just made is not yet held, so a fresh one is spared.
        for (const QString &lock : QDir(m_tmp).entryList({u"*.lock"_s}, QDir::Files)) {
            QFile file(QDir(m_tmp).filePath(lock));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        }
        QProcess running;
        start(running, {u"check"_s, zip});
        QVERIFY(running.waitForStarted());
        QCOMPARE(run({u"info"_s, archive(Project(), u"small.zip"_s)}).exitCode, 0);
        // The folder of the one still running was left alone: it finished its report.
        QVERIFY(running.waitForFinished(60000));
        QCOMPARE(running.exitStatus(), QProcess::NormalExit);
        QVERIFY(running.readAllStandardOutput().contains("a.bmp"));
    }

    // Killed tools' folders found by several tools starting at once: each folder goes whole,
    // with its lock file, whichever tool takes it (removing one together, each tool failed on
    // the files the other had removed, and both left it).
    void staleFoldersSweptByToolsStartingAtOnce()
    {
        for (int f = 0; f < 40; ++f) {
            const QString folder = QDir(m_tmp).filePath(u"metrola-cli-st%1"_s.arg(f, 4, 10, QChar(u'0')));
            QVERIFY(QDir().mkpath(folder));
            for (int i = 0; i < 40; ++i) {
                QFile part(QDir(folder).filePath(u"plan%1.bmp"_s.arg(i)));
                QVERIFY(part.open(QIODevice::WriteOnly));
                part.write(QByteArray(4096, 'x'));
            }
            QFile lock(folder + u".lock"_s);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        }
        const QString small = archive(Project(), u"small.zip"_s);
        std::array<QProcess, 4> tools;
        for (QProcess &tool : tools)
            start(tool, {u"info"_s, small});
        for (QProcess &tool : tools) {
            QVERIFY(tool.waitForFinished(60000));
            QCOMPARE(tool.exitCode(), 0);
        }
    }

    // The PDF read back as its readers see it: a page per plan, then the floors and the table;
    // the texts are text. Refusals leave nothing at -o.
    void pdf_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("pages"); // 0: refused
        QTest::addColumn<QString>("size");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("every plan, tenants") << QStringList{u"--mode"_s, u"tenants"_s} << 4 << u"A4"_s
                                             << QStringList{u"План «a.bmp»"_s, u"ООО Ромашка"_s, u"Этажи"_s, u"ИП Петров"_s};
        QTest::newRow("one plan, A3, names") << QStringList{u"-p"_s, u"b.bmp"_s, u"--paper"_s, u"a3"_s, u"--name"_s}
                                             << 3 << u"A3"_s << QStringList{u"План «b.bmp»"_s, u"Склад"_s};
        QTest::newRow("an unknown plan") << QStringList{u"-p"_s, u"c.bmp"_s} << 0 << QString() << QStringList();
        QTest::newRow("an unknown mode") << QStringList{u"--mode"_s, u"rainbow"_s} << 0 << QString() << QStringList();
    }
    void pdf()
    {
        QFETCH(QStringList, options);
        QFETCH(int, pages);
        QFETCH(QString, size);
        QFETCH(QStringList, texts);
        if (QStandardPaths::findExecutable(u"pdfinfo"_s).isEmpty())
            QSKIP("pdfinfo (poppler-utils) is not installed");
        const QString out = path(u"plans.pdf"_s);
        QFile::remove(out);
        const Run r = run(QStringList{u"pdf"_s, archive(Project())} + options + QStringList{u"-o"_s, out});
        if (pages == 0) {
            expectRefused(r);
            QVERIFY(!QFileInfo::exists(out));
            return;
        }
        QCOMPARE(r.exitCode, 0);
        QProcess info;
        info.start(u"pdfinfo"_s, {out});
        QVERIFY(info.waitForFinished(30000));
        const QString facts = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(facts.contains(QRegularExpression(u"Pages:\\s+%1\\n"_s.arg(pages))), qPrintable(facts));
        QVERIFY2(facts.contains(u"(%1)"_s.arg(size)), qPrintable(facts));
        QProcess text;
        text.start(u"pdftotext"_s, {out, u"-"_s});
        QVERIFY(text.waitForFinished(30000));
        const QString all = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString &expected : texts)
            QVERIFY2(all.contains(expected), qPrintable(expected + u" not in:\n"_s + all));
        QFile::remove(out);
    }

    void demoArchive()
    {
        const QString demo = QStringLiteral(METROLA_SOURCE_DIR "/samples/demo.zip");
        if (!QFileInfo::exists(demo))
            QSKIP("samples/demo.zip is not in this checkout");
        const Run r = run({u"info"_s, demo, u"--json"_s});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.json()[u"records"_s].toInt() > 0);
        // Its leases read, and a newcomer sees every kind of them on its day.
        const Run leases = run({u"leases"_s, demo, u"--as-of"_s, u"09.12.2026"_s, u"--json"_s});
        QCOMPARE(leases.exitCode, 0);
        int ended = 0, openEnded = 0, future = 0;
        for (const QJsonValue l : leases.json()[u"leases"_s].toArray()) {
            ended += !l[u"inForce"_s].toBool() && l[u"end"_s].toString() < u"2026"_s ? 0 : 0;
            openEnded += l[u"end"_s].isNull();
            future += !l[u"inForce"_s].toBool() && l[u"start"_s].toString().endsWith(u"2027"_s);
            ended += !l[u"inForce"_s].toBool() && !l[u"start"_s].toString().endsWith(u"2027"_s);
        }
        QVERIFY(ended > 0 && openEnded > 0 && future > 0);
    }

    // A scanned-looking plan: two rooms parted by a wall with a door, JPEG-compressed.
    QString jpegPlan() const
    {
        QImage image(200, 140, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            for (const QRect &r : {QRect(10, 10, 180, 6), QRect(10, 124, 180, 6), QRect(10, 10, 6, 120),
                                   QRect(184, 10, 6, 120), QRect(97, 10, 6, 120)})
                p.fillRect(r, QColor(30, 30, 30));
            p.fillRect(97, 55, 6, 30, Qt::white);
        }
        const QString file = path(u"scan.jpg"_s);
        image.save(file, "JPG", 60);
        return file;
    }

    void prepareThenRooms()
    {
        const QString prepared = path(u"prepared.bmp"_s);
        const Run prepare = run({u"prepare"_s, jpegPlan(), u"-o"_s, prepared});
        QCOMPARE(prepare.exitCode, 0);
        QVERIFY(prepare.text().startsWith(u"Порог"_s));
        QImage plan(prepared);
        plan.convertTo(QImage::Format_RGB32);
        QCOMPARE(plan.size(), QSize(200, 140));

        const Run rooms = run({u"rooms"_s, prepared, u"--json"_s});
        QCOMPARE(rooms.exitCode, 0);
        const QJsonObject json = rooms.json();
        const QJsonArray lines = json[u"lines"_s].toArray();
        QCOMPARE(lines.size(), 1);
        for (const QJsonValue &v : lines) {
            const QJsonObject l = v.toObject();
            const ClosingLine line{QPoint(l[u"x1"_s].toInt(), l[u"y1"_s].toInt()),
                                   QPoint(l[u"x2"_s].toInt(), l[u"y2"_s].toInt()), l[u"width"_s].toInt()};
            ClosingLine::draw(plan, {&line, 1});
        }
        // The promise of the listing: with its lines drawn, the fill from each point is the room.
        const QJsonArray found = json[u"rooms"_s].toArray();
        QCOMPARE(found.size(), 2);
        for (const QJsonValue &v : found) {
            const QJsonObject room = v.toObject();
            QImage copy = plan.copy();
            qint64 pixels = 0;
            FloodFill().fillCounting(copy, QPoint(room[u"x"_s].toInt(), room[u"y"_s].toInt()), qRgb(1, 2, 3), pixels);
            QCOMPARE(pixels, qint64(room[u"pixels"_s].toInteger()));
        }

        const QString closed = path(u"closed.bmp"_s);
        const Run close = run({u"rooms"_s, prepared, u"--close"_s, u"-o"_s, closed});
        QCOMPARE(close.exitCode, 0);
        QVERIFY(close.text().contains(u"помещений 2, линий замыкания 1"_s));
        QImage drawn(closed);
        QCOMPARE(drawn.convertToFormat(QImage::Format_RGB32), plan);
        for (const QString &f : {prepared, closed})
            QFile::remove(f);
    }

    void planCommandsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("prepare without -o") << QStringList{u"prepare"_s, u"@"_s};
        QTest::newRow("rooms -o without --close") << QStringList{u"rooms"_s, u"@"_s, u"-o"_s, u"x.bmp"_s};
        QTest::newRow("dpi too low") << QStringList{u"prepare"_s, u"@"_s, u"--dpi"_s, u"10"_s, u"-o"_s, u"x.bmp"_s};
        QTest::newRow("threshold zero") << QStringList{u"prepare"_s, u"@"_s, u"--threshold"_s, u"0"_s, u"-o"_s, u"x.bmp"_s};
        QTest::newRow("output is the plan") << QStringList{u"prepare"_s, u"@"_s, u"-o"_s, u"@"_s};
        QTest::newRow("not a picture") << QStringList{u"prepare"_s, u"#"_s, u"-o"_s, u"x.bmp"_s};
        QTest::newRow("missing plan") << QStringList{u"rooms"_s, u"/nonexistent/plan.bmp"_s};
        QTest::newRow("page past the end") << QStringList{u"prepare"_s, u"%"_s, u"--page"_s, u"2"_s, u"-o"_s, u"x.bmp"_s};
    }

    void planCommandsRefused()
    {
        QFETCH(QStringList, arguments);
        const QString text = path(u"notes.txt"_s);
        QVERIFY(writeFile(text, "no plan here"));
        const QString pdf = path(u"one.pdf"_s);
        {
            QPdfWriter writer(pdf);
            QPainter(&writer).drawLine(0, 0, 100, 100);
        }
        arguments.replaceInStrings(u"@"_s, jpegPlan());
        arguments.replaceInStrings(u"#"_s, text);
        arguments.replaceInStrings(u"%"_s, pdf);
        arguments.replaceInStrings(u"x.bmp"_s, path(u"x.bmp"_s));
        expectRefused(run(arguments));
        QVERIFY(!QFileInfo::exists(path(u"x.bmp"_s)));
    }
};


QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
