#include "gui/mainwindow/form1.h"

#include "core/reports/areaschedule.h"
#include "core/reports/placementpicture.h"
#include "core/reports/reportfolder.h"
#include "core/reports/xlsxworkbook.h"
#include "gui/widgets/dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

using namespace Qt::StringLiterals;

void Form1::Button7Click()
{
    guard([&] {
        // The rentable sheet shares the common areas as the summary window does.
        const std::vector<AreaSchedule> sheets =
            AreaSchedule::workbook(m_session, m_session.commonOverWholeComplex, asOfDay());
        const QString stem = ReportFolder::scheduleStem(m_session.reportArchive());
        const QString path = ReportFolder::saveNew(ReportFolder::documents(), stem, u".xlsx"_s,
                                                   XlsxWorkbook::bytes(XlsxWorkbook::sheetsOf(sheets), stem));
        const QString where = u"Размеркация сохранена в файле «%1»."_s.arg(QDir::toNativeSeparators(path));
        if (Dialogs::openDocument(path))
            Dialogs::message(this, Dialogs::Kind::Information, u"Размеркация"_s, where);
        else
            Dialogs::message(this, Dialogs::Kind::Information, u"Размеркация"_s,
                             u"Не найдена программа, открывающая таблицы. "_s + where);
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
        m_session.writtenFiles.insert(QFileInfo(path).fileName());
        // The working folder is emptied at close, so the picture is offered a lasting place.
        const QString kept =
            u"Картинка размещения сохранена в рабочей папке программы, которая очищается при "
            u"закрытии программы: «%1»."_s.arg(QDir::toNativeSeparators(path));
        const QString noViewer =
            Dialogs::openDocument(path) ? QString() : u"Не найдена программа для просмотра картинок. "_s;
        if (Dialogs::message(this, Dialogs::Kind::Question, u"Размещение арендаторов"_s,
                             noViewer + kept + u"\n\nСохранить копию в папке документов?"_s) !=
            QMessageBox::Yes)
            return;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw MetrolaError(u"Не удалось прочитать картинку «%1»: %2"_s.arg(path, file.errorString()));
        const QString copy = ReportFolder::saveNew(ReportFolder::documents(),
                                                   ReportFolder::pictureStem(m_session.currentPlan()),
                                                   u".bmp"_s, file.readAll());
        Dialogs::message(
            this, Dialogs::Kind::Information, u"Размещение арендаторов"_s,
            u"Копия картинки размещения сохранена в файле «%1»."_s.arg(QDir::toNativeSeparators(copy)));
    });
}
