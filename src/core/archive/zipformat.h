#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QtGlobal>

#include <cstring>

// Record layouts and field helpers shared by ZipWriter and ZipReader. Only the classic
// 32-bit ZIP is handled: a project archive holds a description file and a few plans, far
// from the 4 GiB and 65535-member limits, so ZIP64 is refused rather than half supported.
namespace ZipFormat {

constexpr quint32 LocalHeaderSignature = 0x04034b50;
constexpr quint32 CentralHeaderSignature = 0x02014b50;
constexpr quint32 EndOfCentralSignature = 0x06054b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr quint32 DataDescriptorSignature = 0x08074b50;

constexpr int LocalHeaderSize = 30;
constexpr int CentralHeaderSize = 46;
constexpr int EndOfCentralSize = 22;
constexpr int Zip64LocatorSize = 20;
constexpr int MaxCommentSize = 0xFFFF;

constexpr quint16 MethodStored = 0;
constexpr quint16 MethodDeflated = 8;

constexpr quint16 FlagEncrypted = 0x0001;
constexpr quint16 FlagMaximumCompression = 0x0002;
constexpr quint16 FlagDataDescriptor = 0x0008;
constexpr quint16 FlagStrongEncryption = 0x0040;
constexpr quint16 FlagUtf8Name = 0x0800;

// Upper byte of "version made by": what the external attributes mean.
constexpr quint8 HostDos = 0;
constexpr quint8 HostUnix = 3;
constexpr quint16 VersionDeflate = 20;
constexpr quint16 VersionMadeBy = (HostUnix << 8) | VersionDeflate;

constexpr quint32 DosReadOnly = 0x01;
constexpr quint32 UnixRegularFile = 0100000;
constexpr quint32 UnixPermissionMask = 0777;
constexpr quint32 UnixExecuteBits = 0111;
constexpr quint32 UnixWriteBits = 0222;

// A 32-bit field holding this value means "look in the ZIP64 record", and 0xFFFF in a
// 16-bit count likewise; neither can therefore stand for a real value in our archives.
constexpr quint32 Zip64Marker32 = 0xFFFFFFFF;
constexpr quint16 Zip64Marker16 = 0xFFFF;

constexpr qint64 MaxMemberSize = qint64(Zip64Marker32) - 1;
constexpr qint64 MaxArchiveOffset = qint64(Zip64Marker32) - 1;
constexpr int MaxMembers = 0xFFFF;
constexpr int MaxNameBytes = 0xFFFF;

inline quint16 get16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | (u[1] << 8));
}

inline quint32 get32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

inline void put16(char *p, quint16 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

inline void put32(char *p, quint32 v)
{
    put16(p, quint16(v & 0xFFFF));
    put16(p + 2, quint16(v >> 16));
}

inline void append16(QByteArray &out, quint16 v)
{
    char b[2];
    put16(b, v);
    out.append(b, 2);
}

inline void append32(QByteArray &out, quint32 v)
{
    char b[4];
    put32(b, v);
    out.append(b, 4);
}

struct DosDateTime
{
    quint16 time = 0;
    quint16 date = 0;
};

// DOS time has two-second steps and covers 1980..2107; anything outside is clamped so that
// a file with a strange clock still packs.
DosDateTime toDos(const QDateTime &localTime);
QDateTime fromDos(DosDateTime dos);

// Permission bits as stored in the upper half of the external attributes, never with execute
// bits: plans and description files are data.
quint32 unixModeFromPermissions(QFileDevice::Permissions permissions);
QFileDevice::Permissions permissionsFromUnixMode(quint32 mode);

// A member's name as text from its header's bytes, flags and extra field; `valid` is false for
// a name flagged UTF-8 that is not.
QString decodeName(const QByteArray &raw, quint16 flags, const QByteArray &extra, bool &valid);
// The extra field that gives tools reading UTF-8 names the member's name: Info-ZIP's Unicode
// path field (id 0x7075: version 1, the CRC-32 of the stored name bytes `raw`, the UTF-8 name).
// Empty for a name of ASCII alone, which every tool reads alike.
QByteArray unicodePathField(const QByteArray &raw, const QString &name);
// The permissions an extracted member gets from its header's host and attributes.
QFileDevice::Permissions permissionsFor(quint16 madeBy, quint32 attributes);

} // namespace ZipFormat
