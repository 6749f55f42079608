#include "core/model/descriptionfile.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/piegauge.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <QScreen>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace {

struct Message
{
    Dialogs::Kind kind;
    QString title;
    QString text;
};

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    QList<Message> m_messages;

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        Dialogs::setResponder({[this](Dialogs::Kind kind, const QString &title, const QString &text) {
                                   m_messages.append({kind, title, text});
                                   return QMessageBox::Ok;
                               },
                               {}, {}});
    }
    void cleanup() { Dialogs::setResponder({}); }

    void controlsCarryTheirTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::newRow("open") << u"SpeedButton3"_s << QString() << u"Открыть архив Zip"_s;
        QTest::newRow("save") << u"SpeedButton2"_s << QString() << u"Сохранить работу в Zip"_s;
        QTest::newRow("colour") << u"Button1"_s << u"сменить цвет"_s << u"Сменить цвет"_s;
        QTest::newRow("undo") << u"Button2"_s << u"Undo"_s << u"Удалить ПОСЛЕДНЮЮ строку в списке"_s;
        QTest::newRow("new plan") << u"SpeedButton1"_s << u"Новый План"_s << u"Добавить новый план этажа"_s;
        QTest::newRow("edit plan") << u"Button4"_s << u"Редактировать"_s
                                   << u"Передать отображаемый в данный момент план для редактирования в Paint"_s;
        QTest::newRow("schedule") << u"SpeedButton4"_s << QString() << u"Экспортировать в Excel - создать размеркацию"_s;
        QTest::newRow("picture") << u"SpeedButton5"_s << QString() << u"Показать текущее размещение арендаторов"_s;
        QTest::newRow("up") << u"BitBtn1"_s << QString() << u"переместить запись вверх"_s;
        QTest::newRow("down") << u"BitBtn2"_s << QString() << u"переместить запись вниз"_s;
        // Bare boxes: the caption fields beside them are their labels.
        QTest::newRow("tenants") << u"Arend"_s << QString() << QString();
        QTest::newRow("area") << u"kvm"_s << QString() << QString();
        QTest::newRow("names") << u"nazv"_s << QString() << QString();
        QTest::newRow("types") << u"Typ"_s << QString() << QString();
        QTest::newRow("unit label") << u"lbl1"_s << u"Единица"_s << QString();
        QTest::newRow("plan caption") << u"Label1"_s << u"-"_s << QString();
        QTest::newRow("counter") << u"Label3"_s << u"1"_s << QString();
        QTest::newRow("unit") << u"edt10"_s << u"м."_s << QString();
        QTest::newRow("type 5") << u"edt9"_s << u"Прочие"_s << QString();
        QTest::newRow("tenant caption") << u"edt1"_s << u"Арендаторы"_s << QString();
    }
    void controlsCarryTheirTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        Form1 form(QDir::tempPath() + u'/');
        auto *widget = form.findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QString shown;
        if (auto *b = qobject_cast<QAbstractButton *>(widget))
            shown = b->text();
        else if (auto *l = qobject_cast<QLabel *>(widget))
            shown = l->text();
        else if (auto *e = qobject_cast<QLineEdit *>(widget))
            shown = e->text();
        QCOMPARE(shown, text);
        QCOMPARE(widget->toolTip(), hint);
    }

    void startsEmpty()
    {
        Form1 form(QDir::tempPath() + u'/');
        form.FormCreate({}, QDir::tempPath());
        // "[*]" is where the window shows "*" while there are unsaved changes.
        QCOMPARE(form.windowTitle(), u"Metrola - программа для ведения учёта площадей в комплексах[*]"_s);
        QVERIFY(!form.isWindowModified());
        QVERIFY(form.Arend->isChecked());
        QVERIFY(!form.kvm->isChecked());
        QCOMPARE(form.TabSet1->count(), 0);
        QCOMPARE(form.Label4->text(), QString());
        QVERIFY(!form.Gauge1->isVisible());
        QCOMPARE(form.StringGrid1->model()->headerData(6, Qt::Horizontal).toString(), u"SYS-Цвет"_s);
        QCOMPARE(form.StringGrid1->model()->rowCount(), 1); // the EntryRow
        QVERIFY(m_messages.isEmpty());
    }

    void keepsMinimumSize()
    {
        Form1 form(QDir::tempPath() + u'/');
        form.show();
        form.resize(600, 100);
        QTRY_VERIFY(form.width() >= 647 && form.height() >= 157);
    }

    void placement_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<bool>("verticalOnly");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("800x600 on 1024x768") << QSize(1024, 768) << QSize(800, 600) << QRect(0, 0, 900, 300)
                                             << false << QRect(112, 10, 900, 668);
        QTest::newRow("window wider than the screen") << QSize(1024, 768) << QSize(800, 600)
                                                       << QRect(0, 0, 1100, 300) << false << QRect(10, 10, 1014, 668);
        QTest::newRow("small plan") << QSize(1920, 1080) << QSize(400, 300) << QRect(5, 5, 900, 300) << false
                                    << QRect(760, 560, 900, 440);
        QTest::newRow("plan wider than the screen") << QSize(1024, 768) << QSize(3000, 100)
                                                     << QRect(0, 0, 900, 300) << false << QRect(10, 448, 900, 240);
        QTest::newRow("small plan, window wider than the centre leaves")
            << QSize(1280, 900) << QSize(600, 400) << QRect(0, 0, 1156, 300) << false << QRect(124, 280, 1156, 540);
        QTest::newRow("new plan: vertical only") << QSize(1024, 768) << QSize(800, 600)
                                                  << QRect(33, 44, 1100, 300) << true << QRect(33, 10, 1100, 668);
    }
    void placement()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, image);
        QFETCH(QRect, window);
        QFETCH(bool, verticalOnly);
        QFETCH(QRect, expected);
        QCOMPARE(Form1::placeWindow(screen, image, window, verticalOnly), expected);
    }

    // Placed before its first showing, the window does not know its frame yet; once framed it
    // is placed again so that the frame, title bar included, lies on the screen.
    void framedWindowStaysOnTheScreen()
    {
        Form1 form(QDir::tempPath() + u'/');
        QImage plan(300, 200, QImage::Format_RGB32);
        plan.fill(Qt::white);
        form.session().setShownPlan(plan, u"p.bmp"_s);
        form.refreshPlanView();
        form.PlaceMainWindow();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (form.frameGeometry() == form.geometry())
            QSKIP("this platform draws no window frame");
        const QRect screen = form.screen()->geometry();
        QTRY_VERIFY2(screen.contains(form.frameGeometry()),
                     qPrintable(u"frame %1,%2 %3x%4"_s.arg(form.frameGeometry().x()).arg(form.frameGeometry().y())
                                    .arg(form.frameGeometry().width()).arg(form.frameGeometry().height())));
    }

    // Angle deltas in eighths of a degree; one notch is 120 and scrolls 80 pixels.
    void wheelScrollsThePlan_data()
    {
        QTest::addColumn<QList<QPoint>>("deltas");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<QPoint>("expected");
        QTest::addColumn<bool>("passedOn");
        QTest::newRow("notch down") << QList<QPoint>{{0, -120}} << false << QPoint(0, 0) << QPoint(0, 80) << false;
        QTest::newRow("fine steps add up") << QList<QPoint>{{0, -40}, {0, -40}, {0, -40}} << false << QPoint(0, 0)
                                           << QPoint(0, 80) << false;
        QTest::newRow("touchpad sideways") << QList<QPoint>{{-60, 0}, {-60, 0}} << false << QPoint(0, 0)
                                           << QPoint(80, 0) << false;
        QTest::newRow("shift turns the wheel sideways") << QList<QPoint>{{0, -120}} << true << QPoint(0, 0)
                                                        << QPoint(80, 0) << false;
        QTest::newRow("up at the top is passed on") << QList<QPoint>{{0, 120}} << false << QPoint(0, 0)
                                                    << QPoint(0, 0) << true;
        QTest::newRow("up from below") << QList<QPoint>{{0, 120}} << false << QPoint(0, 200) << QPoint(0, 120)
                                       << false;
    }
    void wheelScrollsThePlan()
    {
        QFETCH(QList<QPoint>, deltas);
        QFETCH(bool, shift);
        QFETCH(QPoint, start);
        QFETCH(QPoint, expected);
        QFETCH(bool, passedOn);
        Form1 form(QDir::tempPath() + u'/');
        QImage plan(3000, 3000, QImage::Format_RGB32);
        plan.fill(Qt::white);
        form.session().setShownPlan(plan, u"big.bmp"_s);
        form.refreshPlanView();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.HorzScrollBar->setValue(start.x());
        form.VertScrollBar->setValue(start.y());
        bool accepted = false;
        for (const QPoint &delta : deltas) {
            const QPointF at(10, 10);
            QWheelEvent wheel(at, form.Image1->mapToGlobal(at), QPoint(), delta, Qt::NoButton,
                              shift ? Qt::ShiftModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(form.Image1, &wheel);
            accepted = wheel.isAccepted();
        }
        QCOMPARE(QPoint(form.HorzScrollBar->value(), form.VertScrollBar->value()), expected);
        // An event left unaccepted goes on to the parents (a test's event is not passed on).
        QCOMPARE(accepted, !passedOn);
    }

    // The captions are saved in the description file's first line: a ";" would shift every
    // later caption on reopening, a character outside the code page would come back as "?".
    void captionFieldsDropWhatTheFileCannotHold_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("separator typed") << 0 << u"Ten;ants"_s << QString() << u"Tenants"_s;
        QTest::newRow("line end pasted") << 4 << QString() << u"Торг\r\nовые"_s << u"Торговые"_s;
        QTest::newRow("outside the code page") << 9 << u"m"_s << u"²中€"_s << u"m€"_s;
    }
    void captionFieldsDropWhatTheFileCannotHold()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        Form1 form(QDir::tempPath() + u'/');
        QLineEdit *edit = form.edt[static_cast<size_t>(field)];
        edit->clear();
        QTest::keyClicks(edit, typed);
        if (!pasted.isEmpty())
            edit->insert(pasted); // the path a paste takes
        QCOMPARE(edit->text(), expected);
        QCOMPARE(form.session().captions()[field], expected);
    }

    // Each box stands just left of its caption field, on its line, and is reached and ticked
    // from the keyboard; its accessible name follows the caption.
    void captionBoxesAreBareAndKeyboardReachable()
    {
        Form1 form(QDir::tempPath() + u'/');
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const std::array<QCheckBox *, 4> boxes = {form.Arend, form.kvm, form.nazv, form.Typ};
        for (size_t i = 0; i < boxes.size(); ++i) {
            QCheckBox *box = boxes[i];
            QLineEdit *caption = form.edt[i];
            QVERIFY(box->geometry().right() < caption->geometry().left());
            QVERIFY(caption->geometry().left() - box->geometry().right() < 12);
            QCOMPARE(box->geometry().center().y(), caption->geometry().center().y());
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Tab);
            QCOMPARE(form.focusWidget(), caption);
            const bool was = box->isChecked();
            QTest::keyClick(box, Qt::Key_Space);
            QCOMPARE(box->isChecked(), !was);
        }
        QTest::keyClicks(form.edt[1], u"x"_s);
        QCOMPARE(form.kvm->accessibleName(), form.edt[1]->text());
    }

    void generalErrorText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << u"Ошибка записи"_s << u"Ошибка записи."_s;
        QTest::newRow("full stop kept") << u"Готово."_s << u"Готово."_s;
        QTest::newRow("comma is below the point") << u"a,"_s << u"a,"_s;
        QTest::newRow("digit") << u"код 5"_s << u"код 5."_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void generalErrorText()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(Form1::generalErrorText(text), shown);
    }

    void errorHandlerShowsCriticalBox()
    {
        Form1 form(QDir::tempPath() + u'/');
        form.guard([] { throw MetrolaError(u"Файл не найден"_s); });
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].kind, Dialogs::Kind::Critical);
        QCOMPARE(m_messages[0].title, Form1::applicationTitle());
        QCOMPARE(m_messages[0].text, u"Файл не найден."_s);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected"); // "P/" stands for the working folder, "C/" for the current one
        QTest::newRow("none") << QStringList() << QString();
        QTest::newRow("one character") << QStringList{u"a"_s} << QString();
        QTest::newRow("relative, case kept") << QStringList{u"Proj.ZIP"_s} << u"P/Proj.ZIP"_s;
        QTest::newRow("joined at a space") << QStringList{u"/my"_s, u"docs/p.zip"_s} << u"/mydocs/p.zip"_s;
        QTest::newRow("only in current folder") << QStringList{u"cur.zip"_s} << u"C/cur.zip"_s;
        QTest::newRow("short") << QStringList{u"a.z"_s} << u"P/a.z"_s;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QTemporaryDir program;
        QTemporaryDir current;
        touch(current.path() + u"/cur.zip"_s);
        const QString programDir = program.path() + u'/';
        // Only as a prefix: a temporary folder's name may itself end in "C" or "P".
        if (expected.startsWith(u"P/"_s))
            expected = programDir + expected.mid(2);
        else if (expected.startsWith(u"C/"_s))
            expected = current.path() + u'/' + expected.mid(2);
        QCOMPARE(ProjectSession::commandLineArchive(arguments, programDir, current.path()), expected);
    }

    void closeDeletesOnlyWorkingFiles()
    {
        QTemporaryDir dir;
        const QString programDir = dir.path() + u'/';
        const QStringList present = {u"extracted.bmp"_s, u"added.bmp"_s, u"metrola.csv"_s, u"metrola.bmp"_s,
                                     u"metrola.exe"_s, u"metrola1.7.exe"_s, u"other.bmp"_s, u"running"_s};
        for (const QString &name : present)
            touch(programDir + name);
        // Listed as extracted, but a link planted since: neither it nor its target goes.
        QTemporaryDir outside;
        touch(outside.path() + u"/notes.txt"_s);
        QVERIFY(QFile::link(outside.path() + u"/notes.txt"_s, programDir + u"linked.bmp"_s));
        ProjectSession session(programDir);
        session.extractedFiles = {u"extracted.bmp"_s, u"added.bmp"_s, u"../outside.bmp"_s, u"linked.bmp"_s};
        // Only what this run wrote: the old executables and a description file it never wrote stay.
        session.writtenFiles = {u"metrola.bmp"_s, u"running"_s};
        session.planPaths().addPlanFile(programDir + u"added.bmp"_s);
        session.removeWorkingFiles(programDir + u"running"_s);
        QStringList left = QDir(programDir).entryList(QDir::Files | QDir::System);
        left.sort();
        QCOMPARE(left, (QStringList{u"added.bmp"_s, u"linked.bmp"_s, u"metrola.csv"_s, u"metrola.exe"_s,
                                    u"metrola1.7.exe"_s, u"other.bmp"_s, u"running"_s}));
        QVERIFY(QFileInfo::exists(outside.path() + u"/notes.txt"_s));
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
