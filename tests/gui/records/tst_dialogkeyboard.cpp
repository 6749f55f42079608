#include "fixture.h"

#include "gui/plan/plancanvas.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

// The record dialog as the keyboard meets it: who has the focus when it opens, where Tab and
// Enter lead, and what closing it through the window manager leaves behind.
class TestDialogKeyboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensWithTheKeyboard_data()
    {
        QTest::addColumn<bool>("closedBefore");
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QString>("focused");
        QTest::newRow("new room") << false << Fixture::kLeftRoom << u"Edit1"_s;
        QTest::newRow("record, first showing") << false << Fixture::kRightRoom << u"Edit2"_s;
        QTest::newRow("record, after a closing") << true << Fixture::kRightRoom << u"Edit1"_s;
    }
    void opensWithTheKeyboard()
    {
        QFETCH(bool, closedBefore);
        QFETCH(QPoint, click);
        QFETCH(QString, focused);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30})});
        Form2 &d = f.dialog();
        if (closedBefore) {
            QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kLeftRoom);
            d.Button2->setFocus();
            QTest::mouseClick(d.Button1, Qt::LeftButton);
        }
        f.form->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), f.form.get());

        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, click);

        QTRY_COMPARE(QApplication::activeWindow(), &d);
        QCOMPARE(d.focusWidget()->objectName(), focused);
        // A window of the main window's: above it, not above every other program.
        QCOMPARE(d.windowType(), Qt::Dialog);
        QVERIFY(!(d.windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(d.windowHandle()->transientParent(), f.form->windowHandle());
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("tenantOfRow1");
        QTest::newRow("new room, Ввод") << Fixture::kLeftRoom << u"Button2"_s << 4 << u"A"_s;
        QTest::newRow("new room, Отмена") << Fixture::kLeftRoom << u"Button1"_s << 3 << u"A"_s;
        QTest::newRow("record, Ввод") << Fixture::kRightRoom << u"Button2"_s << 3 << u"typed"_s;
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(QPoint, click);
        QFETCH(QString, button);
        QFETCH(int, rows);
        QFETCH(QString, tenantOfRow1);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30})});
        const QImage before = f.session().planImage();
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, click);
        Form2 &d = f.dialog();
        d.Edit1->setText(u"typed"_s);
        auto *target = d.findChild<QPushButton *>(button);
        target->setFocus();

        QTest::keyClick(target, Qt::Key_Return);

        QVERIFY(!d.isVisible());
        QCOMPARE(f.table().tableRows(), rows);
        QCOMPARE(f.table().cellText(RecordTable::Tenant, 1), tenantOfRow1);
        if (button == u"Button1"_s)
            QCOMPARE(f.session().planImage(), before);
    }

    void tabFollowsTheFields_data()
    {
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QStringList>("chain");
        QTest::newRow("new room") << Fixture::kLeftRoom
                                  << QStringList{u"Edit1"_s, u"Edit2"_s, u"Edit3"_s, u"Button1"_s,
                                                 u"Button2"_s, u"Edit4"_s, u"RadioItem0"_s, u"Edit1"_s};
        QTest::newRow("record: no cancel, no label move")
            << Fixture::kRightRoom
            << QStringList{u"Edit1"_s, u"Edit2"_s, u"Edit3"_s, u"Button2"_s, u"Edit4"_s, u"RadioItem2"_s,
                           u"Edit1"_s};
    }
    void tabFollowsTheFields()
    {
        QFETCH(QPoint, click);
        QFETCH(QStringList, chain);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30}, u"прво"_s)});
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, click);
        Form2 &d = f.dialog();
        d.Edit1->setFocus();
        QStringList visited{d.focusWidget()->objectName()};
        for (qsizetype i = 1; i < chain.size(); ++i) {
            QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
            visited.append(d.focusWidget()->objectName());
        }
        QCOMPARE(visited, chain);
    }

    void windowManagerCloseCancels_data()
    {
        QTest::addColumn<QPoint>("click");
        QTest::newRow("new room") << Fixture::kLeftRoom;
        QTest::newRow("record") << Fixture::kRightRoom;
    }
    void windowManagerCloseCancels()
    {
        QFETCH(QPoint, click);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30})});
        const QImage before = f.session().planImage();
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, click);
        Form2 &d = f.dialog();
        d.Edit1->setText(u"typed"_s);
        d.Button2->setFocus();

        QVERIFY(d.close());

        QVERIFY(!d.isVisible());
        QCOMPARE(f.session().planImage(), before);
        QCOMPARE(f.table().tableRows(), 3);
        QCOMPARE(f.table().cellText(RecordTable::Tenant, 1), u"A"_s);
        QCOMPARE(d.focusWidget(), d.Edit1);
    }
};

int runDialogKeyboardTests(int argc, char **argv)
{
    TestDialogKeyboard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogkeyboard.moc"
