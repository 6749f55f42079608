#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The small Windows-1251 files kept beside the description file (the scales, the room flags):
// read the same way, with the same refusals.
namespace SideFile {

// The whole file, a UTF-8 mark at its start skipped. Throws MetrolaError, naming the file as
// `what` ("файл масштабов"), when it cannot be read, is larger than limit, or holds a line that
// is not Windows-1251 text.
QByteArray readCp1251(const QString &path, qint64 limit, const QString &what);

// The first line (from 1) whose bytes are UTF-8 text or no text of the code page.
std::optional<int> foreignTextLine(QByteArrayView data);

} // namespace SideFile
