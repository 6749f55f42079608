#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"
#include "gui/widgets/colourswatch.h"
#include "gui/widgets/dialogs.h"
#include "messagelog.h"
#include "testrecord.h"

#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A plan of two rooms split by a black wall at x = 500: A on the left, B on the right. It is
// larger than the plan area, so it can be scrolled.
constexpr int kWallX = 500;
const QPoint kLabelA(100, 60);
const QPoint kLabelB(600, 60);
constexpr quint32 kKeyA = 0x3366CC;
constexpr quint32 kKeyB = 0x00AA11;
const QString kPlan1 = u"p1.bmp"_s;
const QString kPlan2 = u"p2.bmp"_s;

QImage twoRooms()
{
    QImage image(1400, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < image.height(); ++y)
        image.setPixel(kWallX, y, qRgb(0, 0, 0));
    return image;
}

RecordTable::Row record(const QString &plan, QPoint label, quint32 key, const QString &tenant = {},
                        const QString &name = {}, const QString &area = {})
{
    return roomRecord({.plan = plan, .name = name, .area = area, .tenant = tenant, .key = QString::number(key),
                       .label = label});
}

quint32 keyAt(Form1 &form, QPoint p)
{
    return ColourKey::fromRgb(form.session().planImage().pixel(p)) & ColourKey::kRgbMask;
}

QPoint clientOf(Form1 &form, QPoint planPoint)
{
    return form.PlanArea->pos() + form.Image1->pos() + planPoint;
}

} // namespace

class TestHover : public QObject
{
    Q_OBJECT

    MessageLog m_log;

    // Shows the two-room plan with its rooms marked; the plan is scrolled a little so that plan
    // and client coordinates differ.
    void showPlan(Form1 &form)
    {
        form.session().setShownPlan(twoRooms(), kPlan1);
        form.refreshPlanView();
        form.session().repaintPlanRooms();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.HorzScrollBar->setValue(30);
        form.VertScrollBar->setValue(20);
        QCOMPARE(form.Image1->pos(), QPoint(-30, -20));
    }

    void addRooms(Form1 &form)
    {
        RecordTable &table = form.session().table();
        table.appendRecord(record(kPlan1, kLabelA, kKeyA, u"А-01"_s, u"Зал"_s, u"120,5"_s), u"01.02.2024"_s);
        table.appendRecord(record(kPlan1, kLabelB, kKeyB), u"02.02.2024"_s);
    }

private Q_SLOTS:
    void init() { m_log.install(); }
    void cleanup() { MessageLog::remove(); }

    void hoverText_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("text");
        QTest::newRow("room") << QPoint(150, 90) << u" А-01 Зал 120,5кв.м. "_s;
        QTest::newRow("room without texts") << QPoint(700, 40) << u"   кв.м. "_s;
        QTest::newRow("wall") << QPoint(kWallX, 50) << u" пусто "_s;
    }
    void hoverText()
    {
        QFETCH(QPoint, at);
        QFETCH(QString, text);
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        QTest::mouseMove(form.Image1, at);
        QCOMPARE(form.Hinter->text(), text);
        QCOMPARE(form.Hinter->pos(), clientOf(form, at) - QPoint(1, 12));
        QCOMPARE(form.Hinter->size(), form.Hinter->sizeHint());
        QVERIFY(m_log.texts.isEmpty());
    }

    void hoverOutsideThePlanIsEmpty()
    {
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        form.Image1MouseMove(-3, 50);
        QCOMPARE(form.Hinter->text(), u" пусто "_s);
        form.Image1MouseMove(150, 400);
        QCOMPARE(form.Hinter->text(), u" пусто "_s);
        QVERIFY(m_log.texts.isEmpty());
    }

    void hoverOverABrokenTableShowsNoBoxes()
    {
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        form.session().table().appendRecord(record(kPlan2, kLabelA, 5), std::nullopt);
        form.session().table().setCell(RecordTable::ColourKey, form.session().table().recordCount(), u"x5"_s);
        for (int i = 0; i < 3; ++i)
            QTest::mouseMove(form.Image1, QPoint(150 + i, 90));
        QCOMPARE(form.Hinter->text(), u" пусто "_s);
        QVERIFY(m_log.texts.isEmpty());
        form.Image1MouseDown(Qt::LeftButton, 150, 90); // a click still reports it
        QCOMPARE(m_log.texts.size(), 1);
    }

    void markerFollowsTheRoomsLabel()
    {
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        const QPoint markerOffset(4, 9);

        QTest::mousePress(form.Image1, Qt::LeftButton, {}, QPoint(kWallX, 40));
        QVERIFY(form.Hinter->isVisible());
        QVERIFY(!form.opter->isVisible());
        QTest::mouseRelease(form.Image1, Qt::LeftButton, {}, QPoint(kWallX, 40));
        form.Hinter->hide();

        QTest::mousePress(form.Image1, Qt::LeftButton, {}, QPoint(200, 100));
        QVERIFY(form.Hinter->isVisible());
        QVERIFY(form.opter->isVisible());
        QCOMPARE(form.opter->pos(), clientOf(form, kLabelA) - markerOffset);

        QTest::mouseMove(form.Image1, QPoint(kWallX, 100));
        QCOMPARE(form.opter->pos(), clientOf(form, kLabelA) - markerOffset);
        QTest::mouseMove(form.Image1, QPoint(650, 100));
        QCOMPARE(form.opter->pos(), clientOf(form, kLabelB) - markerOffset);
        QVERIFY(form.opter->isVisible());
    }

    void rightPressShowsNoHint()
    {
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        form.Image1MouseDown(Qt::RightButton, 200, 100);
        QVERIFY(!form.Hinter->isVisible());
        QVERIFY(!form.opter->isVisible());
    }

    void doubleClickRepaintsRooms()
    {
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        FloodFill().fill(form.session().planImage(), kLabelA, qRgb(255, 255, 255));
        QTest::mouseDClick(form.Image1, Qt::LeftButton, {}, QPoint(300, 100));
        QCOMPARE(keyAt(form, kLabelA), kKeyA);
        QCOMPARE(keyAt(form, kLabelB), kKeyB);
    }

    void blinkAlternatesThenRepaints()
    {
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        form.BlinkRow = 1;
        form.Timer1->start();
        for (int tick = 1; tick <= 18; ++tick) {
            if (tick == 18) // a stale room that only the closing repaint puts right
                FloodFill().fill(form.session().planImage(), kLabelB, qRgb(255, 255, 255));
            form.Timer1Timer();
            const quint32 expected = tick % 2 ? form.session().restoreColour : kKeyA;
            QCOMPARE(keyAt(form, kLabelA), expected);
            QCOMPARE(keyAt(form, QPoint(kWallX - 1, 399)), expected);
            if (tick < 18) {
                QCOMPARE(form.BlinkCount, tick + 1);
                QVERIFY(form.Timer1->isActive());
            }
        }
        QVERIFY(!form.Timer1->isActive());
        QCOMPARE(form.BlinkCount, 1);
        QCOMPARE(keyAt(form, kLabelB), kKeyB);
        QCOMPARE(keyAt(form, QPoint(kWallX, 0)), 0u);
    }

    // A room far off in the plan is scrolled into view before it blinks; one in view stays put.
    void blinkScrollsItsRoomIntoView_data()
    {
        QTest::addColumn<bool>("fromTheFarEnd"); // scrolled to the maxima first, else to the start
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("moves");
        QTest::newRow("to the far corner") << false << 2 << true;
        QTest::newRow("back to the top left") << true << 1 << true;
        QTest::newRow("already in view") << false << 1 << false;
    }
    void blinkScrollsItsRoomIntoView()
    {
        QFETCH(bool, fromTheFarEnd);
        QFETCH(int, row);
        QFETCH(bool, moves);
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        const QPoint corner(1350, 380); // in room B, past both ends of the plan area
        form.session().table().setCell(RecordTable::LabelX, 2, QString::number(corner.x()));
        form.session().table().setCell(RecordTable::LabelY, 2, QString::number(corner.y()));
        showPlan(form);
        QVERIFY(form.VertScrollBar->maximum() > 0);
        form.HorzScrollBar->setValue(fromTheFarEnd ? form.HorzScrollBar->maximum() : 0);
        form.VertScrollBar->setValue(fromTheFarEnd ? form.VertScrollBar->maximum() : 0);
        const QPoint before = form.Image1->pos();
        form.selectRow(row);
        form.StringGrid1DblClick();
        QVERIFY(form.Timer1->isActive());
        const QPoint label = row == 1 ? kLabelA : corner;
        const QPoint shown = form.Image1->pos() + label;
        QVERIFY2(QRect(QPoint(0, 0), form.PlanArea->size()).contains(shown),
                 qPrintable(u"%1,%2"_s.arg(shown.x()).arg(shown.y())));
        QCOMPARE(form.Image1->pos() != before, moves);
        QVERIFY(m_log.texts.isEmpty());
    }

    void blinkStopsCleanly_data()
    {
        QTest::addColumn<bool>("undo");
        QTest::newRow("record undone") << true;
        QTest::newRow("other plan shown") << false;
    }
    void blinkStopsCleanly()
    {
        QFETCH(bool, undo);
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        form.BlinkRow = 2;
        form.Timer1->start();
        for (int tick = 0; tick < 3; ++tick)
            form.Timer1Timer();
        QCOMPARE(keyAt(form, kLabelB), form.session().restoreColour);

        if (undo) {
            form.Button2->click();
        } else {
            QImage other = twoRooms();
            other.fill(qRgb(10, 20, 30));
            form.session().setShownPlan(other, kPlan2);
            form.refreshPlanView();
        }
        const QImage before = form.session().planImage().copy();
        form.Timer1Timer();
        QVERIFY(!form.Timer1->isActive());
        QCOMPARE(form.BlinkCount, 1);
        if (undo) {
            QCOMPARE(keyAt(form, kLabelA), kKeyA);
            QCOMPARE(keyAt(form, kLabelB), form.session().restoreColour);
        } else {
            QCOMPARE(form.session().planImage(), before);
        }
        QVERIFY(m_log.texts.isEmpty());
    }

    // A hand-edited cell that is not a number: every readable room is still painted, and the
    // record is reported once with its row and column.
    void unreadableRecord_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("message");
        const QString painted = u"; остальные комнаты плана закрашены."_s;
        QTest::newRow("repaint, key")
            << u"repaint"_s << int(RecordTable::ColourKey)
            << u"Запись в строке 1, столбец «SYS-Цвет»: «x» не является целым числом"_s + painted;
        QTest::newRow("repaint, label Y")
            << u"repaint"_s << int(RecordTable::LabelY)
            << u"Запись в строке 1, столбец «SYS-Y»: «x» не является целым числом"_s + painted;
        QTest::newRow("blink ends before reporting")
            << u"blink"_s << int(RecordTable::LabelX)
            << u"Запись в строке 1, столбец «SYS-X»: «x» не является целым числом"_s + painted;
    }
    void unreadableRecord()
    {
        QFETCH(QString, action);
        QFETCH(int, column);
        QFETCH(QString, message);
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        RecordTable &table = form.session().table();
        RecordTable::Row bad = record(kPlan1, QPoint(kWallX + 5, 5), 777);
        bad[static_cast<size_t>(column)] = u"x"_s;
        std::vector<RecordTable::Row> rows = {bad, table.row(1), table.row(2), table.row(3)};
        table.replaceRows(rows);
        for (QPoint p : {kLabelA, kLabelB})
            FloodFill().fill(form.session().planImage(), p, qRgb(255, 255, 255));

        if (action == u"repaint"_s) {
            QTest::mouseDClick(form.Image1, Qt::LeftButton, {}, QPoint(300, 100));
        } else {
            form.BlinkRow = 1;
            form.Timer1->start();
            form.Timer1Timer();
            QVERIFY(!form.Timer1->isActive());
            QCOMPARE(form.BlinkCount, 1);
            QTest::qWait(400); // no tick is left to report it again
        }

        QCOMPARE(m_log.texts, QStringList{message});
        QCOMPARE(keyAt(form, kLabelA), kKeyA);
        QCOMPARE(keyAt(form, kLabelB), kKeyB);
    }

    // Undo converts the label point before it changes anything.
    void undoOfAnUnreadableLabelKeepsTheRecord_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("X not a number") << int(RecordTable::LabelX) << u"1O0"_s;
        QTest::newRow("Y empty") << int(RecordTable::LabelY) << QString();
    }
    void undoOfAnUnreadableLabelKeepsTheRecord()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        showPlan(form);
        RecordTable &table = form.session().table();
        table.setCell(column, 2, text);
        const RecordTable::Row last = table.row(2);
        const QImage before = form.session().planImage().copy();

        form.Button2->click();

        QCOMPARE(m_log.texts.size(), 1);
        QCOMPARE(table.recordCount(), 2);
        QCOMPARE(table.row(2), last);
        QCOMPARE(form.session().planImage(), before);
    }

    void undoOnEmptyTableDoesNothing()
    {
        Form1 form(QDir::tempPath() + u'/');
        RecordTable &table = form.session().table();
        table.setCell(RecordTable::ColourKey, table.entryRow(), u"05.05.2024"_s);
        form.Button2->click();
        QCOMPARE(table.recordCount(), 0);
        QCOMPARE(table.cellText(RecordTable::ColourKey, table.entryRow()), u"05.05.2024"_s);
        QVERIFY(m_log.texts.isEmpty());
    }

    void undoClearsTheRoom_data()
    {
        QTest::addColumn<QString>("plan");
        QTest::addColumn<QPoint>("label");
        QTest::addColumn<bool>("painted");
        QTest::newRow("shown plan") << kPlan1 << kLabelB << true;
        QTest::newRow("another plan, same point as a room here") << kPlan2 << kLabelA << false;
        QTest::newRow("label outside the plan") << kPlan1 << QPoint(5000, 60) << false;
    }
    void undoClearsTheRoom()
    {
        QFETCH(QString, plan);
        QFETCH(QPoint, label);
        QFETCH(bool, painted);
        Form1 form(QDir::tempPath() + u'/');
        RecordTable &table = form.session().table();
        table.appendRecord(record(kPlan1, kLabelA, kKeyA), u"01.02.2024"_s);
        table.appendRecord(record(plan, label, kKeyB), u"02.02.2024"_s);
        table.setCell(RecordTable::LabelX, table.entryRow(), RecordTable::finishedMarker());
        table.setCell(RecordTable::LabelY, table.entryRow(), u"03.02.2024"_s);
        showPlan(form);
        if (painted)
            QCOMPARE(keyAt(form, kLabelB), kKeyB);
        const QImage before = form.session().planImage().copy();

        form.Button2->click();

        QCOMPARE(table.recordCount(), 1);
        QVERIFY(!table.colourInUse(kKeyB));
        QCOMPARE(table.row(table.entryRow())[RecordTable::ColourKey], u"02.02.2024"_s);
        QCOMPARE(table.row(table.entryRow())[RecordTable::LabelX], RecordTable::finishedMarker());
        QCOMPARE(table.row(table.entryRow())[RecordTable::LabelY], u"03.02.2024"_s);
        if (painted) {
            QCOMPARE(keyAt(form, kLabelB), ProjectSession::kWhite);
            QCOMPARE(keyAt(form, QPoint(1399, 399)), ProjectSession::kWhite);
            QCOMPARE(keyAt(form, kLabelA), kKeyA);
        } else {
            QCOMPARE(form.session().planImage(), before);
        }
        QVERIFY(m_log.texts.isEmpty());
    }

    void undoTwice()
    {
        Form1 form(QDir::tempPath() + u'/');
        addRooms(form);
        RecordTable &table = form.session().table();
        table.setCell(RecordTable::LabelY, table.entryRow(), u"03.02.2024"_s);
        showPlan(form);
        form.Button2->click();
        form.Button2->click();
        QCOMPARE(table.recordCount(), 0);
        QCOMPARE(keyAt(form, kLabelA), ProjectSession::kWhite);
        QCOMPARE(keyAt(form, kLabelB), ProjectSession::kWhite);
        QCOMPARE(keyAt(form, QPoint(kWallX, 10)), 0u);
        QCOMPARE(table.cellText(RecordTable::ColourKey, table.entryRow()), u"02.02.2024"_s);
        QCOMPARE(table.cellText(RecordTable::LabelY, table.entryRow()), u"03.02.2024"_s);
        form.Button2->click(); // nothing left to undo
        QCOMPARE(table.recordCount(), 0);
        QVERIFY(m_log.texts.isEmpty());
    }

    void colourChangeSkipsUsedKeys_data()
    {
        QTest::addColumn<QList<quint32>>("used");
        QTest::addColumn<quint32>("chosen");
        QTest::addColumn<quint32>("marking");
        QTest::newRow("two below taken") << QList<quint32>{100, 99} << 101u << 98u;
        QTest::newRow("only the choice itself taken") << QList<quint32>{101} << 101u << 100u;
        QTest::newRow("initial colour, no records") << QList<quint32>{} << 9502719u << 9502718u;
        QTest::newRow("black wraps to just under white") << QList<quint32>{} << 0u << 0xFFFFFEu;
        QTest::newRow("one above black steps past black") << QList<quint32>{} << 1u << 0xFFFFFEu;
        QTest::newRow("white, just under it taken") << QList<quint32>{0xFFFFFE} << 0xFFFFFFu << 0xFFFFFDu;
    }
    void colourChangeSkipsUsedKeys()
    {
        QFETCH(QList<quint32>, used);
        QFETCH(quint32, chosen);
        QFETCH(quint32, marking);
        Form1 form(QDir::tempPath() + u'/');
        for (quint32 key : used)
            form.session().table().appendRecord(record(kPlan1, kLabelA, key), {});
        QColor openedWith;
        bool alpha = true;
        Dialogs::setResponder({{}, {}, [&](QColorDialog *dialog) {
                                   openedWith = dialog->currentColor();
                                   alpha = dialog->testOption(QColorDialog::ShowAlphaChannel);
                                   dialog->setCurrentColor(QColor::fromRgb(ColourKey::toRgb(chosen)));
                                   return true;
                               }});
        form.Button1->click();
        QCOMPARE(openedWith.rgb(), ColourKey::toRgb(ProjectSession::kInitialMarkingColour));
        QVERIFY(!alpha);
        QCOMPARE(form.session().markingColour, marking);
        QCOMPARE(form.session().colourDialogColour, chosen);
        QCOMPARE(form.Shape1->colour(), marking);
        QVERIFY(form.form2()->Shape1);
        QCOMPARE(form.form2()->Shape1->colour(), marking);

        // The next opening starts from this choice.
        form.Button1->click();
        QCOMPARE(openedWith.rgb(), ColourKey::toRgb(chosen));
    }

    void colourChangeCancelled()
    {
        Form1 form(QDir::tempPath() + u'/');
        Dialogs::setResponder({{}, {}, [](QColorDialog *dialog) {
                                   dialog->setCurrentColor(Qt::red);
                                   return false;
                               }});
        form.Button1->click();
        QCOMPARE(form.session().markingColour, ProjectSession::kInitialMarkingColour);
        QCOMPARE(form.session().colourDialogColour, ProjectSession::kInitialMarkingColour);
        QCOMPARE(form.Shape1->colour(), ProjectSession::kInitialMarkingColour);
    }
};

QTEST_MAIN(TestHover)
#include "tst_hover.moc"
