#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/base/numbertext.h"
#include "core/model/recoveryfile.h"
#include "core/model/recoverywriter.h"
#include "core/plan/colourkey.h"
#include "core/reports/plancolouring.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/plan/scaletool.h"
#include "gui/records/form2.h"
#include "gui/reports/summarywindow.h"
#include "gui/widgets/dialogs.h"

#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kPlan = u"p.bmp"_s;

QImage plan()
{
    QImage image(1400, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The shown plan p.bmp split by a wall at x = 500 (rooms of 500 x 400 and 899 x 400 pixels)
// and a plan q.bmp of one room, 200 x 100, that is not shown; both saved in `work`.
void twoPlans(Form1 &form, const QString &work)
{
    QImage image = plan();
    for (int y = 0; y < image.height(); ++y)
        image.setPixel(500, y, qRgb(0, 0, 0));
    QVERIFY(image.save(work + kPlan, "BMP"));
    QImage other(200, 100, QImage::Format_RGB32);
    other.fill(Qt::white);
    QVERIFY(other.save(work + u"q.bmp"_s, "BMP"));
    RecordTable &table = form.session().table();
    const auto add = [&](const QString &planId, const QString &area, quint32 key, int x) {
        RecordTable::Row row;
        row[RecordTable::PlanId] = planId;
        row[RecordTable::Name] = u"к%1"_s.arg(table.recordCount() + 1);
        row[RecordTable::Area] = area;
        row[RecordTable::ColourKey] = QString::number(key);
        row[RecordTable::LabelX] = QString::number(x);
        row[RecordTable::LabelY] = u"50"_s;
        table.appendRecord(row, u"08.12.2026"_s);
    };
    add(kPlan, u"20,5"_s, 0x102030, 100); // 20 m² measured
    add(kPlan, u"30"_s, 0x405060, 900);   // 35,96 m² measured
    add(u"q.bmp"_s, u"2"_s, 0x708090, 50); // 2 m² measured
    form.session().plans().rebuild(table);
    form.fillTabs();
    form.session().showPlanFile(work + kPlan, kPlan);
    form.refreshPlanView();
    form.session().repaintPlanRooms();
    form.session().scales().setScale(kPlan, {0.01, QDate(2026, 12, 8)});
    form.session().scales().setScale(u"q.bmp"_s, {0.01, QDate(2026, 12, 8)});
    form.session().setModified(false);
}

QStringList column(QTreeWidget *tree, int c)
{
    QStringList cells;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        cells << tree->topLevelItem(i)->text(c);
    return cells;
}

QTreeWidgetItem *planRow(SummaryWindow *summary, const QString &planId)
{
    for (int i = 0; i < summary->PlanTable->topLevelItemCount(); ++i) {
        if (summary->PlanTable->topLevelItem(i)->text(0) == planId)
            return summary->PlanTable->topLevelItem(i);
    }
    return nullptr;
}

} // namespace

class TestScale : public QObject
{
    Q_OBJECT

    QStringList m_messages;
    QStringList m_questions;
    std::optional<QString> m_answer;

    void showPlan(Form1 &form)
    {
        form.session().setShownPlan(plan(), kPlan);
        form.refreshPlanView();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Scrolled, so that plan points and widget points would differ if mixed up.
        form.HorzScrollBar->setValue(30);
        QCOMPARE(form.Image1->pos().x(), -30);
    }

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        m_questions.clear();
        Dialogs::setResponder({[this](Dialogs::Kind, const QString &, const QString &text) {
                                   m_messages << text;
                                   return QMessageBox::Ok;
                               },
                               {}, {}, {},
                               [this](const QString &, const QString &label) {
                                   m_questions << label;
                                   return m_answer;
                               }});
    }
    void cleanup() { Dialogs::setResponder({}); }

    void twoClicksAndADistance_data()
    {
        QTest::addColumn<QPoint>("second");
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<double>("scale"); // 0: none stored
        QTest::addColumn<bool>("warned");
        QTest::newRow("across") << QPoint(400, 60) << std::optional<QString>(u"7,5"_s) << 7.5 / 300 << false;
        QTest::newRow("slanted, point decimal") << QPoint(400, 340) << std::optional<QString>(u" 25.0 "_s)
                                                << 25.0 / std::hypot(300.0, 280.0) << false;
        QTest::newRow("cancelled") << QPoint(400, 60) << std::optional<QString>() << 0.0 << false;
        QTest::newRow("not a number") << QPoint(400, 60) << std::optional<QString>(u"семь"_s) << 0.0 << true;
        QTest::newRow("zero metres") << QPoint(400, 60) << std::optional<QString>(u"0"_s) << 0.0 << true;
        QTest::newRow("the same point") << QPoint(100, 60) << std::optional<QString>(u"1"_s) << 0.0 << true;
        // Areas of such a plan would be infinite: refused, not kept as a mismatch of "nan %".
        QTest::newRow("1e200 metres") << QPoint(400, 60) << std::optional<QString>(u"1e200"_s) << 0.0 << true;
    }
    void twoClicksAndADistance()
    {
        QFETCH(QPoint, second);
        QFETCH(std::optional<QString>, answer);
        QFETCH(double, scale);
        QFETCH(bool, warned);
        m_answer = answer;
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form);
        QSignalSpy changed(&form, &Form1::scalesChanged);

        form.ScaleButton->click();
        QVERIFY(form.Scaler->isActive());
        const QPoint first(100, 60);
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, first);
        // Qt drops a move to where the pointer already is, as it may be from the row before.
        QTest::mouseMove(form.Image1, QPoint(251, 91));
        QTest::mouseMove(form.Image1, QPoint(250, 90));
        QCOMPARE(form.Scaler->rubberBand(), QLine(first, QPoint(250, 90)));
        // The clicks belong to the command: no hover text, no marking.
        QVERIFY(!form.Hinter->isVisible());
        QTest::mouseClick(form.Image1, Qt::RightButton, {}, QPoint(250, 90));
        QVERIFY(!form.form2()->isVisible());
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, second);

        QVERIFY(!form.Scaler->isActive());
        QCOMPARE(m_messages.size(), warned ? 1 : 0);
        const auto stored = form.session().scales().scale(kPlan);
        QCOMPARE(stored.has_value(), scale > 0);
        QCOMPARE(changed.size(), scale > 0 ? 1 : 0);
        QCOMPARE(form.session().modified(), scale > 0);
        if (stored) {
            QCOMPARE(m_questions.size(), 1);
            QVERIFY(std::abs(stored->metresPerPixel - scale) < 1e-12);
            QCOMPARE(stored->date, QDate::currentDate());
            QVERIFY(form.ScaleButton->toolTip().contains(NumberText::formatScale(stored->metresPerPixel)));
        }
    }

    void escapeCancels()
    {
        m_answer = u"1"_s;
        Form1 form(QDir::tempPath() + u'/');
        showPlan(form);
        form.ScaleButton->click();
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(100, 60));
        QTest::keyClick(form.StringGrid1, Qt::Key_Escape);
        QVERIFY(!form.Scaler->isActive());
        QCOMPARE(form.Scaler->rubberBand(), QLine());
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(400, 60));
        QVERIFY(m_questions.isEmpty());
        QVERIFY(!form.session().scales().scale(kPlan));
        // The plan has its mouse back: a held left button shows what lies under it.
        QTest::mousePress(form.Image1, Qt::LeftButton, {}, QPoint(400, 60));
        QVERIFY(form.Hinter->isVisible());
        QTest::mouseRelease(form.Image1, Qt::LeftButton, {}, QPoint(400, 60));
    }

    void mismatchView()
    {
        // A wall at x = 500 splits the plan: 500 x 400 pixels on the left, 899 x 400 on the right.
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        QImage image = plan();
        for (int y = 0; y < image.height(); ++y)
            image.setPixel(500, y, qRgb(0, 0, 0));
        QVERIFY(image.save(work + kPlan, "BMP"));
        Form1 form(work);
        RecordTable &table = form.session().table();
        const auto add = [&](const QString &area, quint32 key, int x) {
            RecordTable::Row row;
            row[RecordTable::PlanId] = kPlan;
            row[RecordTable::Area] = area;
            row[RecordTable::ColourKey] = QString::number(key);
            row[RecordTable::LabelX] = QString::number(x);
            row[RecordTable::LabelY] = u"50"_s;
            table.appendRecord(row, u"08.12.2026"_s);
        };
        add(u"20,5"_s, 0x102030, 100); // 20 m² measured
        add(u"30"_s, 0x405060, 900);   // 35,96 m² measured
        form.session().showPlanFile(work + kPlan, kPlan);
        form.refreshPlanView();
        form.session().repaintPlanRooms();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto display = [&](quint32 key) { return form.displayColours().displayOf(ColourKey::toRgb(key)); };

        form.ViewMode->setCurrentIndex(4);
        // No scale yet: every room keeps its key.
        QCOMPARE(display(0x102030), ColourKey::toRgb(0x102030));
        m_answer = u"5"_s; // 500 pixels: 0,01 m a pixel
        form.ScaleButton->click();
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(0, 10));
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(500, 10));
        QCOMPARE(display(0x102030), PlanColouring::kAgrees);
        QCOMPARE(display(0x405060), PlanColouring::kTypedSmaller);
        table.setCell(RecordTable::Area, 2, u"40"_s);
        QCOMPARE(display(0x405060), PlanColouring::kTypedLarger);
        QCOMPARE(form.ViewMode->currentText(), u"Расхождения"_s);
    }

    // The summary measures the plan not shown in the background, lists measured areas and
    // mismatches, stores a tolerance typed into it, and removes a plan's scale from the
    // window, the checks and the saved archive.
    void summaryChecksTheAreas()
    {
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        Form1 form(work);
        twoPlans(form, work);
        QStringList questions;
        Dialogs::setResponder({[&](Dialogs::Kind, const QString &, const QString &text) {
            questions << text;
            return QMessageBox::Yes;
        }, {}, {}});
        form.SummaryButton->click();
        SummaryWindow *summary = form.Summary;
        QVERIFY(summary->MeasureProgress->isVisible()); // q.bmp is loaded off the window's thread
        QTRY_VERIFY(!summary->MeasureProgress->isVisible());
        QCOMPARE(column(summary->AreaTable, 4), (QStringList{u"20"_s, u"35,96"_s, u"2"_s}));
        QCOMPARE(column(summary->AreaTable, 5), (QStringList{u"+2,5"_s, u"-16,6"_s, u"0"_s}));
        QCOMPARE(planRow(summary, kPlan)->text(12), u"0,01"_s);
        QCOMPARE(planRow(summary, kPlan)->text(13), u"55,96"_s);
        // The window speaks Russian; "area-mismatch" is the batch tool's word for scripts.
        QCOMPARE(column(summary->ProblemTable, 1), QStringList{u"расхождение площади"_s});
        QCOMPARE(summary->ProblemTable->topLevelItem(0)->text(0), u"2"_s);

        QCOMPARE(summary->Tolerance->value(), 10.0);
        summary->Tolerance->selectAll();
        QTest::keyClicks(summary->Tolerance, u"17"_s);
        QCOMPARE(form.session().scales().tolerance(), 10.0); // not at every digit
        QTest::keyClick(summary->Tolerance, Qt::Key_Return);
        QCOMPARE(form.session().scales().tolerance(), 17.0);
        QVERIFY(form.session().modified());
        QTRY_COMPARE(summary->ProblemTable->topLevelItemCount(), 0);
        QCOMPARE(column(summary->AreaTable, 6).count(u"в допуске"_s), 3);

        summary->PlanTable->setCurrentItem(planRow(summary, kPlan));
        QVERIFY(summary->RemoveScaleButton->isEnabled());
        summary->RemoveScaleButton->click();
        QCOMPARE(questions.size(), 1);
        QVERIFY(!form.session().scales().scale(kPlan));
        QCOMPARE(column(summary->AreaTable, 2), QStringList{u"q.bmp"_s});
        QCOMPARE(planRow(summary, kPlan)->text(12), QString());
        QCOMPARE(planRow(summary, kPlan)->text(13), QString());
        QCOMPARE(planRow(summary, u"q.bmp"_s)->text(13), u"2"_s);
        QVERIFY(!summary->RemoveScaleButton->isEnabled()); // the plan stays selected, now without one

        const QString archive = dir.path() + u"/s.zip"_s;
        ProjectArchive::save(form.session(), archive);
        const QByteArray scales = ZipReader(archive).readMember(PlanScales::fileName());
        QVERIFY(scales.startsWith("q.bmp;0,01;08.12.2026;17;"));
        QVERIFY(!scales.contains(kPlan.toLatin1()));
    }

    void changeScaleInTheSummary_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("warnings");
        QTest::newRow("typed") << std::optional<QString>(u"0,02"_s) << 0.02 << 0;
        QTest::newRow("cancelled") << std::optional<QString>() << 0.01 << 0;
        QTest::newRow("not a number") << std::optional<QString>(u"два"_s) << 0.01 << 1;
        QTest::newRow("negative") << std::optional<QString>(u"-0,02"_s) << 0.01 << 1;
        // Written as "0" with twelve decimals and lost at the next opening.
        QTest::newRow("too small to keep") << std::optional<QString>(u"1e-13"_s) << 0.01 << 1;
    }
    void changeScaleInTheSummary()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(double, scale);
        QFETCH(int, warnings);
        m_answer = answer;
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        Form1 form(work);
        twoPlans(form, work);
        QSignalSpy changed(&form, &Form1::scalesChanged);
        form.SummaryButton->click();
        SummaryWindow *summary = form.Summary;
        QTRY_VERIFY(!summary->MeasureProgress->isVisible());
        summary->PlanTable->setCurrentItem(planRow(summary, kPlan));
        form.recovery().setActive(true);
        summary->EditScaleButton->click();
        // A changed scale is unsaved work: the copy kept against a crash holds it.
        form.recovery().flush();
        QCOMPARE(RecoveryFile::exists(work), scale != 0.01);
        if (scale != 0.01)
            QCOMPARE(RecoveryFile::read(work).scales.scale(kPlan)->metresPerPixel, scale);
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(m_questions[0].contains(kPlan));
        QCOMPARE(m_messages.size(), warnings);
        QCOMPARE(form.session().scales().scale(kPlan)->metresPerPixel, scale);
        QCOMPARE(changed.size(), scale != 0.01 ? 1 : 0);
        QCOMPARE(form.session().modified(), scale != 0.01);
        QTRY_COMPARE(summary->AreaTable->topLevelItem(0)->text(4), scale == 0.02 ? u"80"_s : u"20"_s);
        if (scale == 0.02)
            QVERIFY(form.ScaleButton->toolTip().contains(u"0,02"_s));
    }

    // "Измерить на плане…" shows the chosen plan and starts the command on it.
    void measureFromTheSummary()
    {
        QTemporaryDir dir;
        const QString work = dir.path() + u'/';
        Form1 form(work);
        twoPlans(form, work);
        form.show();
        form.SummaryButton->click();
        SummaryWindow *summary = form.Summary;
        summary->PlanTable->setCurrentItem(planRow(summary, u"q.bmp"_s));
        summary->MeasureScaleButton->click();
        QCOMPARE(form.session().currentPlan(), u"q.bmp"_s);
        QCOMPARE(form.TabSet1->currentIndex(), 1);
        QVERIFY(form.Scaler->isActive());
        m_answer = u"4"_s;
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(form.Image1, Qt::LeftButton, {}, QPoint(110, 10));
        QCOMPARE(form.session().scales().scale(u"q.bmp"_s)->metresPerPixel, 0.04);
        QTRY_COMPARE(planRow(summary, u"q.bmp"_s)->text(12), u"0,04"_s);
    }

    void noPlanNoCommand()
    {
        Form1 form(QDir::tempPath() + u'/');
        form.ScaleButton->click();
        QVERIFY(!form.Scaler->isActive());
        QCOMPARE(m_messages.size(), 1);
    }
};

QTEST_MAIN(TestScale)
#include "tst_scale.moc"
