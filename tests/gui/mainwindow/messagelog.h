#pragma once

#include "gui/widgets/dialogs.h"

#include <QStringList>

// Answers every message box of the program with OK and keeps its text, so a test can tell
// whether a handler reported anything. Install in init(), remove in cleanup().
class MessageLog
{
public:
    void install()
    {
        texts.clear();
        Dialogs::setResponder({[this](Dialogs::Kind, const QString &, const QString &text) {
                                   texts.append(text);
                                   return QMessageBox::Ok;
                               },
                               {}, {}});
    }
    static void remove() { Dialogs::setResponder({}); }

    QStringList texts;
};
