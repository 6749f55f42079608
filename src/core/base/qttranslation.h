#pragma once

#include <QString>

// Qt's own texts (the file dialog's buttons, the colour dialog, standard message box buttons)
// in Russian, to match the program's texts.
namespace QtTranslation {

// The folder Qt's translations are installed in.
QString defaultFolder();

// Installs qtbase_ru from the folder into the running application. When it is missing the
// program goes on in Qt's English and one line on stderr says so, naming the program.
bool installRussian(const QString &programName, const QString &folder = defaultFolder());

} // namespace QtTranslation
