#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/plan/planimage.h"
#include "core/sharing/sharedarchive.h"
#include "gui/mainwindow/form1.h"
#include "gui/records/form2.h"
#include "gui/reports/portfoliowindow.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// Four rooms in a row, walls black:
//   #########################################
//   #   A    #   B    #   C    #   D    #
//   #########################################
QByteArray fourRooms()
{
    QImage plan(41, 11, QImage::Format_RGB32);
    plan.fill(Qt::white);
    for (int x = 0; x < 41; ++x) {
        plan.setPixel(x, 0, qRgb(0, 0, 0));
        plan.setPixel(x, 10, qRgb(0, 0, 0));
    }
    for (int y = 0; y < 11; ++y)
        for (int x : {0, 10, 20, 30, 40})
            plan.setPixel(x, y, qRgb(0, 0, 0));
    return PlanImage::bmpBytes(plan);
}

// A project of room A alone, or of A and the rooms named (B, C, D at x = 15, 25, 35).
void writeArchive(const QString &path, const QStringList &more = {})
{
    QString csv = u"Т;К;Н;Г;1;2;3;4;5;ед;;\r\nh;\r\np.bmp;A;офис;10;Арендатор;;100;5;5;\r\n"_s;
    int key = 99;
    for (const QString &room : more) {
        const int x = 15 + 10 * (room.at(0).unicode() - u'B');
        csv += u"p.bmp;%1;офис;10;Коллега;;%2;%3;5;\r\n"_s.arg(room).arg(key--).arg(x);
    }
    csv += u";;;;;;07.12.2026;;;\r\n"_s;
    ZipWriter writer(path);
    writer.addMember(u"p.bmp"_s, fourRooms());
    writer.addMember(u"metrola.csv"_s, Cp1251::fromUnicode(csv));
    writer.write();
}

QStringList roomsOf(const QString &archive)
{
    QStringList names;
    const auto rows = SharedArchive::readRows(archive);
    for (size_t i = 0; i + 1 < rows.size(); ++i)
        names << rows[i][1];
    names.sort();
    return names;
}

} // namespace

class TestSharedWindow : public QObject
{
    Q_OBJECT

    QStringList m_messages;
    QStringList m_questions;
    QList<int> m_choices; // answers to the questions, in turn
    QStringList m_files;  // answers to the file dialogs, in turn
    std::unique_ptr<QTemporaryDir> m_dir;

    QString workDir(const QString &name)
    {
        const QString dir = m_dir->path() + u"/work-"_s + name + u'/';
        QDir().mkpath(dir);
        return dir;
    }

    void open(Form1 &form, const QString &archive)
    {
        m_files.prepend(archive);
        form.SpeedButton3Click();
    }

    // A room marked and its record entered, as a user does.
    static void addRoom(Form1 &form, int x, const QString &name)
    {
        form.Image1MouseUp(Qt::RightButton, x, 5);
        form.form2()->Edit4->setText(name);
        form.form2()->Edit2->setText(u"12"_s);
        form.form2()->Button2Click();
    }

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        m_questions.clear();
        m_choices.clear();
        m_files.clear();
        m_dir = std::make_unique<QTemporaryDir>();
        Dialogs::Responder r;
        r.message = [this](Dialogs::Kind, const QString &title, const QString &text) {
            m_messages << title + u'|' + text;
            return QMessageBox::Yes;
        };
        r.file = [this](QFileDialog *) { return m_files.isEmpty() ? QString() : m_files.takeFirst(); };
        r.colour = [](QColorDialog *) { return false; };
        r.choice = [this](const QString &title, const QString &text, const QStringList &) {
            m_questions << title + u'|' + text;
            return m_choices.isEmpty() ? -1 : m_choices.takeFirst();
        };
        Dialogs::setResponder(r);
    }
    void cleanup() { Dialogs::setResponder({}); }

    void secondWindowOpensReadOnly()
    {
        const QString archive = m_dir->path() + u"/комплекс.zip"_s;
        writeArchive(archive);
        const QByteArray before = [&] {
            QFile f(archive);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        Form1 first(workDir(u"a"_s));
        open(first, archive);
        QVERIFY(QFileInfo::exists(m_dir->path() + u"/.~lock.комплекс.zip#"_s));
        QVERIFY(!first.readOnly());

        Form1 second(workDir(u"b"_s));
        m_choices = {0}; // Только для чтения
        open(second, archive);
        QCOMPARE(m_questions.size(), 1);
        QVERIFY2(m_questions[0].contains(ArchiveLock::thisRun().login), qPrintable(m_questions[0]));
        QVERIFY(second.readOnly());
        QVERIFY(second.windowTitle().contains(u"только чтение"_s));
        QVERIFY(!first.windowTitle().contains(u"только чтение"_s));
        for (QWidget *w : QList<QWidget *>{second.Button1, second.Button2, second.SpeedButton1,
                                           second.BitBtn1, second.BitBtn2})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(second.edt[0]->isReadOnly());
        QVERIFY(!second.UndoAction->isEnabled());

        // The record opens to be read; nothing in it changes, no room can be marked.
        second.Image1MouseUp(Qt::RightButton, 5, 5);
        QVERIFY(second.form2()->Edit1->isReadOnly());
        QVERIFY(!second.form2()->Button2->isEnabled());
        second.form2()->close();
        m_messages.clear();
        second.Image1MouseUp(Qt::RightButton, 15, 5);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(second.session().table().recordCounter(), 2);

        // The summary shows the figures but offers no common-area flags to set.
        second.SummaryButtonClick();
        QVERIFY(second.Summary);
        second.Summary->TenantTable->setCurrentItem(second.Summary->TenantTable->topLevelItem(0));
        QVERIFY(!second.Summary->MarkCommonButton->isEnabled());
        first.SummaryButtonClick();
        first.Summary->TenantTable->setCurrentItem(first.Summary->TenantTable->topLevelItem(0));
        QVERIFY(first.Summary->MarkCommonButton->isEnabled());

        // A plain save goes nowhere near the archive: it asks for another name (cancelled here).
        second.SaveClick();
        QVERIFY(m_messages.last().contains(u"только для чтения"_s));
        QFile f(archive);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);

        // The first one closes: its lock goes, the second one's never existed.
        first.close();
        QVERIFY(!QFileInfo::exists(m_dir->path() + u"/.~lock.комплекс.zip#"_s));
        second.close();
    }

    void saveAfterAnOutsideChange_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("save under another name") << 0;
        QTest::newRow("replace theirs") << 1;
    }

    // Someone saved into the archive meanwhile (a copy without locks, a file manager): either
    // answer keeps both their room and this window's.
    void saveAfterAnOutsideChange()
    {
        QFETCH(int, answer);
        const QString archive = m_dir->path() + u"/комплекс.zip"_s;
        writeArchive(archive);
        Form1 form(workDir(u"a"_s));
        open(form, archive);
        writeArchive(archive, {u"B"_s}); // theirs
        addRoom(form, 25, u"C"_s);       // ours

        const QString mine = m_dir->path() + u"/мой.zip"_s;
        m_choices = {answer};
        m_files = {mine};
        form.SaveClick();
        QCOMPARE(m_questions.size(), 1);
        QVERIFY2(m_questions[0].contains(u"«B»"_s) && m_questions[0].contains(u"«C»"_s),
                 qPrintable(m_questions[0]));
        QVERIFY(!form.session().modified());
        if (answer == 0) {
            QCOMPARE(roomsOf(archive), (QStringList{u"A"_s, u"B"_s}));
            QCOMPARE(roomsOf(mine), (QStringList{u"A"_s, u"C"_s}));
            QCOMPARE(form.session().archiveFile, mine);
            QVERIFY(QFileInfo::exists(m_dir->path() + u"/.~lock.мой.zip#"_s));
            QVERIFY(!QFileInfo::exists(m_dir->path() + u"/.~lock.комплекс.zip#"_s));
        } else {
            QCOMPARE(roomsOf(archive), (QStringList{u"A"_s, u"C"_s}));
            const QStringList aside = QDir(m_dir->path()).entryList({u"комплекс (версия от *).zip"_s});
            QCOMPARE(aside.size(), 1);
            QCOMPARE(roomsOf(m_dir->path() + u'/' + aside[0]), (QStringList{u"A"_s, u"B"_s}));
            QVERIFY(m_messages.last().contains(aside[0]));
        }
        // Saved again unchanged: the file on disk is this window's now, no question.
        addRoom(form, 35, u"D"_s);
        form.SaveClick();
        QCOMPARE(m_questions.size(), 1);
        form.close();
    }

    void staleLockIsOfferedForRemoval()
    {
        const QString archive = m_dir->path() + u"/a.zip"_s;
        writeArchive(archive);
        QFile lock(m_dir->path() + u"/.~lock.a.zip#"_s);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("Пётр,petr," + ArchiveLock::thisRun().host.toUtf8() +
                   ",01.12.2026 09:00,metrola:999999999:0;");
        lock.close();
        Form1 form(workDir(u"a"_s));
        m_choices = {0}; // Снять блокировку и открыть
        open(form, archive);
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(m_questions[0].contains(u"Пётр"_s));
        QVERIFY(!form.readOnly());
        QCOMPARE(ArchiveLock::inspect(archive).owner.pid, qint64(QCoreApplication::applicationPid()));
        form.close();
    }

    void lockThatIsALinkLeavesItAlone()
    {
        const QString archive = m_dir->path() + u"/a.zip"_s;
        writeArchive(archive);
        const QString target = m_dir->path() + u"/elsewhere"_s;
        QVERIFY(QFile::link(target, m_dir->path() + u"/.~lock.a.zip#"_s));
        Form1 form(workDir(u"a"_s));
        m_choices = {1}; // Открыть копию…
        const QString copy = m_dir->path() + u"/копия.zip"_s;
        m_files = {archive, copy};
        form.SpeedButton3Click();
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(form.session().archiveFile, copy);
        QVERIFY(!form.readOnly());
        QVERIFY(QFileInfo(m_dir->path() + u"/.~lock.копия.zip#"_s).isFile());
        form.close();
    }

    // A plan added from a shared folder and redrawn there before the save: the save says so
    // first; cancelled, the archive stays as it was.
    void planChangedInTheSharedFolderIsNamed()
    {
        const QString plan = m_dir->path() + u"/этаж.bmp"_s;
        QFile f(plan);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(fourRooms());
        f.close();
        Form1 form(workDir(u"a"_s));
        m_files = {plan};
        form.SpeedButton1Click();
        addRoom(form, 5, u"A"_s);
        const QString archive = m_dir->path() + u"/новый.zip"_s;
        m_files = {archive};
        form.SpeedButton2Click();
        QVERIFY(m_questions.isEmpty());
        const QByteArray saved = [&] {
            QFile a(archive);
            a.open(QIODevice::ReadOnly);
            return a.readAll();
        }();

        QImage redrawn;
        QVERIFY(redrawn.load(plan));
        redrawn.setPixel(5, 5, qRgb(0, 0, 0));
        QVERIFY(redrawn.save(plan, "BMP"));
        addRoom(form, 15, u"B"_s);
        m_choices = {1}; // Отмена
        form.SaveClick();
        QCOMPARE(m_questions.size(), 1);
        QVERIFY2(m_questions[0].contains(u"этаж.bmp"_s), qPrintable(m_questions[0]));
        QFile a(archive);
        QVERIFY(a.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), saved);
        QVERIFY(form.session().modified());

        m_choices = {0}; // Сохранить с нынешними планами
        form.SaveClick();
        QCOMPARE(roomsOf(archive), (QStringList{u"A"_s, u"B"_s}));
        form.SaveClick(); // nothing changed since: asked no more
        QCOMPARE(m_questions.size(), 2);
        form.close();
    }

    // Отчёты → Портфель… on a folder of two complexes and a plain ZIP; a double click opens
    // the complex's archive in the window.
    void portfolioOpensTheComplexDoubleClicked()
    {
        QDir().mkpath(m_dir->path() + u"/complexes/sub"_s);
        writeArchive(m_dir->path() + u"/complexes/Север.zip"_s);
        writeArchive(m_dir->path() + u"/complexes/sub/Юг.zip"_s, {u"B"_s});
        ZipWriter plain(m_dir->path() + u"/complexes/фото.zip"_s);
        plain.addMember(u"x.txt"_s, "x");
        plain.write();

        Form1 form(workDir(u"a"_s));
        m_files = {m_dir->path() + u"/complexes"_s};
        form.PortfolioAction->trigger();
        QVERIFY(form.PortfolioView);
        form.PortfolioView->waitForLoad();
        QTableWidget *table = form.PortfolioView->ComplexTable;
        QCOMPARE(table->rowCount(), 4); // two complexes, the total, the plain ZIP
        QCOMPARE(table->item(0, 0)->text(), u"Север"_s);
        QCOMPARE(table->item(2, 0)->text(), u"Итого"_s);
        QCOMPARE(table->item(2, 2)->text(), u"3"_s); // rooms
        QVERIFY(table->item(3, 1)->text().contains(u"не архив Metrola"_s));
        QVERIFY(form.PortfolioView->StatusLabel->text().contains(u"Не прочитаны архивы: 1"_s));

        Q_EMIT table->cellDoubleClicked(1, 0);
        QCOMPARE(form.session().archiveFile, m_dir->path() + u"/complexes/sub/Юг.zip"_s);
        QCOMPARE(form.session().table().recordCounter(), 3);
        // The total and an unreadable archive open nothing.
        Q_EMIT table->cellDoubleClicked(2, 0);
        QCOMPARE(form.session().archiveFile, m_dir->path() + u"/complexes/sub/Юг.zip"_s);
        form.close();
    }
};

QTEST_MAIN(TestSharedWindow)
#include "tst_sharedwindow.moc"
