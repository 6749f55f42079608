#include "core/archive/zipreader.h"

#include "core/archive/zipformat.h"
#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/base/namerule.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

using namespace ZipFormat;

namespace {

constexpr qint64 BufferSize = qint64(256) << 10;
// Deflate cannot expand data more than about 1032 times; a member that claims more is not
// trusted with a buffer of its claimed size.
constexpr qint64 MaxDeflateRatio = 1032;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Names from a hostile archive may be huge or hold control characters; a message shows a
// readable, bounded form.
QString printable(const QString &name)
{
    QString shown = name.left(100);
    for (QChar &c : shown) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return name.size() > shown.size() ? shown + u'…' : shown;
}

QString sizeText(qint64 bytes)
{
    if (bytes >= (qint64(1) << 20))
        return QStringLiteral("%1 МиБ").arg(bytes >> 20);
    return QStringLiteral("%1 байт").arg(bytes);
}

QString methodName(quint16 method)
{
    switch (method) {
    case 1: return QStringLiteral("Shrink");
    case 2: case 3: case 4: case 5: return QStringLiteral("Reduce");
    case 6: return QStringLiteral("Implode");
    case 9: return QStringLiteral("Deflate64");
    case 12: return QStringLiteral("BZIP2");
    case 14: return QStringLiteral("LZMA");
    case 93: return QStringLiteral("Zstandard");
    case 95: return QStringLiteral("XZ");
    case 98: return QStringLiteral("PPMd");
    case 99: return QStringLiteral("AES");
    default: return QStringLiteral("неизвестный");
    }
}

struct Inflater
{
    z_stream stream{};
    bool ready = false;
    Inflater() { ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
    ~Inflater()
    {
        if (ready)
            inflateEnd(&stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
};

} // namespace

ZipReader::ZipReader(const QString &archivePath, qint64 memberSizeLimit)
    : m_displayName(QFileInfo(archivePath).fileName()), m_sizeLimit(memberSizeLimit)
{
    auto file = std::make_unique<QFile>();
    QString reason;
    if (!SafeFile::openForReading(*file, archivePath, &reason)) {
        throw MetrolaError(QStringLiteral("Не удалось открыть архив «%1»: %2. Ничего не извлечено.")
                               .arg(shown(archivePath), reason));
    }
    m_ownedDevice = std::move(file);
    m_device = m_ownedDevice.get();
    open();
}

ZipReader::ZipReader(QIODevice *device, const QString &displayName, qint64 memberSizeLimit)
    : m_device(device), m_displayName(displayName), m_sizeLimit(memberSizeLimit)
{
    if (!m_device || !m_device->isReadable() || m_device->isSequential()) {
        throw MetrolaError(QStringLiteral("Архив «%1» нельзя прочитать: он не открыт для чтения с произвольного места.")
                               .arg(m_displayName));
    }
    open();
}

ZipReader::ZipReader(const QByteArray &data, const QString &displayName, qint64 memberSizeLimit)
    : m_displayName(displayName), m_sizeLimit(memberSizeLimit)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    m_ownedDevice = std::move(buffer);
    m_device = m_ownedDevice.get();
    open();
}

ZipReader::~ZipReader() = default;

void ZipReader::corrupt(const QString &detail) const
{
    throw MetrolaError(QStringLiteral("Архив «%1» повреждён: %2. Ничего не извлечено.").arg(m_displayName, detail));
}

void ZipReader::unsupported(const QString &detail) const
{
    throw MetrolaError(QStringLiteral("Архив «%1» не поддерживается: %2. Ничего не извлечено.").arg(m_displayName, detail));
}

void ZipReader::readAt(qint64 offset, char *data, qint64 size) const
{
    if (offset < 0 || size < 0 || offset > m_archiveSize || size > m_archiveSize - offset)
        corrupt(QStringLiteral("данные выходят за конец файла"));
    if (!m_device->seek(offset))
        corrupt(QStringLiteral("не удалось перейти к нужному месту файла (%1)").arg(SafeFile::reasonOf(m_device->errorString())));
    qint64 got = 0;
    while (got < size) {
        const qint64 n = m_device->read(data + got, size - got);
        if (n <= 0)
            corrupt(QStringLiteral("файл не читается до конца (%1)").arg(SafeFile::reasonOf(m_device->errorString())));
        got += n;
    }
}

QByteArray ZipReader::readAt(qint64 offset, qint64 size) const
{
    // Bounds first: a hostile size must not turn into an allocation.
    if (offset < 0 || size < 0 || offset > m_archiveSize || size > m_archiveSize - offset)
        corrupt(QStringLiteral("данные выходят за конец файла"));
    QByteArray bytes(size, Qt::Uninitialized);
    readAt(offset, bytes.data(), size);
    return bytes;
}

void ZipReader::open()
{
    m_archiveSize = m_device->size();
    if (m_archiveSize == 0)
        corrupt(QStringLiteral("файл пуст"));
    if (m_archiveSize < EndOfCentralSize)
        corrupt(QStringLiteral("файл слишком мал для архива ZIP"));

    // The end record sits at the very end, followed only by the archive comment it declares.
    // Scanning back from the end and accepting only a record whose comment ends exactly at
    // the end of the file keeps a comment that quotes a signature from being taken for it.
    const qint64 tailSize = std::min<qint64>(m_archiveSize, EndOfCentralSize + MaxCommentSize);
    const QByteArray tail = readAt(m_archiveSize - tailSize, tailSize);
    qint64 found = -1;
    for (qint64 i = tailSize - EndOfCentralSize; i >= 0; --i) {
        const char *p = tail.constData() + i;
        if (get32(p) == EndOfCentralSignature && i + EndOfCentralSize + get16(p + 20) == tailSize) {
            found = i;
            break;
        }
    }
    if (found < 0)
        corrupt(QStringLiteral("не найдено оглавление архива; возможно, это не архив ZIP или файл обрезан"));
    const qint64 endOffset = m_archiveSize - tailSize + found;
    const char *end = tail.constData() + found;
    const quint16 disk = get16(end + 4);
    const quint16 centralDisk = get16(end + 6);
    const quint16 entriesOnDisk = get16(end + 8);
    const quint16 entryCount = get16(end + 10);
    const quint32 centralSize = get32(end + 12);
    const quint32 centralOffset = get32(end + 16);

    if (endOffset >= Zip64LocatorSize && get32(readAt(endOffset - Zip64LocatorSize, 4).constData()) == Zip64LocatorSignature)
        unsupported(QStringLiteral("он записан в формате ZIP64"));
    if (centralSize == Zip64Marker32 || centralOffset == Zip64Marker32)
        unsupported(QStringLiteral("он записан в формате ZIP64"));
    if (disk != 0 || centralDisk != 0)
        unsupported(QStringLiteral("он разбит на несколько томов"));
    if (entriesOnDisk != entryCount)
        corrupt(QStringLiteral("число файлов в оглавлении указано двумя разными значениями"));
    if (qint64(centralOffset) + qint64(centralSize) != endOffset)
        corrupt(QStringLiteral("положение и размер оглавления не сходятся с длиной файла"));

    const QByteArray central = readAt(centralOffset, centralSize);
    // Entries are collected as they are found; the declared count only has to agree at the
    // end, it never sizes anything.
    qint64 pos = 0;
    while (pos < central.size()) {
        const qsizetype number = qsizetype(m_entries.size()) + 1;
        if (qsizetype(m_entries.size()) >= entryCount)
            corrupt(QStringLiteral("в оглавлении больше файлов, чем в нём указано (%1)").arg(entryCount));
        if (central.size() - pos < CentralHeaderSize || get32(central.constData() + pos) != CentralHeaderSignature)
            corrupt(QStringLiteral("запись оглавления № %1 испорчена").arg(number));
        const char *p = central.constData() + pos;
        const qint64 nameLength = get16(p + 28);
        const qint64 recordSize = CentralHeaderSize + nameLength + get16(p + 30) + get16(p + 32);
        if (recordSize > central.size() - pos)
            corrupt(QStringLiteral("запись оглавления № %1 выходит за его конец").arg(number));

        Entry e;
        e.madeBy = get16(p + 4);
        e.flags = get16(p + 8);
        e.method = get16(p + 10);
        e.dosTime = get16(p + 12);
        e.dosDate = get16(p + 14);
        e.crc = get32(p + 16);
        const quint32 compressedSize = get32(p + 20);
        const quint32 size = get32(p + 24);
        const quint16 startDisk = get16(p + 34);
        e.externalAttributes = get32(p + 38);
        const quint32 headerOffset = get32(p + 42);
        e.compressedSize = compressedSize;
        e.size = size;
        e.headerOffset = headerOffset;
        bool validName = false;
        e.rawName = QByteArray(p + CentralHeaderSize, nameLength);
        e.name = decodeName(e.rawName, e.flags, QByteArray(p + CentralHeaderSize + nameLength, get16(p + 30)),
                            validName);
        e.validName = validName;
        e.safe = validName && isSafeMemberName(e.name);

        if (compressedSize == Zip64Marker32 || size == Zip64Marker32 || headerOffset == Zip64Marker32
            || startDisk == Zip64Marker16) {
            unsupported(QStringLiteral("он записан в формате ZIP64"));
        }
        if (startDisk != 0)
            unsupported(QStringLiteral("он разбит на несколько томов"));
        if ((e.flags & (FlagEncrypted | FlagStrongEncryption)) != 0 || e.method == 99)
            unsupported(QStringLiteral("файл «%1» в нём зашифрован, а зашифрованные архивы не поддерживаются").arg(printable(e.name)));
        if (e.method != MethodStored && e.method != MethodDeflated) {
            unsupported(QStringLiteral("файл «%1» сжат методом %2 (%3), а читаются только файлы без сжатия "
                                       "и сжатые методом Deflate")
                            .arg(printable(e.name), QString::number(e.method), methodName(e.method)));
        }
        if (e.method == MethodStored && e.compressedSize != e.size)
            corrupt(QStringLiteral("у несжатого файла «%1» указаны два разных размера").arg(printable(e.name)));
        if (e.size > m_sizeLimit) {
            unsupported(QStringLiteral("файл «%1» занимает после распаковки %2, а допускается не больше %3")
                            .arg(printable(e.name), sizeText(e.size), sizeText(m_sizeLimit)));
        }
        if (m_index.contains(e.name))
            corrupt(QStringLiteral("имя «%1» встречается в нём дважды").arg(printable(e.name)));
        m_index.insert(e.name, qsizetype(m_entries.size()));
        m_entries.push_back(std::move(e));
        pos += recordSize;
    }
    if (qsizetype(m_entries.size()) != entryCount) {
        corrupt(QStringLiteral("в оглавлении указано файлов: %1, а найдено: %2")
                    .arg(entryCount)
                    .arg(m_entries.size()));
    }
    checkLocalHeaders(centralOffset);
}

void ZipReader::checkLocalHeaders(qint64 centralOffset)
{
    struct Local
    {
        QByteArray name;
        QByteArray extra;
        quint16 flags;
        quint16 method;
        quint32 crc;
        quint32 compressedSize;
        quint32 size;
    };
    std::vector<Local> locals;
    locals.reserve(m_entries.size());
    std::vector<std::pair<qint64, qint64>> spans; // [header, end of data) per entry
    spans.reserve(m_entries.size());

    for (Entry &e : m_entries) {
        if (e.headerOffset > centralOffset - LocalHeaderSize)
            corrupt(QStringLiteral("заголовок файла «%1» указан за пределами данных архива").arg(printable(e.name)));
        const QByteArray h = readAt(e.headerOffset, LocalHeaderSize);
        const char *p = h.constData();
        if (get32(p) != LocalHeaderSignature)
            corrupt(QStringLiteral("заголовок файла «%1» испорчен").arg(printable(e.name)));
        Local l;
        l.flags = get16(p + 6);
        l.method = get16(p + 8);
        l.crc = get32(p + 14);
        l.compressedSize = get32(p + 18);
        l.size = get32(p + 22);
        const qint64 nameLength = get16(p + 26);
        const qint64 extraLength = get16(p + 28);
        e.dataOffset = e.headerOffset + LocalHeaderSize + nameLength + extraLength;
        if (e.dataOffset > centralOffset || e.compressedSize > centralOffset - e.dataOffset)
            corrupt(QStringLiteral("данные файла «%1» выходят за пределы архива").arg(printable(e.name)));
        l.name = readAt(e.headerOffset + LocalHeaderSize, nameLength);
        l.extra = readAt(e.headerOffset + LocalHeaderSize + nameLength, extraLength);
        spans.emplace_back(e.headerOffset, e.dataOffset + e.compressedSize);
        locals.push_back(std::move(l));
    }

    // Two entries sharing or overlapping their data is how a small archive unpacks to
    // gigabytes (the non-recursive zip bomb); a sound archive never does it.
    std::vector<size_t> order(m_entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return spans[a].first < spans[b].first; });
    for (size_t i = 1; i < order.size(); ++i) {
        if (spans[order[i - 1]].second > spans[order[i]].first) {
            corrupt(QStringLiteral("файлы «%1» и «%2» занимают одни и те же байты")
                        .arg(printable(m_entries[order[i - 1]].name), printable(m_entries[order[i]].name)));
        }
    }

    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry &e = m_entries[i];
        const Local &l = locals[i];
        bool valid = false;
        // Writers put the Unicode path field in either header or both, so the same bytes are
        // the same name too.
        const bool sameName = l.name == e.rawName || decodeName(l.name, l.flags, l.extra, valid) == e.name;
        bool sameSizes = true;
        // With a data descriptor the local fields may be zero; the central directory's
        // values are the ones that count.
        if ((l.flags & FlagDataDescriptor) == 0) {
            if (l.size == Zip64Marker32 || l.compressedSize == Zip64Marker32)
                unsupported(QStringLiteral("он записан в формате ZIP64"));
            sameSizes = l.crc == e.crc && qint64(l.compressedSize) == e.compressedSize && qint64(l.size) == e.size;
        }
        if (!sameName || l.method != e.method || !sameSizes
            || (l.flags & (FlagEncrypted | FlagStrongEncryption)) != 0) {
            corrupt(QStringLiteral("заголовок файла «%1» не совпадает с оглавлением").arg(printable(e.name)));
        }
    }
}

bool ZipReader::isSafeMemberName(const QString &name)
{
    // Members are named by the plan ids that records carry; a name one accepts and the other
    // refuses would open a project without its plan.
    return !name.isEmpty() && NameRule::isBareFileName(name);
}

bool ZipReader::isFolderMemberName(const QString &name)
{
    if (!name.contains(u'/'))
        return false;
    QStringList parts = name.split(u'/');
    if (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast(); // a folder's own entry
    return std::all_of(parts.cbegin(), parts.cend(), [](const QString &part) { return isSafeMemberName(part); });
}

QStringList ZipReader::hostileMemberNames() const
{
    QStringList names;
    for (const Entry &e : m_entries) {
        if (!e.safe && !(e.validName && isFolderMemberName(e.name)))
            names.append(e.name);
    }
    return names;
}

QStringList ZipReader::memberNames() const
{
    QStringList names;
    for (const Entry &e : m_entries) {
        if (e.safe)
            names.append(e.name);
    }
    return names;
}

int ZipReader::memberCount() const
{
    return int(m_entries.size());
}

qint64 ZipReader::memberSize(const QString &name) const
{
    const Entry *e = find(name);
    return e ? e->size : -1;
}

const ZipReader::Entry *ZipReader::find(const QString &name) const
{
    const auto it = m_index.constFind(name);
    if (it == m_index.cend())
        return nullptr;
    const Entry &e = m_entries[size_t(it.value())];
    return e.safe ? &e : nullptr;
}

void ZipReader::decode(const Entry &e, const Sink &sink, const std::function<void(qint64)> &advanced) const
{
    uLong crc = crc32(0, nullptr, 0);
    qint64 produced = 0;
    const auto deliver = [&](const char *data, qint64 n) {
        if (n == 0)
            return;
        if (n > e.size - produced)
            corrupt(QStringLiteral("файл «%1» после распаковки длиннее, чем указано").arg(printable(e.name)));
        crc = crc32_z(crc, reinterpret_cast<const Bytef *>(data), z_size_t(n));
        produced += n;
        sink(data, n);
        if (advanced)
            advanced(produced);
    };

    QByteArray in(std::min(BufferSize, std::max<qint64>(e.compressedSize, 1)), Qt::Uninitialized);
    qint64 inputPos = e.dataOffset;
    qint64 inputLeft = e.compressedSize;
    if (e.method == MethodStored) {
        while (inputLeft > 0) {
            const qint64 n = std::min<qint64>(inputLeft, in.size());
            readAt(inputPos, in.data(), n);
            inputPos += n;
            inputLeft -= n;
            deliver(in.constData(), n);
        }
    } else {
        Inflater z;
        if (!z.ready)
            throw MetrolaError(QStringLiteral("Не хватило памяти, чтобы распаковать архив «%1». Ничего не извлечено.")
                                   .arg(m_displayName));
        QByteArray out(std::min(BufferSize, std::max<qint64>(e.size, 1)), Qt::Uninitialized);
        for (;;) {
            if (z.stream.avail_in == 0 && inputLeft > 0) {
                const qint64 n = std::min<qint64>(inputLeft, in.size());
                readAt(inputPos, in.data(), n);
                inputPos += n;
                inputLeft -= n;
                z.stream.next_in = reinterpret_cast<Bytef *>(in.data());
                z.stream.avail_in = uInt(n);
            }
            z.stream.next_out = reinterpret_cast<Bytef *>(out.data());
            z.stream.avail_out = uInt(out.size());
            const int rc = inflate(&z.stream, Z_NO_FLUSH);
            deliver(out.constData(), out.size() - qint64(z.stream.avail_out));
            if (rc == Z_STREAM_END)
                break;
            // No progress is possible only when the compressed data ran out early.
            if (rc == Z_BUF_ERROR)
                corrupt(QStringLiteral("сжатые данные файла «%1» обрываются").arg(printable(e.name)));
            if (rc != Z_OK)
                corrupt(QStringLiteral("сжатые данные файла «%1» испорчены").arg(printable(e.name)));
        }
        if (z.stream.avail_in != 0 || inputLeft != 0)
            corrupt(QStringLiteral("после сжатых данных файла «%1» лишние байты").arg(printable(e.name)));
    }
    if (produced != e.size)
        corrupt(QStringLiteral("файл «%1» после распаковки короче, чем указано").arg(printable(e.name)));
    if (quint32(crc) != e.crc)
        corrupt(QStringLiteral("контрольная сумма файла «%1» не сходится").arg(printable(e.name)));
    e.checked = true;
}

QByteArray ZipReader::readMember(const QString &name)
{
    const Entry *e = find(name);
    if (!e)
        throw MetrolaError(QStringLiteral("В архиве «%1» нет файла «%2».").arg(m_displayName, name));
    QByteArray data;
    data.reserve(qsizetype(std::min(e->size, e->compressedSize * MaxDeflateRatio + 1024)));
    decode(*e, [&](const char *bytes, qint64 n) { data.append(bytes, qsizetype(n)); }, {});
    return data;
}

void ZipReader::verify(const Progress &progress)
{
    qint64 total = 0;
    for (const Entry &e : m_entries)
        total += e.size;
    qint64 done = 0;
    int lastPercent = -1;
    const auto report = [&](qint64 bytes) {
        const int percent = total > 0 ? int(bytes * 100 / total) : 100;
        if (progress && percent != lastPercent) {
            lastPercent = percent;
            progress(percent);
        }
    };
    report(0);
    for (const Entry &e : m_entries) {
        if (!e.checked)
            decode(e, [](const char *, qint64) {}, [&](qint64 produced) { report(done + produced); });
        done += e.size;
    }
    report(total);
}

int ZipReader::extract(const QStringList &names, const QString &destDir, const ReplaceQuestion &ask,
                       const Progress &progress)
{
    const QDir dir(destDir);
    if (!QFileInfo(destDir).isDir()) {
        throw MetrolaError(QStringLiteral("Папка «%1» не найдена. Ничего не извлечено.").arg(shown(destDir)));
    }

    std::vector<const Entry *> chosen;
    QSet<const Entry *> seen;
    for (const QString &name : names) {
        const Entry *e = find(name);
        if (!e || seen.contains(e))
            continue;
        seen.insert(e);
        const QFileInfo target(dir.filePath(e->name));
        if ((target.exists() || target.isSymLink()) && !(ask && ask(e->name)))
            continue;
        chosen.push_back(e);
    }

    qint64 total = 0;
    for (const Entry *e : chosen)
        total += e->size;
    int lastPercent = -1;
    qint64 lastReported = 0;
    const auto report = [&](qint64 bytes) {
        if (!progress)
            return;
        const int percent = total > 0 ? int(bytes * 100 / total) : 100;
        // Besides every new percent, at least every few megabytes, so that a GUI running
        // its event loop inside the callback stays responsive on large members.
        if (percent != lastPercent || bytes - lastReported >= (qint64(4) << 20)) {
            lastPercent = percent;
            lastReported = bytes;
            progress(percent);
        }
    };
    report(0);

    const auto writeFailed = [&](const QString &name, const QString &reason) {
        throw MetrolaError(QStringLiteral("Не удалось записать файл «%1» в папку «%2»: %3. Ничего не извлечено.")
                               .arg(name, shown(destDir), reason));
    };

    // Every member goes to a temporary file in the target folder first and takes its name
    // only after all of them decoded with correct CRCs: a failure leaves no partial file and
    // no replaced one.
    std::vector<std::unique_ptr<QTemporaryFile>> staged;
    qint64 done = 0;
    for (const Entry *e : chosen) {
        auto file = std::make_unique<QTemporaryFile>(dir.filePath(QStringLiteral(".metrola-XXXXXX.part")));
        if (!file->open())
            writeFailed(e->name, SafeFile::reasonOf(*file));
        decode(
            *e,
            [&](const char *data, qint64 n) {
                if (file->write(data, n) != n)
                    writeFailed(e->name, SafeFile::reasonOf(*file));
            },
            [&](qint64 produced) { report(done + produced); });
        if (!file->flush())
            writeFailed(e->name, SafeFile::reasonOf(*file));
        const QDateTime modified = fromDos({e->dosTime, e->dosDate});
        if (modified.isValid())
            file->setFileTime(modified, QFileDevice::FileModificationTime);
        file->close();
        if (!file->setPermissions(permissionsFor(e->madeBy, e->externalAttributes)))
            writeFailed(e->name, SafeFile::reasonOf(*file));
        done += e->size;
        staged.push_back(std::move(file));
    }

    for (size_t i = 0; i < chosen.size(); ++i) {
        const QString target = dir.filePath(chosen[i]->name);
        std::error_code error;
        // std::filesystem::rename replaces an existing target, also a symbolic link itself
        // rather than the file it points to, so nothing lands outside the folder.
        std::filesystem::rename(std::filesystem::path(staged[i]->fileName().toStdU16String()),
                                std::filesystem::path(target.toStdU16String()), error);
        if (error) {
            throw MetrolaError(QStringLiteral("Не удалось записать файл «%1» в папку «%2»: %3. Извлечено файлов: %4 из %5.")
                                   .arg(chosen[i]->name, shown(destDir), SafeFile::systemErrorText(error.value()),
                                        QString::number(i), QString::number(chosen.size())));
        }
        staged[i]->setAutoRemove(false);
    }
    if (progress && lastPercent != 100)
        progress(100);
    return int(chosen.size());
}
