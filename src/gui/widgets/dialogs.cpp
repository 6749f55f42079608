#include "gui/widgets/dialogs.h"

#include "core/rooms/planpreparation.h"
#include "gui/widgets/backgroundwork.h"

#include "gui/widgets/planpreparationdialog.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace Dialogs {

namespace {
Responder &responder()
{
    static Responder instance;
    return instance;
}
} // namespace

void setResponder(Responder r)
{
    responder() = std::move(r);
}

QMessageBox::StandardButton message(QWidget *parent, Kind kind, const QString &title,
                                    const QString &text)
{
    if (responder().message)
        return responder().message(kind, title, text);
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (kind) {
    case Kind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Kind::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Kind::Notice:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Kind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Kind::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case Kind::QuestionWithCancel:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString chooseFile(QFileDialog *dialog)
{
    if (responder().file)
        return responder().file(dialog);
    const bool chosen = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
    // A name typed fast and confirmed with Enter can leave the file name's completion list
    // open after the dialog has gone; it would take every key the window gets from then on.
    const auto ownedByDialog = [dialog](const QWidget *w) {
        for (; w; w = w->parentWidget())
            if (w == dialog)
                return true;
        return false;
    };
    // The completion list is a window of its own that hands its focus to the name field.
    while (QWidget *popup = QApplication::activePopupWidget()) {
        if (!ownedByDialog(popup) && !ownedByDialog(popup->focusProxy()))
            break;
        popup->close();
    }
    return chosen ? dialog->selectedFiles().constFirst() : QString();
}

QString choosePdfFile(QWidget *parent, const QString &title)
{
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(u"PDF (*.pdf)"_s);
    dialog.setDefaultSuffix(u"pdf"_s);
    return chooseFile(&dialog);
}

bool chooseColour(QColorDialog *dialog)
{
    if (responder().colour)
        return responder().colour(dialog);
    return dialog->exec() == QDialog::Accepted;
}

std::optional<QString> askText(QWidget *parent, const QString &title, const QString &label,
                               const QString &initial)
{
    if (responder().text)
        return responder().text(title, label);
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(initial);
    fitTitle(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void fitTitle(QWidget *dialog)
{
    // The frame's title uses about the window font; its buttons and margins take the rest.
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int wanted = std::max(metrics.horizontalAdvance(dialog->windowTitle()),
                                QFontMetrics(dialog->font()).horizontalAdvance(dialog->windowTitle()))
                       + 160;
    dialog->setMinimumWidth(std::max(dialog->minimumWidth(), wanted));
}

bool openDocument(const QString &path)
{
    if (responder().open)
        return responder().open(path);
    // On Linux openUrl reports success as soon as xdg-open starts, even when nothing can open
    // the file, so the desktop is asked first whether anything is set to open its type.
    if (!hasDesktopHandler(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool hasDesktopHandler(const QString &path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) // a type the desktop cannot be asked about
        return true;
    QProcess query;
    query.start(u"xdg-mime"_s, {u"query"_s, u"default"_s, type.name()});
    // Without xdg-utils there is no xdg-open either, and openUrl answers for itself.
    if (!query.waitForStarted(5000))
        return true;
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return true;
    }
    return query.exitStatus() == QProcess::NormalExit && !query.readAllStandardOutput().trimmed().isEmpty();
}

std::optional<QImage> preparePlan(QWidget *parent, const QImage &source, const QString &reason)
{
    if (responder().prepare)
        return responder().prepare(source);
    // Reading a large scan's lines and walls takes a while: off the window's thread.
    const auto analysed = BackgroundWork::compute<std::shared_ptr<PlanPreparation>>(
        parent, u"Подготовка плана"_s, u"Разбор плана: толщина линий и стен…"_s,
        [source](const WorkCancel &) { return std::make_shared<PlanPreparation>(source); });
    if (!analysed)
        return std::nullopt;
    PlanPreparationDialog dialog(source, reason, *analysed, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.result();
}

} // namespace Dialogs
