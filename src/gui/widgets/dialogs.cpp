#include "gui/widgets/dialogs.h"

#include "gui/widgets/planpreparationdialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeDatabase>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

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

void fitFileDialogColumns(QFileDialog *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!tree)
        return;
    QHeaderView *header = tree->header();
    const QFontMetrics metrics(tree->font());
    // The type column shows "Папка" and the MIME comment of a plan ("изображение JPEG").
    const int typeWidth = metrics.horizontalAdvance(QStringLiteral("изображение JPEG")) + 2 * metrics.averageCharWidth();
    for (int section = 1; section < header->count(); ++section) {
        int width = std::max(header->sectionSize(section), header->sectionSizeHint(section));
        if (section == 2)
            width = std::max(width, typeWidth);
        header->resizeSection(section, width);
    }
    // The places on the left ("Компьютер") and the columns are seen whole: the dialog grows to
    // them, as far as the screen lets it.
    int sidebarWidth = 0;
    if (auto *sidebar = dialog->findChild<QListView *>(QStringLiteral("sidebar"))) {
        sidebarWidth = sidebar->sizeHintForColumn(0) + 2 * sidebar->frameWidth() + metrics.averageCharWidth();
        sidebar->setMinimumWidth(std::max(sidebar->minimumWidth(), sidebarWidth));
    }
    const int wanted = header->length() + sidebarWidth + tree->verticalScrollBar()->sizeHint().width() +
                       8 * metrics.averageCharWidth();
    const QScreen *screen = dialog->screen();
    const int room = screen ? screen->availableGeometry().width() * 9 / 10 : wanted;
    if (dialog->width() < wanted)
        dialog->resize(std::min(wanted, room), dialog->height());
}

QString chooseFile(QFileDialog *dialog)
{
    if (responder().file)
        return responder().file(dialog);
    // Qt builds the dialog's views when it is first shown.
    QTimer::singleShot(0, dialog, [dialog] { fitFileDialogColumns(dialog); });
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
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, label, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
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
    PlanPreparationDialog dialog(source, reason, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.result();
}

} // namespace Dialogs
