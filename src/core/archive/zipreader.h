#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QIODevice;

// Reads ZIP archives written by this program and by common tools (Info-ZIP, Python,
// spreadsheet writers): stored and deflated members, data descriptors, archive comments,
// Windows-1251 or UTF-8 names. The whole directory is checked when the archive is opened, so
// a broken or hostile archive is refused before anything is written. Members are extracted
// flat into one folder under their bare names; a name that could point elsewhere is never
// extracted. Every failure throws MetrolaError.
class ZipReader
{
public:
    // Total percent over the bytes to extract.
    using Progress = std::function<void(int percent)>;
    // Asked when the target file exists: true replaces it, false skips the member.
    using ReplaceQuestion = std::function<bool(const QString &memberName)>;

    // The largest plan the loader takes is 1 GiB of 32-bit pixels; the extra megabyte holds
    // its headers and colour table. A member that may be a plan must not be refused before it.
    static constexpr qint64 DefaultMemberSizeLimit = (qint64(1) << 30) + (qint64(1) << 20);

    explicit ZipReader(const QString &archivePath, qint64 memberSizeLimit = DefaultMemberSizeLimit);
    // The device must be open for reading, allow seeking, and outlive the reader.
    ZipReader(QIODevice *device, const QString &displayName, qint64 memberSizeLimit = DefaultMemberSizeLimit);
    ZipReader(const QByteArray &data, const QString &displayName, qint64 memberSizeLimit = DefaultMemberSizeLimit);
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    // Names that can be extracted, in the archive's order. Members with unsafe names are
    // left out; memberCount() counts them too.
    QStringList memberNames() const;
    int memberCount() const;
    // The size a member declares once inflated; -1 for a name not in memberNames().
    qint64 memberSize(const QString &name) const;

    // Extracts the named members into destDir and returns how many were written. Names not in
    // the archive and members the question skips are not counted. With no question, existing
    // files are kept. Either every chosen member is written or, on failure, none is.
    int extract(const QStringList &names, const QString &destDir, const ReplaceQuestion &ask = {},
                const Progress &progress = {});
    QByteArray readMember(const QString &name);
    // Decompresses every member, unsafe names included, and checks sizes and CRCs. Members
    // this reader has already extracted or read whole were checked then and are not inflated
    // again.
    void verify(const Progress &progress = {});

    // A bare file name that cannot leave the target folder, by the rule plan ids follow.
    static bool isSafeMemberName(const QString &name);
    // A folder ("plans/") or a member inside folders ("sub/x.txt") of plain names: no part of a
    // project, skipped by opening and never extracted, like every name that is not safe.
    static bool isFolderMemberName(const QString &name);
    // Names neither safe nor folder members: ones that could point outside the target folder
    // ("../x", "/x", "C:x", "a\\b", control characters) or could not be decoded at all.
    QStringList hostileMemberNames() const;

private:
    struct Entry
    {
        QString name;
        QByteArray rawName; // as stored in the central directory
        bool validName = false; // decoded without fault
        bool safe = false;
        quint16 madeBy = 0;
        quint16 flags = 0;
        quint16 method = 0;
        quint16 dosTime = 0;
        quint16 dosDate = 0;
        quint32 crc = 0;
        qint64 compressedSize = 0;
        qint64 size = 0;
        quint32 externalAttributes = 0;
        qint64 headerOffset = 0;
        qint64 dataOffset = 0;
        // Inflated once with the right size and CRC.
        mutable bool checked = false;
    };
    using Sink = std::function<void(const char *data, qint64 size)>;

    void open();
    void checkLocalHeaders(qint64 centralOffset);
    void readAt(qint64 offset, char *data, qint64 size) const;
    QByteArray readAt(qint64 offset, qint64 size) const;
    // Streams a member's data to sink and checks its size and CRC; advanced() is told how
    // many output bytes were produced so far.
    void decode(const Entry &entry, const Sink &sink, const std::function<void(qint64)> &advanced) const;
    const Entry *find(const QString &name) const;
    [[noreturn]] void corrupt(const QString &detail) const;
    [[noreturn]] void unsupported(const QString &detail) const;

    std::unique_ptr<QIODevice> m_ownedDevice;
    QIODevice *m_device = nullptr;
    QString m_displayName;
    qint64 m_sizeLimit = DefaultMemberSizeLimit;
    qint64 m_archiveSize = 0;
    std::vector<Entry> m_entries;
    QHash<QString, qsizetype> m_index;
};
