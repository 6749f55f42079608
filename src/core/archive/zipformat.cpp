#include "core/archive/zipformat.h"

#include "core/base/cp1251.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

namespace ZipFormat {

namespace {

constexpr quint16 UnicodePathField = 0x7075;

bool isUtf8(const QByteArray &raw, QString &text)
{
    text = QString::fromUtf8(raw);
    return text.toUtf8() == raw;
}

// Info-ZIP's Unicode path field: version 1, the CRC-32 of the header's own name bytes (so a
// tool that renamed the member without updating the field is caught), then the UTF-8 name.
std::optional<QString> unicodePath(const QByteArray &extra, const QByteArray &raw)
{
    qsizetype pos = 0;
    while (extra.size() - pos >= 4) {
        const quint16 id = get16(extra.constData() + pos);
        const qsizetype size = get16(extra.constData() + pos + 2);
        if (size > extra.size() - pos - 4)
            break;
        const char *field = extra.constData() + pos + 4;
        if (id == UnicodePathField && size > 5 && field[0] == 1
            && get32(field + 1) == quint32(crc32_z(0, reinterpret_cast<const Bytef *>(raw.constData()), z_size_t(raw.size())))) {
            QString text;
            if (isUtf8(QByteArray(field + 5, size - 5), text))
                return text;
        }
        pos += 4 + size;
    }
    return std::nullopt;
}

} // namespace

DosDateTime toDos(const QDateTime &localTime)
{
    const QDateTime t = localTime.isValid() ? localTime.toLocalTime() : QDateTime();
    const QDate d = t.date();
    const QTime tm = t.time();
    if (!t.isValid() || d.year() < 1980)
        return {0, quint16((1 << 5) | 1)}; // 1980-01-01 00:00:00
    if (d.year() > 2107)
        return {quint16((23 << 11) | (59 << 5) | 29), quint16((127 << 9) | (12 << 5) | 31)};
    DosDateTime dos;
    dos.time = quint16((tm.hour() << 11) | (tm.minute() << 5) | (tm.second() / 2));
    dos.date = quint16(((d.year() - 1980) << 9) | (d.month() << 5) | d.day());
    return dos;
}

QDateTime fromDos(DosDateTime dos)
{
    const QDate date(1980 + (dos.date >> 9), (dos.date >> 5) & 0x0F, dos.date & 0x1F);
    const QTime time((dos.time >> 11) & 0x1F, (dos.time >> 5) & 0x3F, (dos.time & 0x1F) * 2);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::LocalTime);
}

namespace {

struct PermissionBit
{
    QFileDevice::Permission permission;
    quint32 mode;
};

constexpr PermissionBit kBits[] = {
    {QFileDevice::ReadOwner, 0400}, {QFileDevice::WriteOwner, 0200}, {QFileDevice::ExeOwner, 0100},
    {QFileDevice::ReadGroup, 0040}, {QFileDevice::WriteGroup, 0020}, {QFileDevice::ExeGroup, 0010},
    {QFileDevice::ReadOther, 0004}, {QFileDevice::WriteOther, 0002}, {QFileDevice::ExeOther, 0001},
};

} // namespace

quint32 unixModeFromPermissions(QFileDevice::Permissions permissions)
{
    quint32 mode = 0;
    for (const PermissionBit &b : kBits) {
        if (permissions.testFlag(b.permission))
            mode |= b.mode;
    }
    return mode & UnixPermissionMask & ~UnixExecuteBits;
}

QFileDevice::Permissions permissionsFromUnixMode(quint32 mode)
{
    QFileDevice::Permissions permissions;
    for (const PermissionBit &b : kBits) {
        if ((mode & b.mode & ~UnixExecuteBits) != 0)
            permissions |= b.permission;
    }
    return permissions;
}

QByteArray unicodePathField(const QByteArray &raw, const QString &name)
{
    if (std::all_of(raw.cbegin(), raw.cend(), [](char c) { return (uchar(c) & 0x80) == 0; }))
        return {};
    const QByteArray utf8 = name.toUtf8();
    // The field's size is 16 bits; a name too long for it keeps its Windows-1251 bytes alone.
    if (utf8.size() > 0xFFFF - 9)
        return {};
    QByteArray field;
    append16(field, UnicodePathField);
    append16(field, quint16(5 + utf8.size()));
    field.append(char(1));
    append32(field, quint32(crc32_z(0, reinterpret_cast<const Bytef *>(raw.constData()), z_size_t(raw.size()))));
    field.append(utf8);
    return field;
}

// Names are compared as text, so the same name in either encoding is the same member. A
// name flagged UTF-8 that is not valid UTF-8 cannot be compared reliably and is unsafe.
// Without the flag, Info-ZIP on Linux stores the locale's UTF-8 bytes as they are; such a
// name is told from Windows-1251 by being valid UTF-8 with a multi-byte sequence in it, which
// Windows-1251 Cyrillic text practically never is: every letter would have to be followed by
// just the right number of the rarely used signs 0x80..0xBF.
QString decodeName(const QByteArray &raw, quint16 flags, const QByteArray &extra, bool &valid)
{
    valid = true;
    QString text;
    if ((flags & FlagUtf8Name) != 0) {
        valid = isUtf8(raw, text);
        return text;
    }
    if (const auto unicode = unicodePath(extra, raw))
        return *unicode;
    const bool multiByte = std::any_of(raw.cbegin(), raw.cend(), [](char c) { return (uchar(c) & 0x80) != 0; });
    if (multiByte && isUtf8(raw, text))
        return text;
    return Cp1251::toUnicode(raw);
}

// Only plain Unix permission bits and the DOS read-only bit are trusted. Execute bits are
// never set (plans are data), and the owner can always read what was extracted.
QFileDevice::Permissions permissionsFor(quint16 madeBy, quint32 attributes)
{
    quint32 mode = 0644;
    const quint32 unixMode = attributes >> 16;
    if ((madeBy >> 8) == HostUnix && unixMode != 0)
        mode = unixMode & UnixPermissionMask;
    else if ((madeBy >> 8) == HostDos && (attributes & DosReadOnly) != 0)
        mode = 0444;
    return permissionsFromUnixMode((mode & ~UnixExecuteBits) | 0400);
}

} // namespace ZipFormat
