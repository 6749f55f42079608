#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/model/recoveryfile.h"
#include "core/plan/planimage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The program with its test hook, started on the offscreen platform in a working folder of
// the test's own.
class Program
{
public:
    void start(const QString &workDir, const QString &answer, const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"METROLA_WORKDIR"_s, workDir);
        env.insert(u"METROLA_TEST_ANSWER"_s, answer);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(METROLA_TESTHOOK_PATH), arguments);
        QVERIFY(m_process.waitForStarted());
        m_lines.clear();
        QVERIFY(!waitFor(u"ready"_s).isEmpty());
    }

    // The first line so far, or to come within the timeout, that starts with the prefix.
    QString waitFor(const QString &prefix, int timeoutMs = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (m_process.canReadLine())
                m_lines.append(QString::fromUtf8(m_process.readLine()).chopped(1));
            for (const QString &line : std::as_const(m_lines)) {
                if (line.startsWith(prefix))
                    return line;
            }
            if (clock.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return {};
            m_process.waitForReadyRead(100);
        }
    }

    QString ask(const QString &command, const QString &answerPrefix)
    {
        m_lines.removeIf([&](const QString &line) { return line.startsWith(answerPrefix); });
        m_process.write((command + u'\n').toUtf8());
        return waitFor(answerPrefix);
    }

    const QStringList &lines() const { return m_lines; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QStringList m_lines;
};

QString writeArchive(const QString &path)
{
    QImage plan(40, 30, QImage::Format_RGB32);
    plan.fill(Qt::white);
    ZipWriter writer(path);
    writer.addMember(u"a.bmp"_s, PlanImage::bmpBytes(plan));
    writer.addMember(u"metrola.csv"_s, Cp1251::fromUnicode(u"Т;К;Н;Г;1;2;3;4;5;ед;;\r\nh;\r\n"
                                                           u"a.bmp;Зал;торг;10;А;;100;5;5;\r\n"
                                                           u";;;;;;07.12.2026;;;\r\n"_s));
    writer.write();
    return path;
}

QStringList recoveryFiles(const QString &dir)
{
    return QDir(dir).entryList({u"metrola.recovery*"_s}, QDir::Files, QDir::Name);
}

} // namespace

class TestCrashRecovery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedRunIsOffered_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("state");
        QTest::newRow("yes") << u"yes"_s << u"state modified=1 plan=a.bmp name1=Изменено"_s;
        QTest::newRow("no") << u"no"_s << u"state modified=0 plan=a.bmp name1=Зал"_s;
    }

    void killedRunIsOffered()
    {
        QFETCH(QString, answer);
        QFETCH(QString, state);
        QTemporaryDir dir;
        const QString work = dir.path() + u"/work/"_s;
        const QString archive = writeArchive(dir.path() + u"/p.zip"_s);

        Program first;
        first.start(work, u"yes"_s, {archive});
        QCOMPARE(first.ask(u"state"_s, u"state"_s), u"state modified=0 plan=a.bmp name1=Зал"_s);
        first.process().write(u"cell 1 1 Изменено\n"_s.toUtf8());
        // Written by the program's own timer within a second or so, not on request.
        QTRY_VERIFY_WITH_TIMEOUT(QFile(work + RecoveryFile::fileName()).size() > 0, 10000);
        QTRY_VERIFY(RecoveryFile::read(work).contents.rows.at(0)[1] == u"Изменено");
        first.process().kill();
        QVERIFY(first.process().waitForFinished());

        Program second;
        second.start(work, answer, {archive});
        const QStringList messages = second.lines().filter(QRegularExpression(u"^message "_s));
        // Yes keeps the plan the killed run left; No opens the archive of the command line over
        // the description file (unasked) and the plan left behind (asked about).
        QCOMPARE(messages.size(), answer == u"yes" ? 1 : 2);
        if (answer == u"no")
            QVERIFY2(messages[1].startsWith(u"message Файл уже существует|Заменить существующий файл «"_s),
                     qPrintable(messages[1]));
        const QString title = u"Metrola 1.8 - Программа ведения учёта площадей в имущественных комплексах"_s;
        QVERIFY2(QRegularExpression(u"^message "_s + QRegularExpression::escape(title)
                                    + u"\\|Найдена несохранённая работа от \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d\\. "
                                      u"Восстановить\\?$"_s)
                     .match(messages[0])
                     .hasMatch(),
                 qPrintable(messages[0]));
        QCOMPARE(second.ask(u"state"_s, u"state"_s), state);
        const QStringList aside = answer == u"yes" ? QStringList()
                                                   : recoveryFiles(work).filter(u"metrola.recovery-"_s);
        // Declined, the copy is kept aside.
        if (answer == u"no")
            QCOMPARE(aside.size(), 2);

        second.process().write("close\n");
        QVERIFY(second.process().waitForFinished(20000));
        QCOMPARE(second.process().exitCode(), 0);
        // A normal close leaves no copy behind, only what was set aside.
        QCOMPARE(recoveryFiles(work), aside);
    }
};

QTEST_GUILESS_MAIN(TestCrashRecovery)
#include "tst_crashrecovery.moc"
