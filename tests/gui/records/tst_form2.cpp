#include "fixture.h"

#include "gui/plan/plancanvas.h"
#include "gui/widgets/colourswatch.h"

#include <QClipboard>
#include <QColorDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString kGone = u"Запись, открытая для редактирования, больше не существует (её удалили или открыли "
                      u"другой проект). Изменения не записаны."_s;

RecordTable::Row entryRow(const QString &d1, const QString &d2)
{
    RecordTable::Row entry;
    entry[RecordTable::ColourKey] = d1;
    entry[RecordTable::LabelY] = d2;
    return entry;
}

void typeRecord(Form2 &d)
{
    d.Edit1->setText(u"Тенант"_s);
    d.Edit2->setText(u"25,5"_s);
    d.Edit3->setText(u"прим"_s);
    d.Edit4->setText(u"Зал"_s);
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newRecordFullCommit()
    {
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30})}, entryRow(u"d1"_s, u"d2"_s));
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kLeftRoom);
        Form2 &d = f.dialog();
        typeRecord(d);
        QTest::mouseClick(d.RadioItems[2], Qt::LeftButton);

        QTest::mouseClick(d.Button2, Qt::LeftButton);

        const RecordTable::Row expected = {Fixture::kPlan, u"Зал"_s, u"прво"_s, u"25,5"_s, u"Тенант"_s,
                                           u"прим"_s, u"9502718"_s, u"10"_s, u"10"_s};
        QCOMPARE(f.table().row(2), expected);
        QCOMPARE(f.table().entryRow(), 3);
        QCOMPARE(f.table().row(3), entryRow(RecordTable::today(), u"d2"_s));
        QCOMPARE(f.form->Label3->text(), QString::number(f.table().tableRows() - 1));
        QVERIFY(!d.isVisible());
        QCOMPARE(d.focusWidget(), d.Edit1);
    }

    // Which commit stamps which EntryRow date: a new record the creation date, an edit the
    // edit date; the quick commit (Enter in the last field) none.
    void commitDates_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("quick");
        QTest::addColumn<int>("recordRow");
        QTest::addColumn<RecordTable::Row>("entry");
        const QString today = RecordTable::today();
        QTest::newRow("edit, full") << true << false << 1 << entryRow(u"d1"_s, today);
        QTest::newRow("edit, quick") << true << true << 1 << entryRow(u"d1"_s, u"d2"_s);
        QTest::newRow("new, quick") << false << true << 2 << entryRow(u"d1"_s, u"d2"_s);
    }
    void commitDates()
    {
        QFETCH(bool, edit);
        QFETCH(bool, quick);
        QFETCH(int, recordRow);
        QFETCH(RecordTable::Row, entry);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30}, u"склд"_s)}, entryRow(u"d1"_s, u"d2"_s));
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, edit ? Fixture::kRightRoom : Fixture::kLeftRoom);
        Form2 &d = f.dialog();
        d.Edit1->setText(u"новый"_s);
        if (quick)
            QTest::keyClick(d.Edit3, Qt::Key_Return);
        else
            QTest::mouseClick(d.Button2, Qt::LeftButton);

        QCOMPARE(f.table().cellText(RecordTable::Tenant, recordRow), u"новый"_s);
        QCOMPARE(f.table().row(f.table().entryRow()), entry);
        QVERIFY(!d.isVisible());
        if (edit) {
            // No type selected keeps the code the record has.
            QCOMPARE(f.table().cellText(RecordTable::Type, 1), u"склд"_s);
            QCOMPARE(f.table().entryRow(), 2);
        }
    }

    void cancelPaintsTheRoomBack()
    {
        Fixture f;
        const QImage before = f.session().planImage();
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kLeftRoom);
        Form2 &d = f.dialog();
        QVERIFY(f.session().planImage() != before);
        typeRecord(d);

        QTest::mouseClick(d.Button1, Qt::LeftButton);

        QCOMPARE(f.session().planImage(), before);
        QCOMPARE(f.table().tableRows(), 2);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.Edit1->text(), u"Тенант"_s);
        QCOMPARE(d.focusWidget(), d.Edit1);
    }

    void abandonPaintsBackOnlyANewRoom_data()
    {
        QTest::addColumn<QPoint>("click");
        QTest::newRow("new room") << Fixture::kLeftRoom;
        QTest::newRow("edited room") << Fixture::kRightRoom;
    }
    void abandonPaintsBackOnlyANewRoom()
    {
        QFETCH(QPoint, click);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30})});
        const QImage before = f.session().planImage();
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, click);

        f.dialog().abandon();

        QCOMPARE(f.session().planImage(), before);
        QVERIFY(!f.dialog().isVisible());
        QCOMPARE(f.table().tableRows(), 3);
    }

    void enterMovesThroughTheFieldsWithoutCommitting()
    {
        Fixture f;
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kLeftRoom);
        Form2 &d = f.dialog();
        QCOMPARE(d.focusWidget(), d.Edit1);
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        QCOMPARE(d.focusWidget(), d.Edit2);
        QTest::keyClick(d.Edit2, Qt::Key_Enter);
        QCOMPARE(d.focusWidget(), d.Edit4);
        QTest::keyClick(d.Edit4, Qt::Key_Return);
        QCOMPARE(d.focusWidget(), d.Edit3);
        QTest::keyClick(d.RadioItems[0], Qt::Key_Return);
        QCOMPARE(f.table().tableRows(), 2);
        QVERIFY(d.isVisible());
        QTest::keyClick(d.Edit3, Qt::Key_Return);
        QCOMPARE(f.table().tableRows(), 3);
        QVERIFY(!d.isVisible());
    }

    void fieldsDropWhatTheFileCannotHold_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("area: dot becomes comma") << u"Edit2"_s << u"12.5"_s << QString() << u"12,5"_s;
        QTest::newRow("area: letters dropped") << u"Edit2"_s << u"1a2 b"_s << QString() << u"12"_s;
        QTest::newRow("area: paste filtered") << u"Edit2"_s << u"7"_s << u"x3.4;5 м2"_s << u"73,452"_s;
        QTest::newRow("tenant: separator") << u"Edit1"_s << u"a;b"_s << QString() << u"ab"_s;
        QTest::newRow("tenant: paste with line end")
            << u"Edit1"_s << QString() << u"ООО\r\nРога;Копыта"_s << u"ОООРогаКопыта"_s;
        QTest::newRow("info: outside the code page") << u"Edit3"_s << u"a"_s << u"中€b"_s << u"a€b"_s;
        QTest::newRow("name: separator pasted") << u"Edit4"_s << u"x"_s << u";1"_s << u"x1"_s;
    }
    void fieldsDropWhatTheFileCannotHold()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        Fixture f;
        auto *edit = f.dialog().findChild<QLineEdit *>(field);
        QVERIFY(edit);
        QTest::keyClicks(edit, typed);
        if (!pasted.isEmpty()) {
            QGuiApplication::clipboard()->setText(pasted);
            if (QGuiApplication::clipboard()->text() == pasted)
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            else
                edit->insert(pasted); // the same path a paste takes
        }
        QCOMPARE(edit->text(), expected);
    }

    void backspaceWorksInTheArea()
    {
        Fixture f;
        QLineEdit *edit = f.dialog().Edit2;
        QTest::keyClicks(edit, u"12.5"_s);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), u"12"_s);
        QTest::keyClicks(edit, u".75"_s);
        QCOMPARE(edit->text(), u"12,75"_s);
    }

    void colourChoiceSkipsKeysInUse_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<quint32>("chosen");
        QTest::addColumn<quint32>("swatch");
        QTest::newRow("free") << true << 700u << 700u;
        QTest::newRow("two in use") << true << 600u << 598u;
        QTest::newRow("cancelled") << false << 600u << 9502718u;
        // White is every unmarked floor and black the walls: neither becomes a room's key.
        QTest::newRow("white") << true << 0xFFFFFFu << 0xFFFFFEu;
        QTest::newRow("black") << true << 0u << 0xFFFFFEu;
    }
    void colourChoiceSkipsKeysInUse()
    {
        QFETCH(bool, confirmed);
        QFETCH(quint32, chosen);
        QFETCH(quint32, swatch);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 600, {35, 30}), Fixture::elsewhere(Fixture::record(u"B"_s, 599, {1, 1}))});
        f.session().colourDialogColour = 1234;
        quint32 openedWith = 0;
        Dialogs::setResponder({[&](Dialogs::Kind, const QString &, const QString &) { return QMessageBox::Ok; },
                               {},
                               [&](QColorDialog *dialog) {
                                   openedWith = ColourKey::fromRgb(dialog->currentColor().rgb());
                                   dialog->setCurrentColor(QColor::fromRgb(ColourKey::toRgb(chosen)));
                                   return confirmed;
                               }});
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kLeftRoom);
        const QImage before = f.session().planImage();

        QTest::mouseClick(f.dialog().Shape1, Qt::LeftButton);

        QCOMPARE(openedWith, 1234u);
        QCOMPARE(f.dialog().Shape1->colour(), swatch);
        QCOMPARE(f.session().colourDialogColour, confirmed ? chosen : 1234u);
        QCOMPARE(f.session().planImage(), before);
    }

    // The dialog stays open while the main window changes the table under it.
    void editCommitFindsItsRecordByKey_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("writtenRow");
        QTest::newRow("another record undone") << u"undo"_s << 1;
        QTest::newRow("rows swapped") << u"swap"_s << 2;
        QTest::newRow("own record undone") << u"undo own"_s << 0;
        QTest::newRow("another project") << u"replace"_s << 0;
    }
    void editCommitFindsItsRecordByKey()
    {
        QFETCH(QString, change);
        QFETCH(int, writtenRow);
        Fixture f;
        const std::vector<RecordTable::Row> records = {Fixture::record(u"A"_s, 500, {5, 5}),
                                                       Fixture::record(u"B"_s, 600, {35, 30})};
        f.setRecords(change == u"undo"_s ? std::vector{records[0], records[1], Fixture::elsewhere(Fixture::record(u"C"_s, 700, {1, 1}))}
                                         : records);
        const QPoint click = change == u"undo own"_s ? Fixture::kRightRoom : Fixture::kLeftRoom;
        QTest::mouseClick(f.form->Image1, Qt::MiddleButton, {}, click);
        Form2 &d = f.dialog();
        QCOMPARE(d.mode(), Form2::Mode::Edit);
        d.Edit1->setText(u"изменено"_s);

        if (change == u"undo"_s || change == u"undo own"_s)
            QVERIFY(f.table().removeLastRecord());
        else if (change == u"swap"_s)
            f.table().swapRows(1, 2);
        else
            f.table().replaceRows({Fixture::record(u"X"_s, 900, {1, 1}), RecordTable::Row{}});
        std::vector<RecordTable::Row> before;
        for (int r = 0; r < f.table().tableRows(); ++r)
            before.push_back(f.table().row(r));

        QTest::mouseClick(d.Button2, Qt::LeftButton);

        QVERIFY(!d.isVisible());
        if (writtenRow == 0) {
            QCOMPARE(f.messages.size(), 1);
            QCOMPARE(f.messages[0].kind, Dialogs::Kind::Warning);
            QCOMPARE(f.messages[0].title, u"Ошибка"_s);
            QCOMPARE(f.messages[0].text, kGone);
            for (int r = 0; r < f.table().tableRows(); ++r)
                QCOMPARE(f.table().row(r), before[static_cast<size_t>(r)]);
            return;
        }
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(f.table().cellText(RecordTable::Tenant, writtenRow), u"изменено"_s);
        QCOMPARE(f.table().cellText(RecordTable::ColourKey, writtenRow), u"500"_s);
        QCOMPARE(f.table().cellText(RecordTable::Tenant, 3 - writtenRow), u"B"_s);
    }

    void labelMoveWritesTheWholeRecord_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::newRow("edit mode") << true;
        QTest::newRow("new mode") << false;
    }
    void labelMoveWritesTheWholeRecord()
    {
        QFETCH(bool, edit);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30})}, entryRow(u"d1"_s, u"d2"_s));
        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kRightRoom);
        Form2 &d = f.dialog();
        if (!edit) {
            d.openNew(700, {3, 4}, f.table().entryRow(), Fixture::kPlan);
            d.SpeedButton1Click();
            QCOMPARE(d.labelPoint(), QPoint(3, 4));
            QVERIFY(d.isVisible());
            QCOMPARE(f.table().tableRows(), 3);
            return;
        }
        d.Edit3->setText(u"перенесено"_s);
        const QImage before = f.session().planImage();

        QTest::mouseClick(d.SpeedButton1, Qt::LeftButton);

        const RecordTable::Row expected = {Fixture::kPlan, u"room A"_s, QString(), u"10"_s, u"A"_s,
                                           u"перенесено"_s, u"500"_s, u"40"_s, u"20"_s};
        QCOMPARE(f.table().row(1), expected);
        QCOMPARE(f.table().row(2), entryRow(u"d1"_s, RecordTable::today()));
        QCOMPARE(f.session().planImage(), before);
        QVERIFY(!d.isVisible());
    }

    void captionsRebuildTheTypeItems()
    {
        Fixture f;
        Form2 &d = f.dialog();
        d.RadioItems[3]->setChecked(true);
        Captions c = Captions::defaults();
        for (int i = 0; i < Captions::Count; ++i)
            c[i] = u"c%1"_s.arg(i);
        d.setCaptions(c);
        QCOMPARE(d.RadioButtons->checkedId(), -1);
        QCOMPARE(d.Label3->text(), u"c0"_s);
        QCOMPARE(d.Label4->text(), u"c1"_s);
        QCOMPARE(d.Label11->text(), u"c2"_s);
        QCOMPARE(d.RadioGroup1->title(), u"c3"_s);
        QCOMPARE(d.RadioItems[0]->text(), u"c4"_s);
        QCOMPARE(d.RadioItems[4]->text(), u"c8"_s);
        QCOMPARE(d.Label10->text(), u"c9"_s);
    }
};

int runForm2Tests(int argc, char **argv)
{
    TestForm2 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form2.moc"
