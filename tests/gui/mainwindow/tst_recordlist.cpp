#include "core/plan/colourkey.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/widgets/dialogs.h"
#include "messagelog.h"
#include "testrecord.h"

#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

RecordTable::Row record(const QString &plan, const QString &name, quint32 key, QPoint label)
{
    return roomRecord({.plan = plan, .name = name, .key = QString::number(key), .label = label});
}

QStringList names(const RecordTable &table)
{
    QStringList result;
    for (int r = 1; r <= table.recordCount(); ++r)
        result.append(table.cellText(RecordTable::Name, r));
    return result;
}

QList<int> selectedTableRows(const QTableView *grid)
{
    QList<int> rows;
    for (const QModelIndex &index : grid->selectionModel()->selectedIndexes())
        if (!rows.contains(index.row() + 1))
            rows.append(index.row() + 1);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void selectRange(Form1 &form, int top, int bottom)
{
    QAbstractItemModel *model = form.StringGrid1->model();
    form.StringGrid1->setCurrentIndex(model->index(top - 1, 1));
    form.StringGrid1->selectionModel()->select(
        QItemSelection(model->index(top - 1, 1), model->index(bottom - 1, 1)),
        QItemSelectionModel::ClearAndSelect);
}

} // namespace

class TestRecordList : public QObject
{
    Q_OBJECT

    MessageLog m_log;

private Q_SLOTS:
    void init() { m_log.install(); }
    void cleanup() { MessageLog::remove(); }

    void move_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("bottom");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<int>("selected");
        const QStringList abc = {u"A"_s, u"B"_s, u"C"_s};
        const QStringList bac = {u"B"_s, u"A"_s, u"C"_s};
        const QStringList acb = {u"A"_s, u"C"_s, u"B"_s};
        QTest::newRow("up from the middle") << 2 << 2 << true << bac << 1;
        QTest::newRow("up from the first record") << 1 << 1 << true << abc << 1;
        QTest::newRow("up from the last record") << 3 << 3 << true << acb << 2;
        QTest::newRow("up from the EntryRow") << 4 << 4 << true << abc << 3;
        QTest::newRow("down from the first record") << 1 << 1 << false << bac << 2;
        QTest::newRow("down from the last record") << 3 << 3 << false << abc << 4;
        QTest::newRow("down from the EntryRow") << 4 << 4 << false << abc << 4;
        QTest::newRow("up with a range") << 2 << 3 << true << bac << 1;
        QTest::newRow("down with a range") << 1 << 3 << false << bac << 2;
        QTest::newRow("down with a range to the EntryRow") << 2 << 4 << false << acb << 3;
    }
    void move()
    {
        QFETCH(int, top);
        QFETCH(int, bottom);
        QFETCH(bool, up);
        QFETCH(QStringList, order);
        QFETCH(int, selected);
        Form1 form(QDir::tempPath() + u'/');
        RecordTable &table = form.session().table();
        table.appendRecord(record(u"p.bmp"_s, u"A"_s, 11, {1, 1}), {});
        table.appendRecord(record(u"p.bmp"_s, u"B"_s, 12, {1, 1}), {});
        table.appendRecord(record(u"p.bmp"_s, u"C"_s, 13, {1, 1}), {});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        selectRange(form, top, bottom);
        QCOMPARE(form.selectedRow(), top);

        QTest::mouseClick(up ? form.BitBtn1 : form.BitBtn2, Qt::LeftButton);

        QCOMPARE(names(table), order);
        QCOMPARE(selectedTableRows(form.StringGrid1), QList<int>{selected});
        QCOMPARE(form.StringGrid1->currentIndex().row() + 1, selected);
        QCOMPARE(form.focusWidget(), form.StringGrid1);
        // The keys moved with their rows.
        QCOMPARE(table.rowOfColour(11), order.indexOf(u"A"_s) + 1);
        QVERIFY(m_log.texts.isEmpty());
    }

    void moveOnEmptyTableStaysOnEntryRow()
    {
        Form1 form(QDir::tempPath() + u'/');
        form.selectRow(1);
        form.BitBtn1->click();
        QCOMPARE(form.selectedRow(), 1);
        form.BitBtn2->click();
        QCOMPARE(form.selectedRow(), 1);
        QVERIFY(m_log.texts.isEmpty());
    }

    void doubleClickShowsAndBlinks_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("plan");
        QTest::addColumn<bool>("blinking");
        QTest::addColumn<int>("messages");
        QTest::newRow("record on another plan") << 2 << u"p2.bmp"_s << true << 0;
        QTest::newRow("record on the plan shown") << 1 << u"p1.bmp"_s << true << 0;
        QTest::newRow("EntryRow") << 4 << u"p1.bmp"_s << false << 0;
        QTest::newRow("plan file missing") << 3 << u"p1.bmp"_s << false << 1;
    }
    void doubleClickShowsAndBlinks()
    {
        QFETCH(int, row);
        QFETCH(QString, plan);
        QFETCH(bool, blinking);
        QFETCH(int, messages);
        QTemporaryDir dir;
        const QString programDir = dir.path() + u'/';
        QImage white(40, 30, QImage::Format_RGB32);
        white.fill(Qt::white);
        QVERIFY(white.save(programDir + u"p1.bmp"_s, "BMP"));
        QImage wide(60, 30, QImage::Format_RGB32);
        wide.fill(Qt::white);
        QVERIFY(wide.save(programDir + u"p2.bmp"_s, "BMP"));

        Form1 form(programDir);
        RecordTable &table = form.session().table();
        table.appendRecord(record(u"p1.bmp"_s, u"A"_s, 0x1020F0, {5, 5}), {});
        table.appendRecord(record(u"p2.bmp"_s, u"B"_s, 0x30A040, {7, 8}), {});
        table.appendRecord(record(u"gone.bmp"_s, u"C"_s, 0x5050A0, {1, 1}), {});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.selectRow(1);
        form.StringGrid1DblClick();
        QCOMPARE(form.session().currentPlan(), u"p1.bmp"_s);
        form.Timer1->stop();

        form.selectRow(row);
        const QPoint cell = form.StringGrid1->visualRect(form.StringGrid1->currentIndex()).center();
        QTest::mouseClick(form.StringGrid1->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(form.StringGrid1->viewport(), Qt::LeftButton, {}, cell);

        QCOMPARE(form.session().currentPlan(), plan);
        QCOMPARE(form.Label1->text(), plan);
        QCOMPARE(form.Image1->size(), form.session().planImage().size());
        QCOMPARE(form.Timer1->isActive(), blinking);
        QCOMPARE(m_log.texts.size(), messages);
        if (blinking) {
            QCOMPARE(form.BlinkRow, row);
            QCOMPARE(form.BlinkCount, 1);
        }
        // The plan shown wears the keys of its rooms, freshly loaded or not.
        const int shownRow = plan == u"p1.bmp"_s ? 1 : 2;
        const QPoint label(table.cellNumber(RecordTable::LabelX, shownRow),
                           table.cellNumber(RecordTable::LabelY, shownRow));
        QCOMPARE(ColourKey::fromRgb(form.session().planImage().pixel(label)) & ColourKey::kRgbMask,
                 static_cast<quint32>(table.cellNumber(RecordTable::ColourKey, shownRow)));
    }
};

QTEST_MAIN(TestRecordList)
#include "tst_recordlist.moc"
