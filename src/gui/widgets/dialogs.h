#pragma once

#include <QImage>
#include <QMessageBox>
#include <QString>

#include <functional>
#include <optional>

class QColorDialog;
class QFileDialog;
class QWidget;

// Every message box, common dialog and hand-over to another program goes through here, so
// that tests can answer them without a modal loop or a stray window: when a responder is
// installed it is asked instead.
namespace Dialogs {

enum class Kind {
    Warning,  // the program's own messages: title "Ошибка", exclamation icon
    Critical, // the general error handler: application title, stop icon
    Notice,   // no icon, OK
    Information, // where a report was put: information icon, OK
    Question, // Yes / No
    QuestionWithCancel, // Yes / No / Cancel
};

// Returns the button pressed.
QMessageBox::StandardButton message(QWidget *parent, Kind kind, const QString &title,
                                    const QString &text);

// Returns the chosen path, or an empty string when the dialog was cancelled.
QString chooseFile(QFileDialog *dialog);
// Widens the detail view's columns of Qt's own file dialog to their Russian headers and to the
// types of plans and folders: Qt sizes them by English samples ("mp3Folder"), which cut them.
void fitFileDialogColumns(QFileDialog *dialog);
// Asks where to save a PDF (a save dialog for *.pdf with that title); empty when cancelled.
QString choosePdfFile(QWidget *parent, const QString &title);
// Returns whether a colour was confirmed.
bool chooseColour(QColorDialog *dialog);

// Asks for one line of text; nullopt when cancelled.
std::optional<QString> askText(QWidget *parent, const QString &title, const QString &label,
                               const QString &initial);

// Hands a file to the desktop's program for it, without waiting; false when none took it.
bool openDocument(const QString &path);
// Whether the desktop names a program for the file's type (xdg-mime); true when it cannot be
// asked, so that the hand-over itself decides.
bool hasDesktopHandler(const QString &path);

// Offers the preparation of a plan (PlanPreparationDialog); the prepared plan, or nullopt when
// the user keeps the plan as it is.
std::optional<QImage> preparePlan(QWidget *parent, const QImage &source, const QString &reason);

struct Responder
{
    std::function<QMessageBox::StandardButton(Kind, const QString &title, const QString &text)> message;
    std::function<QString(QFileDialog *)> file;
    std::function<bool(QColorDialog *)> colour;
    // Last and defaulted, so responders that only answer boxes and dialogs need not name it.
    std::function<bool(const QString &path)> open = {};
    std::function<std::optional<QString>(const QString &title, const QString &label)> text = {};
    std::function<std::optional<QImage>(const QImage &source)> prepare = {};
};
// Installs a responder (tests); an empty one restores the real dialogs.
void setResponder(Responder responder);

} // namespace Dialogs
