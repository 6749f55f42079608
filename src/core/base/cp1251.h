#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the code page of the description file and of ZIP member names.
// The table is lossless: byte 0x98, unassigned in the code page, maps to U+0098 and back,
// so every byte a file holds survives a read and a write unchanged.
namespace Cp1251 {

QString toUnicode(QByteArrayView bytes);
// Characters the code page cannot hold become '?'; callers that must not lose text check
// canEncode() first.
QByteArray fromUnicode(QStringView text);
// Appends the encoded text to out without an intermediate array.
void appendEncoded(QByteArray &out, QStringView text);
bool canEncode(QChar c);
bool canEncode(QStringView text);

} // namespace Cp1251
