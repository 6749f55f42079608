#include "gui/mainwindow/form1.h"

#include "core/reports/areaschedule.h"
#include "core/reports/placementpicture.h"
#include "core/reports/xlsxworkbook.h"
#include "gui/widgets/dialogs.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace Qt::StringLiterals;

void Form1::Button7Click()
{
    guard([&] {
        const AreaSchedule sheet = AreaSchedule::build(m_session.table(), m_session.captions(),
                                                       m_session.lastArchive);
        const QString path = XlsxWorkbook::writeToTemporaryFolder(sheet);
        if (!Dialogs::openDocument(path)) {
            throw MetrolaError(u"Не найдена программа, открывающая таблицы. Размеркация сохранена в файле «%1»"_s
                                   .arg(path));
        }
    });
}

void Form1::SpeedButton5Click()
{
    guard([&] {
        if (!m_session.hasPlan())
            return;
        PlacementPicture::Options options;
        options.tenant = Arend->isChecked();
        options.area = kvm->isChecked();
        options.name = nazv->isChecked();
        options.type = Typ->isChecked();
        options.unit = edt[Captions::Unit]->text();
        // The labels go onto a copy: the plan on screen never shows them, even when a broken
        // label point stops the picture halfway.
        const QImage picture = PlacementPicture::render(m_session.planImage(), m_session.table(),
                                                        m_session.currentPlan(), options);
        const QString path = PlacementPicture::save(picture, m_session.programDir());
        Dialogs::openDocument(path);
    });
}
