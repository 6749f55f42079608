#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Packs files into a ZIP archive: deflate level 9, member names in Windows-1251, no folders.
// The archive is assembled next to the target and renamed over it only once it is complete,
// so a failed save leaves the previous archive as it was. Every failure throws MetrolaError.
class ZipWriter
{
public:
    // Total percent over all input bytes. Called from the thread that runs write(), at least
    // once per compressed megabyte, so a GUI may process its events inside it.
    using Progress = std::function<void(int percent)>;

    static constexpr QFileDevice::Permissions DefaultPermissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

    explicit ZipWriter(QString archivePath);

    // The member takes the file's bare name, modification time and permission bits; the
    // file is read only by write().
    void addFile(const QString &path);
    // An invalid time stands for 1980-01-01 00:00, so generated archives are reproducible.
    void addMember(const QString &name, const QByteArray &data, const QDateTime &modified = {},
                   QFileDevice::Permissions permissions = DefaultPermissions);
    void setProgress(Progress progress);
    // 0 means one thread per core. The archive's bytes do not depend on it.
    void setThreadCount(int count);

    // Writes the archive and returns the number of members packed.
    int write();

    static int packFiles(const QStringList &paths, const QString &archivePath, const Progress &progress = {});

private:
    struct Source
    {
        QString name;
        QString path; // empty for a member given in memory
        QByteArray data;
        QDateTime modified;
        quint32 mode = 0;
    };

    struct Member
    {
        QByteArray encodedName;
        QByteArray extra; // the UTF-8 name for other tools
        quint16 dosTime = 0;
        quint16 dosDate = 0;
        quint32 mode = 0;
        qint64 headerOffset = 0;
        quint32 crc = 0;
        qint64 compressedSize = 0;
        qint64 size = 0;
    };

    QList<Member> prepare(qint64 &totalBytes) const;
    QString notWrittenNote() const;
    [[noreturn]] void fail(const QString &what) const;

    QString m_archivePath;
    QList<Source> m_sources;
    Progress m_progress;
    int m_threadCount = 0;
};
