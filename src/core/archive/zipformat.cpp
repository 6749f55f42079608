#include "core/archive/zipformat.h"

namespace ZipFormat {

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

} // namespace ZipFormat
