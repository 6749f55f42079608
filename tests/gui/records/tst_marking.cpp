#include "fixture.h"

#include "gui/plan/plancanvas.h"
#include "gui/widgets/colourswatch.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestMarking : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rightClickMarksNewRoom_data()
    {
        QTest::addColumn<QList<quint32>>("usedKeys");
        QTest::addColumn<quint32>("roomKey");
        QTest::addColumn<quint32>("markingColour");
        QTest::newRow("first room") << QList<quint32>{} << 9502718u << 9502718u;
        QTest::newRow("next key in use") << QList<quint32>{9502717} << 9502716u << 9502717u;
        QTest::newRow("two keys in use") << QList<quint32>{9502718, 9502717} << 9502716u << 9502718u;
        // Stepping below black stays a readable 24-bit key and skips white.
        QTest::newRow("below black") << QList<quint32>{0} << 0xFFFFFEu << 0u;
        // A marking colour just above black whose next key is taken: black is no free key, even
        // when no record claims it.
        QTest::newRow("black free but reserved") << QList<quint32>{1} << 0xFFFFFEu << 1u;
    }
    void rightClickMarksNewRoom()
    {
        QFETCH(QList<quint32>, usedKeys);
        QFETCH(quint32, roomKey);
        QFETCH(quint32, markingColour);
        Fixture f;
        std::vector<RecordTable::Row> records;
        for (quint32 key : usedKeys)
            records.push_back(Fixture::elsewhere(Fixture::record(u"other"_s, key, {1, 1})));
        f.setRecords(records);
        if (!usedKeys.isEmpty())
            f.session().markingColour = usedKeys.constFirst() + 1;
        const int entryRow = f.table().entryRow();

        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kLeftRoom);

        QCOMPARE(f.keyAt(Fixture::kLeftRoom), roomKey);
        QCOMPARE(f.keyAt({29, 38}), roomKey);
        QCOMPARE(f.keyAt(Fixture::kRightRoom), ProjectSession::kWhite);
        QCOMPARE(f.keyAt({30, 10}), 0u);
        QCOMPARE(f.session().markingColour, markingColour);
        QCOMPARE(f.form->Shape1->colour(), markingColour);
        QCOMPARE(f.session().restoreColour, ProjectSession::kWhite);
        QCOMPARE(f.form->Shape2->colour(), ProjectSession::kWhite);
        Form2 &d = f.dialog();
        QVERIFY(d.isVisible());
        QCOMPARE(d.mode(), Form2::Mode::New);
        QCOMPARE(d.Shape1->colour(), roomKey);
        QCOMPARE(d.row(), entryRow);
        QCOMPARE(d.Label8->text(), QString::number(entryRow));
        QCOMPARE(d.Label9->text(), Fixture::kPlan);
        QCOMPARE(d.labelPoint(), Fixture::kLeftRoom);
        QCOMPARE(d.RadioButtons->checkedId(), -1);
        QCOMPARE(d.Led->text(), u"Ввод записи"_s);
        QVERIFY(!d.Button1->isHidden());
        QVERIFY(d.SpeedButton1->isHidden());
        QCOMPARE(f.table().entryRow(), entryRow);
    }

    void clickOnMarkedRoomOpensItsRecord_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("checked");
        QTest::newRow("right, office") << Qt::RightButton << u"офис"_s << 1;
        QTest::newRow("middle, other") << Qt::MiddleButton << u"проч"_s << 4;
        QTest::newRow("right, unknown type") << Qt::RightButton << u"дом"_s << -1;
    }
    void clickOnMarkedRoomOpensItsRecord()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QString, type);
        QFETCH(int, checked);
        Fixture f;
        f.setRecords({Fixture::record(u"A"_s, 500, {5, 5}), Fixture::record(u"B"_s, 600, {35, 30}, type)});
        const QImage before = f.session().planImage();

        QTest::mouseClick(f.form->Image1, button, {}, Fixture::kRightRoom);

        Form2 &d = f.dialog();
        QVERIFY(d.isVisible());
        QCOMPARE(d.mode(), Form2::Mode::Edit);
        QCOMPARE(d.row(), 2);
        QCOMPARE(d.Edit1->text(), u"B"_s);
        QCOMPARE(d.Edit4->text(), u"room B"_s);
        QCOMPARE(d.Edit2->text(), u"10"_s);
        QCOMPARE(d.Edit3->text(), u"info"_s);
        QCOMPARE(d.Shape1->colour(), 600u);
        QCOMPARE(d.labelPoint(), QPoint(35, 30));
        QCOMPARE(d.candidatePoint(), Fixture::kRightRoom);
        QCOMPARE(d.RadioButtons->checkedId(), checked);
        QCOMPARE(d.Led->text(), u"Редактирование записи"_s);
        QVERIFY(d.Button1->isHidden());
        QVERIFY(!d.SpeedButton1->isHidden());
        QCOMPARE(f.session().planImage(), before);
        QCOMPARE(f.session().markingColour, ProjectSession::kInitialMarkingColour);
    }

    void middleClickOnUnmarkedRoomOnlyRefreshesCaptions()
    {
        Fixture f;
        f.session().captions()[Captions::Tenant] = u"Жильцы"_s;
        const QImage before = f.session().planImage();

        QTest::mouseClick(f.form->Image1, Qt::MiddleButton, {}, Fixture::kLeftRoom);

        QCOMPARE(f.dialog().Label3->text(), u"Жильцы"_s);
        QVERIFY(!f.dialog().isVisible());
        QCOMPARE(f.session().planImage(), before);
        QCOMPARE(f.table().entryRow(), 1);
        QCOMPARE(f.session().markingColour, ProjectSession::kInitialMarkingColour);
        QVERIFY(f.messages.isEmpty());
    }

    void finishedProjectTakesNoNewRoom()
    {
        Fixture f;
        RecordTable::Row entry;
        entry[RecordTable::LabelX] = RecordTable::finishedMarker();
        f.setRecords({Fixture::record(u"A"_s, 500, {35, 30})}, entry);
        QVERIFY(f.table().isFinished());
        const QImage before = f.session().planImage();

        QTest::mouseClick(f.form->Image1, Qt::RightButton, {}, Fixture::kLeftRoom);

        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].kind, Dialogs::Kind::Notice);
        QCOMPARE(f.messages[0].title, u"НЕРЕДАКТ"_s);
        QCOMPARE(f.messages[0].text, u"В данный файл нельзя вносить новые записи. Файл завершён."_s);
        QCOMPARE(f.session().planImage(), before);
        QVERIFY(!f.dialog().isVisible());
        QCOMPARE(f.session().markingColour, ProjectSession::kInitialMarkingColour);
    }

    void newPlanKeepsItsPathEvenWhenItFailsToLoad_data()
    {
        QTest::addColumn<bool>("loadable");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refused"); // the character the message names
        QTest::newRow("bitmap") << true << u"floor2.bmp"_s << QString();
        QTest::newRow("not a bitmap") << false << u"floor2.bmp"_s << QString();
        QTest::newRow("code page character") << true << u"этаж №2 €.bmp"_s << QString();
        // The name becomes every record's plan id in the description file.
        QTest::newRow("separator") << true << u"a;b.bmp"_s << u"«;»"_s;
        QTest::newRow("outside the code page") << true << u"план中.bmp"_s << u"«中»"_s;
        QTest::newRow("line end") << true << u"a\nb.bmp"_s << u"U+000A"_s;
    }
    void newPlanKeepsItsPathEvenWhenItFailsToLoad()
    {
        QFETCH(bool, loadable);
        QFETCH(QString, name);
        QFETCH(QString, refused);
        name.replace(u"\\n"_s, u"\n"_s);
        Fixture f;
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (loadable) {
            QImage plan(20, 10, QImage::Format_RGB32);
            plan.fill(Qt::white);
            QVERIFY(plan.save(path, "BMP"));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a bitmap");
        }
        Dialogs::setResponder({[&](Dialogs::Kind kind, const QString &title, const QString &text) {
                                   f.messages.append({kind, title, text});
                                   return QMessageBox::Ok;
                               },
                               [&](QFileDialog *) { return path; }, {}});

        QTest::mouseClick(f.form->SpeedButton1, Qt::LeftButton);

        if (!refused.isEmpty()) {
            QCOMPARE(f.messages.size(), 1);
            QCOMPARE(f.messages[0].kind, Dialogs::Kind::Warning);
            QVERIFY2(f.messages[0].text.contains(refused), qPrintable(f.messages[0].text));
            QCOMPARE(f.session().planPaths().planFileIndex(name), 0);
            QCOMPARE(f.session().currentPlan(), Fixture::kPlan);
            return;
        }
        QVERIFY(f.session().planPaths().planFileIndex(name) > 0);
        QCOMPARE(f.session().currentPlan(), loadable ? name : Fixture::kPlan);
        QCOMPARE(f.form->Label1->text(), f.session().currentPlan());
        QCOMPARE(f.session().planImage().size(), loadable ? QSize(20, 10) : QSize(60, 40));
        QCOMPARE(f.messages.size(), loadable ? 0 : 1);
        if (!loadable)
            QCOMPARE(f.messages[0].kind, Dialogs::Kind::Critical);
    }
};

int runMarkingTests(int argc, char **argv)
{
    TestMarking test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_marking.moc"
