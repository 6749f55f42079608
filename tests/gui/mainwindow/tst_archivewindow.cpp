#include "core/archive/zipreader.h"
#include "core/archive/zipwriter.h"
#include "core/base/cp1251.h"
#include "core/plan/colourkey.h"
#include "core/plan/planimage.h"
#include "gui/mainwindow/form1.h"
#include "gui/records/form2.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/piegauge.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QByteArray planBytes()
{
    QImage plan(30, 20, QImage::Format_RGB32);
    plan.fill(Qt::white);
    return PlanImage::bmpBytes(plan);
}

// A project whose records lie on plan B first, then A; the EntryRow carries the given X cell.
QString writeArchive(const QString &path, const QString &entryX, bool withRecords = true,
                     bool withDescription = true)
{
    QString csv = u"Т;К;Н;Г;1;2;3;4;5;ед;;\r\nh;\r\n"_s;
    if (withRecords)
        csv += u"b.bmp;Зал;торг;10;А;;100;5;5;\r\na.bmp;Склад;склд;20;Б;;99;5;5;\r\n"_s;
    csv += u";;;;;;07.12.2026;"_s + entryX + u";;\r\n"_s;
    ZipWriter writer(path);
    writer.addMember(u"b.bmp"_s, planBytes());
    writer.addMember(u"a.bmp"_s, planBytes());
    if (withDescription)
        writer.addMember(u"metrola.csv"_s, Cp1251::fromUnicode(csv));
    writer.write();
    return path;
}

} // namespace

class TestArchiveWindow : public QObject
{
    Q_OBJECT

    QStringList m_texts;
    QString m_chosenFile;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<QTemporaryDir> m_files;

    QString programDir() const { return m_program->path() + u'/'; }

private Q_SLOTS:
    void init()
    {
        m_texts.clear();
        m_answer = QMessageBox::Yes;
        m_program = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        Dialogs::setResponder({[this](Dialogs::Kind, const QString &title, const QString &text) {
                                   m_texts.append(title + u'|' + text);
                                   return m_answer;
                               },
                               [this](QFileDialog *) { return m_chosenFile; }, {}});
    }
    void cleanup() { Dialogs::setResponder({}); }

    void openThroughTheDialog()
    {
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        QVERIFY2(m_texts.isEmpty(), qPrintable(m_texts.join(u'\n')));
        QCOMPARE(form.Label1->text(), u"b.bmp"_s);
        QCOMPARE(form.TabSet1->count(), 2);
        QCOMPARE(form.TabSet1->tabText(0), u"b.bmp"_s);
        QCOMPARE(form.TabSet1->tabText(1), u"a.bmp"_s);
        QCOMPARE(form.TabSet1->currentIndex(), 0);
        QCOMPARE(form.Label3->text(), u"3"_s);
        QCOMPARE(form.edt[0]->text(), u"Т"_s); // captions applied in the dialog form
        QCOMPARE(form.edt[9]->text(), u"ед"_s);
        QCOMPARE(form.session().lastArchive, m_chosenFile);
    }

    // The tab of the plan a grid double click brings up is selected, so the old plan's tab
    // takes the user back.
    void gridDoubleClickSelectsThePlansTab()
    {
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        form.selectRow(2); // on a.bmp
        form.StringGrid1DblClick();
        QCOMPARE(form.Label1->text(), u"a.bmp"_s);
        QCOMPARE(form.TabSet1->currentIndex(), 1);
        form.TabSet1->setCurrentIndex(0);
        QCOMPARE(form.Label1->text(), u"b.bmp"_s);
        QVERIFY2(m_texts.isEmpty(), qPrintable(m_texts.join(u'\n')));
    }

    void startUpDoesNotApplyCaptions()
    {
        Form1 form(programDir());
        const QString archive = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.FormCreate({archive}, QDir::currentPath());
        QCOMPARE(form.Label4->text(), archive);
        QCOMPARE(form.Label1->text(), u"b.bmp"_s);
        QCOMPARE(form.edt[0]->text(), u"Арендаторы"_s);
        QCOMPARE(form.TabSet1->count(), 2);
    }

    void finishedLockFollowsEachOpening()
    {
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/done.zip"_s, u"НЕРЕДАКТ"_s);
        form.SpeedButton3Click();
        const QList<QWidget *> locked = {form.Button2, form.Button1, form.SpeedButton1, form.Button4};
        for (QWidget *w : locked)
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
        QVERIFY(form.form2()->Edit2->isReadOnly());
        QVERIFY(form.form2()->Edit4->isReadOnly());
        QVERIFY(!form.form2()->Edit1->isReadOnly());

        m_chosenFile = writeArchive(m_files->path() + u"/open.zip"_s, QString());
        form.SpeedButton3Click(); // the same plan names: the replace questions are answered Yes
        QCOMPARE(m_texts.size(), 2);
        for (QWidget *w : locked)
            QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
        QVERIFY(!form.form2()->Edit2->isReadOnly());
    }

    void openingMessages_data()
    {
        QTest::addColumn<bool>("withRecords");
        QTest::addColumn<bool>("withDescription");
        QTest::addColumn<QMessageBox::StandardButton>("replace");
        QTest::addColumn<QString>("message");
        QTest::newRow("no records") << false << true << QMessageBox::Yes
                                    << u"Ошибка|Файлы поэтажных планов не могут быть загружены. Архив повреждён."_s;
        QTest::newRow("no description") << true << false << QMessageBox::No
                                        << u"Ошибка|Архив не может быть загружен в Metrola. Отсутствует файл описания."_s;
    }
    void openingMessages()
    {
        QFETCH(bool, withRecords);
        QFETCH(bool, withDescription);
        QFETCH(QMessageBox::StandardButton, replace);
        QFETCH(QString, message);
        QFile stale(programDir() + u"metrola.csv"_s);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        Form1 form(programDir());
        m_answer = replace;
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString(), withRecords, withDescription);
        form.SpeedButton3Click();
        QCOMPARE(m_texts, QStringList{message}); // the stale description is replaced unasked
        QCOMPARE(form.TabSet1->count(), 0);
        QCOMPARE(form.Label1->text(), u"-"_s);
    }

    // What the window holds for the open project (a new room waiting in the record dialog, a
    // running blink) is given up only once another project has taken the table.
    void failedOpeningKeepsTheProject_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QMessageBox::StandardButton>("replace");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("told");
        QTest::newRow("unreadable archive") << u"broken.zip"_s << QMessageBox::Yes << false << QString();
        QTest::newRow("plans kept") << u"other.zip"_s << QMessageBox::No << true << QString();
        QTest::newRow("too many lines") << u"long.zip"_s << QMessageBox::Yes << false << u"1 000 000"_s;
        QTest::newRow("opened") << u"other.zip"_s << QMessageBox::Yes << true << QString();
    }
    void failedOpeningKeepsTheProject()
    {
        QFETCH(QString, archive);
        QFETCH(QMessageBox::StandardButton, replace);
        QFETCH(bool, opened);
        QFETCH(QString, told);
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        Form2 *dialog = form.form2();
        QImage &plan = form.session().planImage();
        plan.setPixel(2, 2, qRgb(1, 2, 3));
        dialog->openNew(ColourKey::fromRgb(qRgb(1, 2, 3)), {2, 2}, form.session().table().entryRow(), u"b.bmp"_s);
        form.BlinkRow = 1;
        form.Timer1->start();
        QFile broken(m_files->path() + u"/broken.zip"_s);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not an archive");
        broken.close();
        writeArchive(m_files->path() + u"/other.zip"_s, QString());
        {
            // One record, then empty lines past the limit: a few kilobytes once deflated.
            ZipWriter writer(m_files->path() + u"/long.zip"_s);
            writer.addMember(u"b.bmp"_s, planBytes());
            writer.addMember(u"metrola.csv"_s, QByteArray("c;\r\nh;\r\nb.bmp;x;t;1;;;7;5;5;\r\n")
                                                    + QByteArray("\r\n").repeated(1000000));
            writer.write();
        }
        m_chosenFile = m_files->path() + u'/' + archive;
        m_answer = replace;

        form.SpeedButton3Click();

        QCOMPARE(dialog->isVisible(), !opened);
        QCOMPARE(form.Timer1->isActive(), !opened);
        QCOMPARE(form.session().table().recordCount(), 2);
        if (!told.isEmpty())
            QVERIFY2(!m_texts.isEmpty() && m_texts.last().contains(told), qPrintable(m_texts.join(u'\n')));
        if (!opened)
            QCOMPARE(form.session().planImage().pixel(2, 2), qRgb(1, 2, 3));
    }

    // The second opening of a project finds its files in the working folder. Only the plans,
    // which a paint program may have changed there, are asked about; either answer opens it.
    void secondOpeningAsksOnlyAboutPlans_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("replace") << QMessageBox::Yes;
        QTest::newRow("keep") << QMessageBox::No;
    }
    void secondOpeningAsksOnlyAboutPlans()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        QImage edited(30, 20, QImage::Format_RGB32);
        edited.fill(qRgb(200, 0, 0));
        QVERIFY(edited.save(programDir() + u"b.bmp"_s, "BMP"));
        m_answer = answer;

        form.SpeedButton3Click();

        const QString question = u"Файл уже существует|Заменить существующий файл «%1»?"_s;
        QCOMPARE(m_texts, (QStringList{question.arg(QDir::toNativeSeparators(programDir() + u"b.bmp"_s)),
                                       question.arg(QDir::toNativeSeparators(programDir() + u"a.bmp"_s))}));
        QCOMPARE(form.Label1->text(), u"b.bmp"_s);
        QCOMPARE(form.TabSet1->count(), 2);
        QCOMPARE(form.session().table().recordCount(), 2);
        const QRgb floor = answer == QMessageBox::Yes ? qRgb(255, 255, 255) : qRgb(200, 0, 0);
        QCOMPARE(QImage(programDir() + u"b.bmp"_s).pixel(1, 1), floor);
    }

    // A hand-edited key on the first plan: the opening completes (tabs, rooms) and the record
    // is reported once.
    void openingReportsAnUnreadableRecordAfterwards()
    {
        Form1 form(programDir());
        m_chosenFile = m_files->path() + u"/edited.zip"_s;
        ZipWriter writer(m_chosenFile);
        writer.addMember(u"b.bmp"_s, planBytes());
        writer.addMember(u"a.bmp"_s, planBytes());
        writer.addMember(u"metrola.csv"_s, Cp1251::fromUnicode(u"c;\r\nh;\r\nb.bmp;З;торг;1;А;;100;5;5;\r\n"
                                                               u"b.bmp;К;склд;2;Б;;x;6;6;\r\na.bmp;С;склд;3;В;;99;5;5;\r\n"
                                                               u";;;;;;;;;\r\n"_s));
        writer.write();

        form.SpeedButton3Click();

        QCOMPARE(m_texts.size(), 1);
        QVERIFY2(m_texts[0].contains(u"строке 2, столбец «SYS-Цвет»"_s), qPrintable(m_texts[0]));
        QCOMPARE(form.TabSet1->count(), 2);
        QCOMPARE(form.session().planImage().pixel(10, 10), ColourKey::toRgb(100));
    }

    void failedTabSwitchKeepsTheShownPlansTab()
    {
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        QFile a(programDir() + u"a.bmp"_s);
        QVERIFY(a.open(QIODevice::WriteOnly));
        a.write("no bitmap");
        a.close();
        m_texts.clear();

        form.TabSet1->setCurrentIndex(1);

        QCOMPARE(m_texts.size(), 1);
        QCOMPARE(form.Label1->text(), u"b.bmp"_s);
        QCOMPARE(form.TabSet1->currentIndex(), 0);
    }

    void whiteAndBlackKeysNameNoRoom()
    {
        // 30 x 20, a black wall at x = 15 between a left and a right room. The records keyed
        // black and key 100 point into the left room, the one keyed white into the right.
        QImage plan(30, 20, QImage::Format_RGB32);
        plan.fill(Qt::white);
        for (int y = 0; y < plan.height(); ++y)
            plan.setPixel(15, y, qRgb(0, 0, 0));
        const QString csv = u"Т;К;Н;Г;1;2;3;4;5;ед;;\r\nh;\r\n"
                            "b.bmp;Стены;торг;1;А;;0;5;5;\r\n"
                            "b.bmp;Зал;торг;1;Б;;100;5;5;\r\n"
                            "b.bmp;Пол;торг;1;В;;16777215;25;5;\r\n;;;;;;;;;\r\n"_s;
        m_chosenFile = m_files->path() + u"/keys.zip"_s;
        ZipWriter writer(m_chosenFile);
        writer.addMember(u"b.bmp"_s, PlanImage::bmpBytes(plan));
        writer.addMember(u"metrola.csv"_s, Cp1251::fromUnicode(csv));
        writer.write();

        Form1 form(programDir());
        form.SpeedButton3Click();
        QCOMPARE(m_texts.size(), 1);
        QVERIFY2(m_texts.first().startsWith(u"Ошибка|Цветовой ключ записей в строках 1, 3 "_s),
                 qPrintable(m_texts.first()));
        const QImage &shown = form.session().planImage();
        QCOMPARE(shown.pixel(5, 5), ColourKey::toRgb(100));
        QCOMPARE(shown.pixel(15, 0), qRgb(0, 0, 0));
        QCOMPARE(shown.pixel(29, 19), qRgb(255, 255, 255));

        form.Image1MouseMove(25, 5);
        QCOMPARE(form.Hinter->text(), u" пусто "_s);
        form.Image1MouseUp(Qt::MiddleButton, 15, 10); // the wall opens nothing
        QVERIFY(form.form2()->isHidden());
        form.Image1MouseUp(Qt::RightButton, 25, 5); // the white room is free to mark
        QCOMPARE(form.form2()->mode(), Form2::Mode::New);
        QVERIFY(form.session().planImage().pixel(25, 5) != qRgb(255, 255, 255));
        QCOMPARE(m_texts.size(), 1);
    }

    void saveWritesMembersInPlanOrder()
    {
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        m_chosenFile = m_files->path() + u"/saved.zip"_s;
        form.SpeedButton2Click();
        QVERIFY2(m_texts.isEmpty(), qPrintable(m_texts.join(u'\n')));
        ZipReader reader(m_chosenFile);
        QCOMPARE(reader.memberNames(), (QStringList{u"b.bmp"_s, u"a.bmp"_s, u"metrola.csv"_s}));
        QVERIFY(form.Gauge1->isHidden());
    }

    void saveWithoutPlanDoesNothing()
    {
        Form1 form(programDir());
        m_chosenFile = m_files->path() + u"/nothing.zip"_s;
        form.SpeedButton2Click();
        QVERIFY(!QFile::exists(m_chosenFile));
        QVERIFY(m_texts.isEmpty());
    }

    void closingAsksAboutUnsavedChanges_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("cancel keeps the window") << QMessageBox::Cancel << false;
        QTest::newRow("no discards") << QMessageBox::No << true;
    }
    void closingAsksAboutUnsavedChanges()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, closes);
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        form.show();
        QCloseEvent unchanged;
        QApplication::sendEvent(&form, &unchanged);
        QVERIFY(unchanged.isAccepted());
        QVERIFY(m_texts.isEmpty()); // no change, no question

        Form1 changed(programDir());
        changed.SpeedButton3Click();
        m_texts.clear();
        QTest::keyClicks(changed.edt[0], u"x"_s);
        m_answer = answer;
        QCloseEvent event;
        QApplication::sendEvent(&changed, &event);
        QCOMPARE(m_texts.size(), 1);
        QVERIFY(m_texts.first().endsWith(u"|Сохранить изменения в архиве?"_s));
        QCOMPARE(event.isAccepted(), closes);
    }

    // Text left in the record dialog is work a close would lose. Every question gets the
    // row's answer; a Yes enters the record and saves it into the archive.
    void closingAsksAboutTheDialogsText_data()
    {
        QTest::addColumn<bool>("editMode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closes");
        QTest::newRow("new, nothing typed") << false << QString() << QMessageBox::Cancel << false << true;
        QTest::newRow("new, typed, cancel") << false << u"OOO-7"_s << QMessageBox::Cancel << true << false;
        QTest::newRow("new, typed, no") << false << u"OOO-7"_s << QMessageBox::No << true << true;
        QTest::newRow("new, typed, yes") << false << u"OOO-7"_s << QMessageBox::Yes << true << true;
        QTest::newRow("edit, as recorded") << true << QString() << QMessageBox::Cancel << false << true;
        QTest::newRow("edit, changed, cancel") << true << u"OOO-7"_s << QMessageBox::Cancel << true << false;
        QTest::newRow("edit, changed, yes") << true << u"OOO-7"_s << QMessageBox::Yes << true << true;
    }
    void closingAsksAboutTheDialogsText()
    {
        QFETCH(bool, editMode);
        QFETCH(QString, typed);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, asked);
        QFETCH(bool, closes);
        Form1 form(programDir());
        m_chosenFile = writeArchive(m_files->path() + u"/p.zip"_s, QString());
        form.SpeedButton3Click();
        form.show();
        Form2 *dialog = form.form2();
        if (editMode) {
            form.Image1MouseUp(Qt::MiddleButton, 5, 5); // room 1, keyed 100
        } else {
            form.session().planImage().setPixel(2, 2, qRgb(1, 2, 3));
            const int entryRow = form.session().table().entryRow();
            dialog->openNew(ColourKey::fromRgb(qRgb(1, 2, 3)), {2, 2}, entryRow, u"b.bmp"_s);
        }
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->mode(), editMode ? Form2::Mode::Edit : Form2::Mode::New);
        if (!typed.isEmpty()) {
            dialog->Edit1->selectAll();
            QTest::keyClicks(dialog->Edit1, typed);
        }
        m_texts.clear();
        m_answer = answer;
        // The save asks for no name: it goes into the archive the project came from.
        m_chosenFile.clear();

        QCloseEvent event;
        QApplication::sendEvent(&form, &event);

        const QString question = Form1::applicationTitle() + u"|Запись в окне ввода не внесена в список. Внести её?"_s;
        QCOMPARE(!m_texts.isEmpty() && m_texts.first() == question, asked);
        QCOMPARE(event.isAccepted(), closes);
        QCOMPARE(dialog->isVisible(), !closes);
        const RecordTable &table = form.session().table();
        const int row = editMode ? 1 : 3;
        const bool entered = answer == QMessageBox::Yes;
        QCOMPARE(table.recordCount(), !editMode && entered ? 3 : 2);
        if (entered) {
            QCOMPARE(table.cellText(RecordTable::Tenant, row), typed);
            const QByteArray saved = ZipReader(m_files->path() + u"/p.zip"_s).readMember(u"metrola.csv"_s);
            QVERIFY(saved.contains(Cp1251::fromUnicode(typed)));
        }
    }
};

QTEST_MAIN(TestArchiveWindow)
#include "tst_archivewindow.moc"
