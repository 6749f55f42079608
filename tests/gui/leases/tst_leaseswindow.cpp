#include "core/leases/leasebook.h"
#include "core/model/projectsession.h"
#include "gui/leases/leasedialog.h"
#include "gui/leases/leaseswindow.h"
#include "gui/leases/leasetablemodel.h"
#include "gui/widgets/dialogs.h"
#include "testrecord.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestLeasesWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ProjectSession> m_session;
    std::unique_ptr<LeasesWindow> m_window;
    QStringList m_asked;  // questions asked, in order
    QStringList m_warned; // warnings shown
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    std::optional<Lease> m_edited; // what the form returns
    Lease m_offered;               // what the form was opened with

    static QDate today() { return QDate::currentDate(); }
    LeaseBook &book() { return LeaseBook::of(*m_session); }
    void select(int row) { m_window->Table->selectRow(row); }

private Q_SLOTS:
    void init()
    {
        Dialogs::setResponder({[this](Dialogs::Kind kind, const QString &, const QString &text) {
                                   (kind == Dialogs::Kind::Question ? m_asked : m_warned) << text;
                                   return kind == Dialogs::Kind::Question ? m_answer : QMessageBox::Ok;
                               },
                               {},
                               {}});
        m_asked.clear();
        m_warned.clear();
        m_answer = QMessageBox::Yes;
        m_session = std::make_unique<ProjectSession>(m_dir.path() + u'/');
        RecordTable &table = m_session->table();
        table.appendRecord(roomRecord({.plan = u"a.bmp"_s,
                                       .name = u"101"_s,
                                       .area = u"50"_s,
                                       .tenant = u"Альфа"_s,
                                       .key = u"101"_s}),
                           u"d"_s);
        table.appendRecord(
            roomRecord({.plan = u"a.bmp"_s, .name = u"102"_s, .area = u"30"_s, .key = u"102"_s}), u"d"_s);
        table.appendRecord(
            roomRecord({.plan = u"b.bmp"_s, .name = u"201"_s, .area = u"20"_s, .key = u"201"_s}), u"d"_s);
        Lease alpha;
        alpha.rooms = {LeaseRoom{101, u"a.bmp"_s}};
        alpha.tenant = u"Альфа"_s;
        alpha.start = QDate(2020, 1, 1);
        alpha.end = today().addDays(30);
        alpha.rate = 1000;
        book().add(alpha, table);
        m_session->setModified(false);
        m_window = std::make_unique<LeasesWindow>(*m_session);
        m_window->setEditor([this](const Lease &initial, int) {
            m_offered = initial;
            return m_edited;
        });
        m_window->showAll();
    }
    void cleanup()
    {
        m_window.reset();
        m_session.reset();
        Dialogs::setResponder({});
    }

    void modelIsSound()
    {
        LeaseTableModel model(m_session->table());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.reset(&book(), {}, {}, today());
        QCOMPARE(model.rowCount(), 1);
        // 50 m² at 1000 a m².
        QCOMPARE(model.data(model.index(0, LeaseTableModel::Rent)).toString(), u"50000"_s);
        model.reset(&book(), {102}, {}, today());
        QCOMPARE(model.rowCount(), 0);
    }

    // End today, then renew from the day after: the form is offered the new span, the two
    // leases do not meet, and the room's record keeps its tenant (nothing to offer).
    void endAndRenew()
    {
        QSignalSpy edited(m_window.get(), &LeasesWindow::leasesEdited);
        select(0);
        m_window->EndButton->click();
        QCOMPARE(book().lease(0).end, today());
        QVERIFY(m_session->modified());
        select(0);
        m_edited = std::nullopt;
        m_window->RenewButton->click();
        QCOMPARE(m_offered.start, today().addDays(1));
        QCOMPARE(m_offered.tenant, u"Альфа"_s);
        m_edited = m_offered;
        select(0);
        m_window->RenewButton->click();
        QCOMPARE(book().count(), 2);
        QVERIFY(book().overlaps().empty());
        QCOMPARE(edited.count(), 2);
        QVERIFY(m_asked.isEmpty());
        QVERIFY(m_warned.isEmpty());
    }

    // A new lease of a vacant room from today offers its tenant for the record; No keeps it.
    void tenantOfferedForTheRecord_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("tenant");
        QTest::newRow("yes") << int(QMessageBox::Yes) << u"Бета"_s;
        QTest::newRow("no") << int(QMessageBox::No) << QString();
    }
    void tenantOfferedForTheRecord()
    {
        QFETCH(int, answer);
        QFETCH(QString, tenant);
        m_answer = QMessageBox::StandardButton(answer);
        Lease beta;
        beta.rooms = {LeaseRoom{102, u"a.bmp"_s}, LeaseRoom{201, u"b.bmp"_s}};
        beta.tenant = u"Бета"_s;
        beta.start = today();
        m_edited = beta;
        m_window->AddButton->click();
        QCOMPARE(book().count(), 2);
        QCOMPARE(m_asked.size(), 1);
        QVERIFY(m_asked[0].contains(u"«Бета»"_s));
        QCOMPARE(m_session->table().cellText(RecordTable::Tenant, 2), tenant);
        QCOMPARE(m_session->table().cellText(RecordTable::Tenant, 3), tenant);
        QCOMPARE(m_window->Table->model()->rowCount(), 2);
    }

    // The book refuses what overlaps: the window says so, nothing changes.
    void overlapRefused()
    {
        Lease other;
        other.rooms = {LeaseRoom{101, u"a.bmp"_s}};
        other.tenant = u"Гамма"_s;
        other.start = today();
        m_edited = other;
        m_window->AddButton->click();
        QCOMPARE(book().count(), 1);
        QCOMPARE(m_warned.size(), 1);
        QVERIFY(m_warned[0].contains(u"Гамма"_s) && m_warned[0].contains(u"Альфа"_s));
        QVERIFY(!m_session->modified());
    }

    void removeAsks()
    {
        m_answer = QMessageBox::No;
        select(0);
        m_window->RemoveButton->click();
        QCOMPARE(book().count(), 1);
        m_answer = QMessageBox::Yes;
        select(0);
        m_window->RemoveButton->click();
        QCOMPARE(book().count(), 0);
        QVERIFY(!m_window->EditButton->isEnabled());
    }

    // The form keeps what it cannot take and says why.
    void formRefusesBadInput_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<bool>("taken");
        QTest::newRow("good") << u"01.02.2031"_s << u"31.01.2032"_s << u"1250,5"_s << true;
        QTest::newRow("no such day") << u"30.02.2031"_s << QString() << QString() << false;
        QTest::newRow("end first") << u"01.02.2031"_s << u"01.01.2031"_s << QString() << false;
        QTest::newRow("rate") << u"01.02.2031"_s << QString() << u"12,5,1"_s << false;
    }
    void formRefusesBadInput()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, rate);
        QFETCH(bool, taken);
        Lease initial;
        initial.rooms = {LeaseRoom{201, u"b.bmp"_s}};
        LeaseDialog dialog(m_session->table(), book(), initial, -1);
        dialog.TenantEdit->setText(u"Дельта"_s);
        dialog.StartEdit->setText(start);
        dialog.EndEdit->setText(end);
        dialog.RateEdit->setText(rate);
        QCOMPARE(dialog.take(), taken);
        QCOMPARE(m_warned.size(), taken ? 0 : 1);
        if (taken) {
            QCOMPARE(dialog.lease().rooms.size(), 1);
            QCOMPARE(dialog.lease().rate, std::optional<double>(1250.5));
        }
    }

    void refusedBookIsReadOnly()
    {
        m_session->setLeases(
            std::make_shared<LeaseBook>(LeaseBook::fromMember("1;101;a.bmp;X;;01.13.2020;;;;\r\n")));
        m_window->refresh();
        QVERIFY(!m_window->RefusalLabel->isHidden());
        QVERIFY(m_window->RefusalLabel->text().contains(u"01.13.2020"_s));
        QVERIFY(!m_window->AddButton->isEnabled());
        QCOMPARE(m_window->Table->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestLeasesWindow)
#include "tst_leaseswindow.moc"
