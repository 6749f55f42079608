#include "gui/mainwindow/form1.h"
#include "gui/widgets/dialogs.h"

#include <QCheckBox>
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
    QStringList m_opened;
    bool m_openerFound = true;
    std::unique_ptr<QTemporaryDir> m_dir;

    QString programDir() const { return m_dir->path() + u'/'; }

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
        m_opened.clear();
        m_openerFound = true;
        m_dir = std::make_unique<QTemporaryDir>();
        Dialogs::Responder responder;
        responder.message = [this](Dialogs::Kind, const QString &, const QString &text) {
            m_messages.append(text);
            return QMessageBox::Ok;
        };
        responder.open = [this](const QString &path) {
            m_opened.append(path);
            return m_openerFound;
        };
        Dialogs::setResponder(responder);
    }
    void cleanup() { Dialogs::setResponder({}); }

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
        QTest::newRow("opened") << true;
        QTest::newRow("no program: the file is named") << false;
    }
    void scheduleIsOpenedOrNamed()
    {
        QFETCH(bool, openerFound);
        m_openerFound = openerFound;
        Form1 form(programDir());
        showPlan(form);
        form.Button7Click();
        QCOMPARE(m_opened.size(), 1);
        const QString path = m_opened.first();
        QVERIFY(path.endsWith(u".xlsx"_s));
        QVERIFY(!path.startsWith(programDir())); // nothing written into the working folder
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(2), QByteArray("PK"));
        if (openerFound) {
            QVERIFY(m_messages.isEmpty());
        } else {
            QCOMPARE(m_messages.size(), 1);
            QVERIFY(m_messages.first().contains(path));
        }
        QDir(QFileInfo(path).path()).removeRecursively();
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

QTEST_MAIN(TestReportsWindow)
#include "tst_reportswindow.moc"
