#include "bmpwriter.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr qint64 kHeaderSize = 14 + 40;
constexpr qint64 kChunkBytes = qint64(256) << 10;

qint64 strideOf(int width)
{
    return (qint64(width) * 3 + 3) / 4 * 4;
}

// Four pixels make three little-endian words of blue, green, red bytes.
void packRow(const QRgb *in, uchar *out, int width)
{
    int x = 0;
    for (; x + 4 <= width; x += 4, out += 12) {
        const quint32 words[3] = {
            (in[x] & 0xffffffu) | (in[x + 1] << 24),
            ((in[x + 1] >> 8) & 0xffffu) | (in[x + 2] << 16),
            ((in[x + 2] >> 16) & 0xffu) | (in[x + 3] << 8),
        };
        std::memcpy(out, words, 12);
    }
    for (; x < width; ++x, out += 3) {
        out[0] = uchar(in[x]);
        out[1] = uchar(in[x] >> 8);
        out[2] = uchar(in[x] >> 16);
    }
}

void put16(uchar *p, quint16 v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
}

void put32(uchar *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uchar(v >> (8 * i));
}

} // namespace

qint64 BmpWriter::fileSize(const QImage &image)
{
    return kHeaderSize + strideOf(image.width()) * image.height();
}

bool BmpWriter::write(const QImage &image, QIODevice &device)
{
    if (image.isNull())
        return false;
    // Alpha has no place in a 24-bit file; both formats keep colour in the low three bytes.
    const bool direct = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    const QImage rgb = direct ? image : image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull())
        return false;

    const int width = rgb.width();
    const int height = rgb.height();
    const qint64 stride = strideOf(width);

    uchar header[kHeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, quint32(fileSize(rgb)));
    put32(header + 10, quint32(kHeaderSize));
    put32(header + 14, 40);
    put32(header + 18, quint32(width));
    put32(header + 22, quint32(height));
    put16(header + 26, 1);
    put16(header + 28, 24);
    put32(header + 34, quint32(stride * height));
    put32(header + 38, quint32(rgb.dotsPerMeterX()));
    put32(header + 42, quint32(rgb.dotsPerMeterY()));
    if (device.write(reinterpret_cast<const char *>(header), kHeaderSize) != kHeaderSize)
        return false;

    // Rows go bottom-up; the buffer is zeroed once so that every row's padding stays zero.
    const qint64 chunkRows = std::clamp<qint64>(kChunkBytes / stride, 1, height);
    const qint64 chunkBytes = chunkRows * stride;
    const std::unique_ptr<uchar[]> buffer(new (std::nothrow) uchar[size_t(chunkBytes)]());
    if (!buffer)
        return false;
    for (qint64 done = 0; done < height; done += chunkRows) {
        const qint64 count = std::min(chunkRows, height - done);
        for (qint64 i = 0; i < count; ++i) {
            const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(int(height - 1 - (done + i))));
            packRow(in, buffer.get() + i * stride, width);
        }
        if (device.write(reinterpret_cast<const char *>(buffer.get()), count * stride) != count * stride)
            return false;
    }
    return true;
}
