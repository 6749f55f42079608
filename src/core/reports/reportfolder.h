#pragma once

#include <QByteArray>
#include <QString>

// Where the reports the user asks for are kept. They must outlive the session, so they go to
// the user's documents folder, never to the working folder, which is emptied at close. A report
// is always a new file there: an existing file, or a link planted at its name, is never written
// through; the next free name is taken instead ("Размеркация demo (2).xlsx").
class ReportFolder
{
public:
    // The user's documents folder, created when missing. Throws MetrolaError.
    static QString documents();

    // Writes bytes into folder as "<stem><suffix>", or "<stem> (2)<suffix>", "(3)" ... when the
    // name is taken, and returns the path written. Throws MetrolaError; nothing is left behind.
    static QString saveNew(const QString &folder, const QString &stem, const QString &suffix,
                           const QByteArray &bytes);

    // "Размеркация demo" for the archive ".../demo.zip", "Размеркация" when none was opened.
    static QString scheduleStem(const QString &archivePath);
    // "Размещение план 1" for the plan "план 1.bmp".
    static QString pictureStem(const QString &planId);
};
