// "Найти комнаты", its proposals accepted and rejected with the mouse, "Принять все", the
// "Стена" tool, and taking their steps back.
#include "core/archive/projectarchive.h"
#include "core/archive/zipreader.h"
#include "core/plan/colourkey.h"
#include "core/plan/planimage.h"
#include "core/rooms/roomproposals.h"
#include "gui/mainwindow/form1.h"
#include "gui/plan/plancanvas.h"
#include "gui/records/form2.h"
#include "gui/widgets/dialogs.h"
#include "wallplan.h"

#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A prepared plan (exact black on white, walls 6 points): three rooms in a row, a door of 40
// points in each inner wall (x 147..152 at y 80..119, x 210..215 at y 60..99).
QImage threeRooms()
{
    return WallPlan::draw({300, 200}, {QRect(20, 20, 260, 6), QRect(20, 174, 260, 6), QRect(20, 20, 6, 160),
                                       QRect(274, 20, 6, 160), QRect(147, 26, 6, 54), QRect(147, 120, 6, 54),
                                       QRect(210, 26, 6, 34), QRect(210, 100, 6, 74)});
}

qint64 pixelsOf(const QImage &image, QRgb colour)
{
    qint64 n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return n;
}

} // namespace

class TestRoomProposalsWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    QTemporaryDir m_work;
    QStringList m_messages;
    std::unique_ptr<Form1> m_form;

    QString storedPath() const { return m_work.filePath(u"этаж.bmp"_s); }
    void clickPlan(QPoint planPoint, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(m_form->Image1, Qt::LeftButton, modifiers, m_form->Image1->toWidget(planPoint));
    }

private Q_SLOTS:
    void init()
    {
        const QString file = m_files.filePath(u"этаж.bmp"_s);
        PlanImage::saveBmp(threeRooms(), file);
        Dialogs::Responder r;
        r.message = [this](Dialogs::Kind, const QString &, const QString &text) {
            m_messages.append(text);
            return QMessageBox::Ok;
        };
        r.file = [file](QFileDialog *) { return file; };
        Dialogs::setResponder(r);
        m_messages.clear();
        m_form = std::make_unique<Form1>(m_work.path() + u'/');
        m_form->SpeedButton1Click();
        QCOMPARE(m_form->session().currentPlan(), u"этаж.bmp"_s);
    }
    void cleanup()
    {
        m_form.reset();
        QFile::remove(storedPath());
        Dialogs::setResponder({});
    }

    void acceptAllIsOneStep()
    {
        m_form->FindRoomsButton->click();
        QVERIFY(!m_form->ProposalBar->isHidden());
        QVERIFY2(m_form->ProposalText->text().contains(u"3 помещения, линий 2"_s), qPrintable(m_form->ProposalText->text()));
        m_form->AcceptAllButton->click();
        QVERIFY(m_form->ProposalBar->isHidden());
        const RecordTable &table = m_form->session().table();
        QCOMPARE(table.recordCount(), 3);
        QCOMPARE(table.cellText(RecordTable::Name, 3), u"Помещение 3"_s);
        QCOMPARE(PlanImage::loadBmp(storedPath()).pixel(150, 100), qRgb(0, 0, 0));
        QVERIFY(m_form->session().modified());
        QVERIFY(m_form->UndoPlanAction->isEnabled());
        QVERIFY(m_form->UndoPlanAction->text().contains(u"3 помещения"_s));

        m_form->UndoPlanAction->trigger();
        QCOMPARE(table.recordCount(), 0);
        QCOMPARE(PlanImage::loadBmp(storedPath()), threeRooms());
        QVERIFY(!m_form->UndoPlanAction->isEnabled());
        QVERIFY(m_messages.isEmpty());
    }

    void clicksAcceptAndReject()
    {
        const RoomProposals expected(threeRooms(), {});
        m_form->FindRoomsButton->click();
        // The middle room, with both doors closed, through the usual record dialog.
        clickPlan({180, 140});
        Form2 *dialog = m_form->form2();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->mode(), Form2::Mode::New);
        dialog->Edit1->setText(u"ООО Ромашка"_s);
        dialog->Button2Click();
        const RecordTable &table = m_form->session().table();
        QCOMPARE(table.recordCount(), 1);
        QCOMPARE(table.cellText(RecordTable::Tenant, 1), u"ООО Ромашка"_s);
        const quint32 key = table.cellText(RecordTable::ColourKey, 1).toUInt();
        QCOMPARE(pixelsOf(m_form->session().planImage(), ColourKey::toRgb(key)), expected.rooms()[1].pixels);
        QVERIFY(m_form->ProposalText->text().contains(u"2 помещения, линий 0"_s));
        // Ctrl+click: the left room is no longer offered, and nothing is marked.
        clickPlan({60, 60}, Qt::ControlModifier);
        QVERIFY(m_form->ProposalText->text().contains(u"1 помещение,"_s));
        QCOMPARE(table.recordCount(), 1);
        m_form->AcceptAllButton->click();
        QCOMPARE(table.recordCount(), 2);
        QCOMPARE(table.cellText(RecordTable::LabelX, 2).toInt() > 215, true);
    }

    void wallClosesAPassage()
    {
        m_form->WallButton->click();
        clickPlan({150, 80});
        // Escape after the first click cancels: the next clicks draw nothing.
        QTest::keyClick(m_form->Image1, Qt::Key_Escape);
        clickPlan({150, 80});
        clickPlan({150, 119});
        // Nothing was drawn, so the plan is still the user's own file.
        QVERIFY(!QFile::exists(storedPath()));

        // From wall to wall across the door, as the user clicks on the walls.
        m_form->WallButton->click();
        clickPlan({150, 78});
        clickPlan({150, 121});
        QCOMPARE(PlanImage::loadBmp(storedPath()).pixel(150, 100), qRgb(0, 0, 0));
        QCOMPARE(m_form->session().planImage().pixel(150, 100), qRgb(0, 0, 0));
        QVERIFY(m_form->UndoPlanAction->text().contains(u"стена"_s));
        m_form->FindRoomsButton->click();
        QVERIFY2(m_form->ProposalText->text().contains(u"3 помещения, линий 1"_s), qPrintable(m_form->ProposalText->text()));
        // Undo while the proposals are shown counts them anew.
        m_form->UndoPlanButton->click();
        QCOMPARE(PlanImage::loadBmp(storedPath()), threeRooms());
        QVERIFY(m_form->ProposalText->text().contains(u"линий 2"_s));

        // The wall is saved with the plan in the archive.
        m_form->WallButton->click();
        clickPlan({150, 78});
        clickPlan({150, 121});
        m_form->FindRoomsButton->click();
        m_form->AcceptAllButton->click();
        const QString archive = m_files.filePath(u"проект.zip"_s);
        ProjectArchive::save(m_form->session(), archive);
        QByteArray member = ZipReader(archive).readMember(u"этаж.bmp"_s);
        QBuffer bytes(&member);
        QVERIFY(bytes.open(QIODevice::ReadOnly));
        QCOMPARE(PlanImage::readBmp(bytes, u"этаж.bmp"_s).pixel(150, 100), qRgb(0, 0, 0));
    }
};

QTEST_MAIN(TestRoomProposalsWindow)
#include "tst_roomproposalswindow.moc"
