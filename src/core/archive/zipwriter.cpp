#include "core/archive/zipwriter.h"

#include "core/archive/zipdeflatepool.h"
#include "core/archive/zipformat.h"
#include "core/archive/zipreader.h"
#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QThread>

#include <zlib.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <utility>

using namespace ZipFormat;

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray localHeader(const QByteArray &name, const QByteArray &extra, quint16 dosTime, quint16 dosDate)
{
    QByteArray h;
    h.reserve(LocalHeaderSize + name.size() + extra.size());
    append32(h, LocalHeaderSignature);
    append16(h, VersionDeflate);
    append16(h, FlagMaximumCompression);
    append16(h, MethodDeflated);
    append16(h, dosTime);
    append16(h, dosDate);
    append32(h, 0); // CRC and sizes are filled in once the data is written
    append32(h, 0);
    append32(h, 0);
    append16(h, quint16(name.size()));
    append16(h, quint16(extra.size()));
    h.append(name);
    h.append(extra);
    return h;
}

} // namespace

ZipWriter::ZipWriter(QString archivePath)
    : m_archivePath(std::move(archivePath))
{
}

void ZipWriter::addFile(const QString &path)
{
    Source s;
    s.name = QFileInfo(path).fileName();
    s.path = path;
    m_sources.append(std::move(s));
}

void ZipWriter::addMember(const QString &name, const QByteArray &data, const QDateTime &modified,
                          QFileDevice::Permissions permissions)
{
    Source s;
    s.name = name;
    s.data = data;
    s.modified = modified;
    s.mode = unixModeFromPermissions(permissions);
    m_sources.append(std::move(s));
}

void ZipWriter::setProgress(Progress progress)
{
    m_progress = std::move(progress);
}

void ZipWriter::setThreadCount(int count)
{
    m_threadCount = std::max(0, count);
}

int ZipWriter::packFiles(const QStringList &paths, const QString &archivePath, const Progress &progress)
{
    ZipWriter writer(archivePath);
    for (const QString &path : paths)
        writer.addFile(path);
    writer.setProgress(progress);
    return writer.write();
}

QString ZipWriter::notWrittenNote() const
{
    if (QFileInfo::exists(m_archivePath))
        return QStringLiteral("Архив не записан, прежний файл сохранён.");
    return QStringLiteral("Архив не записан.");
}

void ZipWriter::fail(const QString &what) const
{
    throw MetrolaError(what + u' ' + notWrittenNote());
}

// Everything that can be refused without reading file contents is refused here, before the
// temporary file exists.
QList<ZipWriter::Member> ZipWriter::prepare(qint64 &totalBytes) const
{
    if (m_sources.size() > MaxMembers) {
        fail(QStringLiteral("В архив ZIP нельзя записать больше %1 файлов, а их %2.")
                 .arg(MaxMembers)
                 .arg(m_sources.size()));
    }
    QList<Member> members;
    members.reserve(m_sources.size());
    QSet<QString> names;
    totalBytes = 0;
    for (const Source &s : m_sources) {
        if (!ZipReader::isSafeMemberName(s.name))
            fail(QStringLiteral("Имя «%1» нельзя дать файлу в архиве.").arg(s.name));
        if (!Cp1251::canEncode(s.name)) {
            fail(QStringLiteral("Имя файла «%1» содержит знаки, которых нет в кодировке Windows-1251.")
                     .arg(s.name));
        }
        Member m;
        // Windows-1251 bytes, as every copy of the program reads them, and the UTF-8 name beside
        // them for unzip and file managers.
        m.encodedName = Cp1251::fromUnicode(s.name);
        m.extra = unicodePathField(m.encodedName, s.name);
        if (m.encodedName.size() > MaxNameBytes)
            fail(QStringLiteral("Имя файла «%1…» длиннее %2 байт.").arg(s.name.left(40), QString::number(MaxNameBytes)));
        if (names.contains(s.name))
            fail(QStringLiteral("Два файла с именем «%1» не могут лежать в одном архиве.").arg(s.name));
        names.insert(s.name);

        QDateTime modified = s.modified;
        qint64 size = s.data.size();
        m.mode = s.mode;
        if (!s.path.isEmpty()) {
            const QFileInfo info(s.path);
            if (!info.isFile()) {
                fail(QStringLiteral("Не удалось прочитать файл «%1»: файл не найден.").arg(shown(s.path)));
            }
            modified = info.lastModified();
            size = info.size();
            m.mode = unixModeFromPermissions(info.permissions());
        }
        if (size > MaxMemberSize) {
            fail(QStringLiteral("Файл «%1» больше 4 ГиБ: такой файл нельзя записать в архив ZIP.")
                     .arg(shown(s.path.isEmpty() ? s.name : s.path)));
        }
        const DosDateTime dos = toDos(modified);
        m.dosTime = dos.time;
        m.dosDate = dos.date;
        totalBytes += size;
        members.append(std::move(m));
    }
    return members;
}

int ZipWriter::write()
{
    qint64 totalBytes = 0;
    QList<Member> members = prepare(totalBytes);

    QSaveFile out(m_archivePath);
    if (!out.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("Не удалось создать архив «%1»: %2.").arg(shown(m_archivePath), SafeFile::reasonOf(out)));
    }
    const auto writeFailed = [&] {
        fail(QStringLiteral("Не удалось записать архив «%1»: %2 (возможно, на диске нет места).")
                 .arg(shown(m_archivePath), SafeFile::reasonOf(out)));
    };
    const auto put = [&](const QByteArray &bytes) {
        if (out.write(bytes) != bytes.size())
            writeFailed();
    };
    const auto checkOffset = [&](qint64 offset) {
        if (offset > MaxArchiveOffset)
            fail(QStringLiteral("Архив «%1» получился бы больше 4 ГиБ: такие архивы не поддерживаются.")
                     .arg(shown(m_archivePath)));
    };

    int lastPercent = -1;
    const auto report = [&](qint64 done, bool always) {
        if (!m_progress)
            return;
        const int percent = totalBytes > 0 ? int(std::min<qint64>(100, done * 100 / totalBytes)) : 0;
        if (always || percent != lastPercent) {
            lastPercent = percent;
            m_progress(percent);
        }
    };
    report(0, true);

    qint64 pieces = 0;
    for (const Source &s : m_sources)
        pieces += 1 + (s.path.isEmpty() ? s.data.size() : QFileInfo(s.path).size()) / ZipDeflatePool::PieceSize;
    const int threads = int(std::clamp<qint64>(m_threadCount > 0 ? m_threadCount : QThread::idealThreadCount(),
                                               1, std::max<qint64>(1, pieces)));
    ZipDeflatePool pool(threads);
    // Enough pieces in flight to keep every thread busy while the oldest one is written;
    // this bounds the memory to a few megabytes per thread whatever the file sizes.
    const size_t maxInFlight = size_t(threads) * 2 + 2;

    struct Pending
    {
        int member;
        bool first;
        bool last;
        qint64 inputSize;
        std::shared_ptr<ZipDeflatePool::Job> job;
    };
    std::deque<Pending> pending;

    // Reading side: the member being read and its position.
    qsizetype readIndex = 0;
    bool readStarted = false;
    std::unique_ptr<QFile> file;
    qint64 readOffset = 0;
    QByteArray previous;

    const auto submitNext = [&]() -> bool {
        if (readIndex >= m_sources.size())
            return false;
        const Source &s = m_sources.at(readIndex);
        const bool first = !readStarted;
        if (first) {
            readStarted = true;
            readOffset = 0;
            previous.clear();
            if (!s.path.isEmpty()) {
                file = std::make_unique<QFile>(s.path);
                if (!file->open(QIODevice::ReadOnly)) {
                    fail(QStringLiteral("Не удалось прочитать файл «%1»: %2.").arg(shown(s.path), SafeFile::reasonOf(*file)));
                }
            }
        }
        QByteArray piece;
        bool last = false;
        if (file) {
            piece.resize(ZipDeflatePool::PieceSize);
            qint64 got = 0;
            while (got < piece.size()) {
                const qint64 n = file->read(piece.data() + got, piece.size() - got);
                if (n < 0) {
                    fail(QStringLiteral("Не удалось прочитать файл «%1»: %2.").arg(shown(s.path), SafeFile::reasonOf(*file)));
                }
                if (n == 0)
                    break;
                got += n;
            }
            piece.resize(got);
            last = got < ZipDeflatePool::PieceSize || file->atEnd();
        } else {
            piece = s.data.mid(readOffset, ZipDeflatePool::PieceSize);
            last = readOffset + piece.size() >= s.data.size();
        }
        readOffset += piece.size();
        if (readOffset > MaxMemberSize) {
            fail(QStringLiteral("Файл «%1» больше 4 ГиБ: такой файл нельзя записать в архив ZIP.")
                     .arg(shown(s.path)));
        }
        const qint64 inputSize = piece.size();
        QByteArray dictionary = std::exchange(previous, piece);
        pending.push_back({int(readIndex), first, last, inputSize,
                           pool.submit(std::move(piece), std::move(dictionary), last)});
        if (last) {
            file.reset();
            previous.clear();
            readStarted = false;
            ++readIndex;
        }
        return true;
    };

    qint64 doneBytes = 0;
    bool moreInput = true;
    while (true) {
        while (moreInput && pending.size() < maxInFlight)
            moreInput = submitNext();
        if (pending.empty())
            break;
        const Pending p = std::move(pending.front());
        pending.pop_front();
        Member &m = members[p.member];
        if (!pool.wait(p.job)) {
            fail(QStringLiteral("Не хватило памяти, чтобы сжать файл «%1».").arg(m_sources.at(p.member).name));
        }
        if (p.first) {
            m.headerOffset = out.pos();
            checkOffset(m.headerOffset);
            m.crc = quint32(crc32(0, nullptr, 0));
            put(localHeader(m.encodedName, m.extra, m.dosTime, m.dosDate));
        }
        put(p.job->output);
        m.crc = quint32(crc32_combine(m.crc, p.job->crc, p.inputSize));
        m.size += p.inputSize;
        m.compressedSize += p.job->output.size();
        if (m.compressedSize > MaxMemberSize) {
            fail(QStringLiteral("Файл «%1» даже сжатый больше 4 ГиБ: такой файл нельзя записать в архив ZIP.")
                     .arg(m_sources.at(p.member).name));
        }
        if (p.last) {
            const qint64 end = out.pos();
            char fields[12];
            put32(fields, m.crc);
            put32(fields + 4, quint32(m.compressedSize));
            put32(fields + 8, quint32(m.size));
            if (!out.seek(m.headerOffset + 14))
                writeFailed();
            put(QByteArray(fields, sizeof fields));
            if (!out.seek(end))
                writeFailed();
        }
        doneBytes += p.inputSize;
        report(doneBytes, true);
    }

    const qint64 centralOffset = out.pos();
    checkOffset(centralOffset);
    QByteArray central;
    for (const Member &m : std::as_const(members)) {
        append32(central, CentralHeaderSignature);
        append16(central, VersionMadeBy);
        append16(central, VersionDeflate);
        append16(central, FlagMaximumCompression);
        append16(central, MethodDeflated);
        append16(central, m.dosTime);
        append16(central, m.dosDate);
        append32(central, m.crc);
        append32(central, quint32(m.compressedSize));
        append32(central, quint32(m.size));
        append16(central, quint16(m.encodedName.size()));
        append16(central, quint16(m.extra.size()));
        append16(central, 0); // comment
        append16(central, 0); // disk
        append16(central, 0); // internal attributes
        append32(central, (UnixRegularFile | m.mode) << 16);
        append32(central, quint32(m.headerOffset));
        central.append(m.encodedName);
        central.append(m.extra);
    }
    checkOffset(centralOffset + central.size());
    QByteArray end;
    append32(end, EndOfCentralSignature);
    append16(end, 0);
    append16(end, 0);
    append16(end, quint16(members.size()));
    append16(end, quint16(members.size()));
    append32(end, quint32(central.size()));
    append32(end, quint32(centralOffset));
    append16(end, 0);
    put(central);
    put(end);
    if (!out.commit())
        writeFailed();
    if (m_progress && lastPercent != 100)
        m_progress(100);
    return int(members.size());
}
