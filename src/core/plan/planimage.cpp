#include "core/plan/planimage.h"

#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/plan/bmpdecoder.h"
#include "core/plan/bmpwriter.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cerrno>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr qint64 kMaxInfoHeaderSize = 124;
// Masks may follow a 40-byte info header; the head read covers them for every header size.
constexpr qint64 kHeadSize = kFileHeaderSize + kMaxInfoHeaderSize;

constexpr size_t kHugePage = size_t(2) << 20;

quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

// The caller goes on showing the plan it had, and the user should know that.
[[noreturn]] void refuse(const QString &message)
{
    throw MetrolaError(message + QStringLiteral(" Показан прежний план."));
}

[[noreturn]] void refuseNotBmp(const QString &name)
{
    refuse(QStringLiteral("Файл «%1» не является рисунком BMP.").arg(name));
}

[[noreturn]] void refuseTruncated(const QString &name)
{
    refuse(QStringLiteral("Файл «%1» повреждён: данные рисунка обрываются.").arg(name));
}

[[noreturn]] void refuseUnsupported(const QString &name, const QString &why)
{
    refuse(QStringLiteral("Файл «%1» записан в неподдерживаемом виде BMP (%2).").arg(name, why));
}

[[noreturn]] void refuseOutOfMemory(const QString &name)
{
    refuse(QStringLiteral("Не хватает памяти, чтобы открыть рисунок из файла «%1».").arg(name));
}

// Everything Qt's decoder would trust blindly is checked here, against the real file size.
BmpHeader readHeader(QIODevice &file, const QString &name)
{
    const qint64 fileSize = file.size();
    const QByteArray head = file.read(kHeadSize);
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    if (head.size() < kFileHeaderSize + 4 || p[0] != 'B' || p[1] != 'M')
        refuseNotBmp(name);

    const quint32 infoSize = le32(p + 14);
    switch (infoSize) {
    case 12:  // OS/2 1.x core header
    case 40:  // BITMAPINFOHEADER
    case 52:  // ... with RGB masks
    case 56:  // ... with RGBA masks
    case 64:  // OS/2 2.x
    case 108: // BITMAPV4HEADER
    case 124: // BITMAPV5HEADER
        break;
    default:
        refuseNotBmp(name);
    }
    if (head.size() < kFileHeaderSize + qint64(infoSize))
        refuseTruncated(name);

    BmpHeader h;
    h.fileSize = fileSize;
    h.head = head;
    h.infoSize = infoSize;
    h.dataOffset = le32(p + 10);
    const uchar *info = p + kFileHeaderSize;
    if (infoSize == 12) {
        h.width = le16(info + 4);
        h.height = le16(info + 6);
        h.bitCount = le16(info + 10);
    } else {
        h.width = qint32(le32(info + 4));
        h.height = qint32(le32(info + 8));
        h.bitCount = le16(info + 14);
        h.compression = le32(info + 16);
        h.imageSize = le32(info + 20);
        h.coloursUsed = le32(info + 32);
    }

    const qint64 rows = std::llabs(h.height);
    if (h.width <= 0 || rows == 0) {
        refuse(QStringLiteral("Файл «%1» повреждён: размеры рисунка %2 × %3 недопустимы.")
                   .arg(name, QString::number(h.width), QString::number(h.height)));
    }
    if (h.width > PlanImage::kMaxSide || rows > PlanImage::kMaxSide
        || h.width * rows > PlanImage::kMaxPixels) {
        refuse(QStringLiteral("Рисунок в файле «%1» слишком велик: %2 × %3 точек, а допускается "
                              "не более %4 млн точек и не более %5 по стороне.")
                   .arg(name, QString::number(h.width), QString::number(rows),
                        QString::number(PlanImage::kMaxPixels / 1000000),
                        QString::number(PlanImage::kMaxSide)));
    }

    switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        break;
    default:
        refuseUnsupported(name, QStringLiteral("%1 бит на точку").arg(h.bitCount));
    }
    const bool supported = h.compression == BmpHeader::kRgb
                           || (h.compression == BmpHeader::kRle8 && h.bitCount == 8)
                           || (h.compression == BmpHeader::kRle4 && h.bitCount == 4)
                           || (h.compression == BmpHeader::kBitfields
                               && (h.bitCount == 16 || h.bitCount == 32));
    if (!supported)
        refuseUnsupported(name, QStringLiteral("сжатие %1").arg(h.compression));

    if (h.dataOffset < kFileHeaderSize + qint64(infoSize))
        refuse(QStringLiteral("Файл «%1» повреждён: заголовок рисунка BMP неверен.").arg(name));
    if (h.compression == BmpHeader::kRgb || h.compression == BmpHeader::kBitfields) {
        // Rows are padded to whole 32-bit words.
        const qint64 stride = (h.width * h.bitCount + 31) / 32 * 4;
        if (h.dataOffset + stride * rows > fileSize)
            refuseTruncated(name);
    } else if (h.dataOffset >= fileSize
               || (h.imageSize != 0 && h.dataOffset + h.imageSize > fileSize)) {
        refuseTruncated(name);
    }
    return h;
}

} // namespace

QImage PlanImage::loadBmp(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file;
    if (SafeFile::kindOf(path, true) == SafeFile::Kind::Missing)
        refuse(QStringLiteral("Файл «%1» не найден.").arg(name));
    // Unbuffered: rows are read in large pieces straight into the decoder's buffer.
    QString reason;
    if (!SafeFile::openForReading(file, path, &reason, QIODevice::Unbuffered))
        refuse(QStringLiteral("Не удалось открыть файл «%1»: %2.").arg(name, reason));
    return readBmp(file, name);
}

bool PlanImage::isPlanFile(const QString &path)
{
    QFile file;
    QString reason;
    if (!SafeFile::openForReading(file, path, &reason))
        return false;
    try {
        readHeader(file, QFileInfo(path).fileName());
    } catch (const MetrolaError &) {
        return false;
    }
    return true;
}

QImage PlanImage::readBmp(QIODevice &device, const QString &name)
{
    const BmpHeader header = readHeader(device, name);

    const BmpDecoder decoder(header);
    if (decoder.handles()) {
        QImage image;
        switch (decoder.decode(device, image)) {
        case BmpDecoder::Result::Decoded:
            return image;
        case BmpDecoder::Result::Truncated:
            refuseTruncated(name);
        case BmpDecoder::Result::BadPalette:
            refuse(QStringLiteral("Файл «%1» повреждён: заголовок рисунка BMP неверен.").arg(name));
        case BmpDecoder::Result::OutOfMemory:
            refuseOutOfMemory(name);
        case BmpDecoder::Result::NotHandled:
            break;
        }
    }

    // Qt's default cap of 256 MiB stops a 10000 x 7000 plan; the header checks above already
    // keep out anything larger than kMaxPixels.
    constexpr int kLimitMiB = int(kMaxPixels * 4 / (1024 * 1024));
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < kLimitMiB)
        QImageReader::setAllocationLimit(kLimitMiB);

    if (!device.seek(0))
        refuse(QStringLiteral("Не удалось прочитать файл «%1»: %2.").arg(name, SafeFile::reasonOf(device.errorString())));
    QImageReader reader(&device, "bmp");
    reader.setAutoDetectImageFormat(false);
    QImage image;
    if (!reader.read(&image) || image.width() != header.width
        || image.height() != std::llabs(header.height)) {
        refuse(QStringLiteral("Не удалось прочитать рисунок из файла «%1»: файл повреждён или не "
                              "хватает памяти.").arg(name));
    }
    image.convertTo(QImage::Format_RGB32);
    if (image.isNull())
        refuseOutOfMemory(name);
    return image;
}

QImage PlanImage::allocate(int width, int height)
{
    const size_t bytes = size_t(width) * 4 * size_t(height);
    if (width <= 0 || height <= 0 || bytes < 2 * kHugePage)
        return QImage(width, height, QImage::Format_RGB32);
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void *data = std::aligned_alloc(kHugePage, rounded);
    if (!data)
        return {};
#ifdef MADV_HUGEPAGE
    // Only advice: without huge pages the image works the same, just fills in more slowly.
    madvise(data, rounded, MADV_HUGEPAGE);
#endif
    return QImage(static_cast<uchar *>(data), width, height, qsizetype(width) * 4,
                  QImage::Format_RGB32, [](void *p) { std::free(p); }, data);
}

QByteArray PlanImage::bmpBytes(const QImage &image)
{
    QByteArray bytes;
    if (!image.isNull())
        bytes.reserve(BmpWriter::fileSize(image));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!BmpWriter::write(image, buffer))
        throw MetrolaError(QStringLiteral("Не удалось построить рисунок BMP плана."));
    return bytes;
}

void PlanImage::saveBmp(const QImage &image, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    if (image.isNull())
        throw MetrolaError(QStringLiteral("Нет рисунка плана для записи в файл «%1».").arg(name));

    SafeFile::ReplacingFile file(path);
    if (!file.open())
        throw MetrolaError(
            QStringLiteral("Не удалось создать файл «%1»: %2.").arg(name, file.errorString()));
    if (!BmpWriter::write(image, file.checkedDevice())) {
        // A disk that fills up takes part of a write without an error, so the reason is the
        // checked device's; the writer fails on its own only for want of memory.
        const QString reason = file.writeError().isEmpty() ? QStringLiteral("не хватает памяти") : file.writeError();
        throw MetrolaError(QStringLiteral("Не удалось записать план в файл «%1»: %2.").arg(name, reason));
    }
    if (!file.commit())
        throw MetrolaError(QStringLiteral("Не удалось записать план в файл «%1»: %2.")
                               .arg(name, file.errorString()));
}
