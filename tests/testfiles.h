// Whole-file reading and writing for the tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The file's bytes; "<missing>" when it cannot be read, so a lost file never passes for an
// empty one.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// True only when every byte was written; use as QVERIFY(writeFile(...)).
[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}
