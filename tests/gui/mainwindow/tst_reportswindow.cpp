#include "gui/mainwindow/form1.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

RecordTable::Row record(const QString &plan, const QString &x, quint32 key)
{
    return {plan, u"Зал"_s, u"торг"_s, u"12,5"_s, u"А-01"_s, QString(), QString::number(key), x, u"20"_s};
}

// The desktop's associations come from `desktop` alone while the result lives.
auto isolatedDesktop(const QTemporaryDir &desktop)
{
    // File types are still told by the system's database.
    for (const QString &mime : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, u"mime"_s,
                                                        QStandardPaths::LocateDirectory)) {
        if (QFile::link(mime, desktop.filePath(u"mime"_s)))
            break;
    }
    QHash<QByteArray, std::optional<QByteArray>> saved;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                             "XDG_CURRENT_DESKTOP", "DE", "BROWSER"}) {
        saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (QByteArrayView(name).startsWith("XDG_") && !QByteArrayView(name).endsWith("DESKTOP"))
            qputenv(name, QFile::encodeName(desktop.path()));
        else
            qunsetenv(name);
    }
    return qScopeGuard([saved] {
        for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
            if (it.value())
                qputenv(it.key().constData(), *it.value());
            else
                qunsetenv(it.key().constData());
        }
    });
}

} // namespace

class TestReportsWindow : public QObject
{
    Q_OBJECT

    QStringList m_messages;
    QList<Dialogs::Kind> m_kinds;
    QStringList m_questions;
    QMessageBox::StandardButton m_answer = QMessageBox::No;
    QStringList m_opened;
    bool m_openerFound = true;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_savedHome;

    QString programDir() const { return m_dir->path() + u'/'; }
    // The documents folder the reports must go to: the test's own home, never the user's.
    QString documents() const { return m_home->path() + u"/Documents"_s; }

    // A white 120 x 60 plan with one room recorded on it and one on another plan.
    void showPlan(Form1 &form, const QString &labelX = u"40"_s)
    {
        QImage plan(120, 60, QImage::Format_RGB32);
        plan.fill(Qt::white);
        form.session().setShownPlan(plan, u"p.bmp"_s);
        form.session().table().appendRecord(record(u"p.bmp"_s, labelX, 100), u"d"_s);
        form.session().table().appendRecord(record(u"q.bmp"_s, u"80"_s, 99), u"d"_s);
        form.refreshPlanView();
    }

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        m_kinds.clear();
        m_questions.clear();
        m_answer = QMessageBox::No;
        m_opened.clear();
        m_openerFound = true;
        m_dir = std::make_unique<QTemporaryDir>();
        m_home = std::make_unique<QTemporaryDir>();
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path() + u"/.config"_s));
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), documents());
        Dialogs::Responder responder;
        responder.message = [this](Dialogs::Kind kind, const QString &, const QString &text) {
            if (kind == Dialogs::Kind::Question) {
                m_questions.append(text);
                return m_answer;
            }
            m_messages.append(text);
            m_kinds.append(kind);
            return QMessageBox::Ok;
        };
        responder.open = [this](const QString &path) {
            m_opened.append(path);
            return m_openerFound;
        };
        Dialogs::setResponder(responder);
    }
    void cleanup()
    {
        Dialogs::setResponder({});
        qputenv("HOME", m_savedHome);
        qunsetenv("XDG_CONFIG_HOME");
    }

    void pictureIsSavedAndOpenedAndThePlanStaysClean()
    {
        Form1 form(programDir());
        showPlan(form);
        const QImage before = form.session().planImage();
        form.SpeedButton5Click();
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
        QCOMPARE(m_opened, QStringList{programDir() + u"metrola.bmp"_s});
        QImage picture(programDir() + u"metrola.bmp"_s, "BMP");
        QCOMPARE(picture.size(), before.size());
        QVERIFY(picture.convertToFormat(QImage::Format_RGB32) != before); // the tenant is written
        QCOMPARE(form.session().planImage(), before);
    }

    void pictureWithoutPlanDoesNothing()
    {
        Form1 form(programDir());
        form.SpeedButton5Click();
        QVERIFY(m_opened.isEmpty());
        QVERIFY(!QFile::exists(programDir() + u"metrola.bmp"_s));
    }

    void brokenLabelPointWritesNothing()
    {
        Form1 form(programDir());
        showPlan(form, u"4x"_s);
        const QImage before = form.session().planImage();
        form.SpeedButton5Click();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_opened.isEmpty());
        QVERIFY(!QFile::exists(programDir() + u"metrola.bmp"_s));
        QCOMPARE(form.session().planImage(), before);
    }

    void scheduleIsOpenedOrNamed_data()
    {
        QTest::addColumn<bool>("openerFound");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("name");
        QTest::newRow("opened") << true << u"/obj/demo.zip"_s << u"Размеркация demo.xlsx"_s;
        QTest::newRow("no program") << false << u"/obj/demo.zip"_s << u"Размеркация demo.xlsx"_s;
        QTest::newRow("no archive opened") << true << QString() << u"Размеркация.xlsx"_s;
    }
    void scheduleIsOpenedOrNamed()
    {
        QFETCH(bool, openerFound);
        QFETCH(QString, archive);
        QFETCH(QString, name);
        m_openerFound = openerFound;
        Form1 form(programDir());
        showPlan(form);
        form.session().lastArchive = archive;
        form.Button7Click();
        // Kept in the documents folder, made when missing, where the working folder's cleanup
        // at close cannot reach it.
        const QString path = documents() + u'/' + name;
        QCOMPARE(m_opened, QStringList{path});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(2), QByteArray("PK"));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_kinds.first(), Dialogs::Kind::Information);
        QVERIFY2(m_messages.first().contains(path), qPrintable(m_messages.first()));
        QCOMPARE(m_messages.first().contains(u"Не найдена программа"_s), !openerFound);
    }

    // A name taken by a file or by a link planted there gets a number; neither is written.
    void scheduleTakesTheNextFreeName()
    {
        QVERIFY(QDir().mkpath(documents()));
        const QString taken = documents() + u"/Размеркация demo.xlsx"_s;
        {
            QFile mine(taken);
            QVERIFY(mine.open(QIODevice::WriteOnly));
            mine.write("mine");
        }
        const QString target = m_home->path() + u"/elsewhere.xlsx"_s;
        QVERIFY(QFile::link(target, documents() + u"/Размеркация demo (2).xlsx"_s));
        Form1 form(programDir());
        showPlan(form);
        form.session().lastArchive = u"/obj/demo.zip"_s;
        form.Button7Click();
        form.Button7Click();
        QCOMPARE(m_opened, QStringList({documents() + u"/Размеркация demo (3).xlsx"_s,
                                        documents() + u"/Размеркация demo (4).xlsx"_s}));
        QFile mine(taken);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("mine"));
        QVERIFY(!QFileInfo::exists(target));
        // No scratch file is left beside the reports.
        QCOMPARE(QDir(documents()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 4);
    }

    // Without a viewer the user learns where the picture is; a copy is kept on request only.
    void pictureIsOfferedALastingCopy_data()
    {
        QTest::addColumn<bool>("openerFound");
        QTest::addColumn<bool>("keep");
        QTest::newRow("viewer, not kept") << true << false;
        QTest::newRow("no viewer, not kept") << false << false;
        QTest::newRow("no viewer, kept") << false << true;
    }
    void pictureIsOfferedALastingCopy()
    {
        QFETCH(bool, openerFound);
        QFETCH(bool, keep);
        m_openerFound = openerFound;
        m_answer = keep ? QMessageBox::Yes : QMessageBox::No;
        Form1 form(programDir());
        showPlan(form);
        form.SpeedButton5Click();
        const QString picture = programDir() + u"metrola.bmp"_s;
        QCOMPARE(m_opened, QStringList{picture});
        QCOMPARE(m_questions.size(), 1);
        QCOMPARE(m_questions.first().contains(u"Не найдена программа"_s), !openerFound);
        QVERIFY2(m_questions.first().contains(picture), qPrintable(m_questions.first()));
        const QString copy = documents() + u"/Размещение p.bmp"_s;
        QCOMPARE(QFileInfo::exists(copy), keep);
        QCOMPARE(m_messages.size(), keep ? 1 : 0);
        if (keep) {
            QVERIFY(m_messages.first().contains(copy));
            QFile a(picture);
            QFile b(copy);
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QCOMPARE(b.readAll(), a.readAll());
        }
    }

    // Nothing to edit the plan with: the user is told what was looked for and how to name one.
    void paintProgramMissingIsReported_data()
    {
        QTest::addColumn<QString>("named"); // METROLA_PAINT
        QTest::addColumn<bool>("openerFound");
        QTest::addColumn<QString>("told");
        QTest::newRow("none on PATH") << QString() << false << u"kolourpaint, pinta, gimp, mtpaint"_s;
        QTest::newRow("named one missing") << u"/nonexistent/paint"_s << false << u"/nonexistent/paint"_s;
        QTest::newRow("the desktop's program") << QString() << true << QString();
        QTest::newRow("named one runs") << u"true"_s << false << QString();
    }
    void paintProgramMissingIsReported()
    {
        QFETCH(QString, named);
        QFETCH(bool, openerFound);
        QFETCH(QString, told);
        m_openerFound = openerFound;
        QTemporaryDir emptyPath;
        const QByteArray savedPath = qgetenv("PATH");
        const auto restore = qScopeGuard([savedPath] {
            qputenv("PATH", savedPath);
            qunsetenv("METROLA_PAINT");
        });
        const QString program = named == u"true"_s ? QStandardPaths::findExecutable(named) : named;
        qputenv("PATH", QFile::encodeName(emptyPath.path()));
        if (!program.isEmpty())
            qputenv("METROLA_PAINT", QFile::encodeName(program));
        Form1 form(programDir());
        showPlan(form);
        form.Button4Click();
        if (told.isEmpty()) {
            QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
            return;
        }
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(told), qPrintable(m_messages.first()));
        QVERIFY(m_messages.first().contains(u"METROLA_PAINT"_s));
    }

    // The summary opens beside the main window, on the main window's screen and inside it.
    void summaryOpensBesideTheMainWindow_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QRect>("main");
        QTest::addColumn<bool>("room"); // whether there is room beside it
        QTest::newRow("right, on the second screen") << 1 << QRect(1940, 50, 700, 400) << true;
        QTest::newRow("left, narrowed") << 0 << QRect(1100, 100, 700, 400) << true;
        QTest::newRow("no room: inside the screen") << 0 << QRect(10, 10, 1880, 900) << false;
    }
    void summaryOpensBesideTheMainWindow()
    {
        QFETCH(int, screen);
        QFETCH(QRect, main);
        QFETCH(bool, room);
        const QList<QScreen *> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        Form1 form(programDir());
        form.setScreen(screens[screen]);
        form.setGeometry(main);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.screen(), screens[screen]);
        form.SummaryButtonClick();
        QVERIFY(QTest::qWaitForWindowExposed(form.Summary));
        const QRect summary = form.Summary->frameGeometry();
        const QRect available = screens[screen]->availableGeometry();
        QVERIFY2(available.contains(summary), qPrintable(u"%1,%2 %3x%4"_s.arg(summary.x()).arg(summary.y())
                                                             .arg(summary.width()).arg(summary.height())));
        QCOMPARE(!summary.intersects(form.frameGeometry()), room);
    }

    void desktopHandler_data()
    {
        QTest::addColumn<QByteArray>("mimeapps"); // mimeapps.list of the desktop
        QTest::addColumn<bool>("found");
        QTest::newRow("nothing set") << QByteArray() << false;
        QTest::newRow("a default for workbooks")
            << QByteArray("[Default Applications]\n"
                          "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet=calc.desktop\n")
            << true;
        QTest::newRow("a default for other files")
            << QByteArray("[Default Applications]\ntext/plain=editor.desktop\n") << false;
    }

    void desktopHandler()
    {
        QFETCH(QByteArray, mimeapps);
        QFETCH(bool, found);
        QTemporaryDir desktop;
        QVERIFY(desktop.isValid());
        const auto restore = isolatedDesktop(desktop);
        const auto write = [&desktop](const QString &name, const QByteArray &text) {
            QVERIFY(QDir().mkpath(QFileInfo(desktop.filePath(name)).path()));
            QFile file(desktop.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        // The desktop names a program only when its entry and its executable exist.
        for (const char *program : {"calc", "editor"})
            write(u"applications/%1.desktop"_s.arg(QLatin1StringView(program)),
                  "[Desktop Entry]\nType=Application\nName=Program\nExec=true %f\n");
        write(u"mimeapps.list"_s, mimeapps);
        QCOMPARE(Dialogs::hasDesktopHandler(desktop.filePath(u"Размеркация plan.zip.xlsx"_s)), found);
    }
};

// Two screens side by side, so that the summary's screen can be told from the primary one.
int main(int argc, char **argv)
{
    QTemporaryDir config;
    QFile file(config.filePath(u"screens.json"_s));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [{"name": "left", "x": 0, "y": 0, "width": 1920, "height": 1080},
                               {"name": "right", "x": 1920, "y": 0, "width": 2560, "height": 1440}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));
    QApplication app(argc, argv);
    TestReportsWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_reportswindow.moc"
