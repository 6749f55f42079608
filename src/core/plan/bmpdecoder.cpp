#include "core/plan/bmpdecoder.h"

#include "core/plan/planimage.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr qint64 kFileHeaderSize = 14;
// Rows are read a few at a time into a buffer that stays in the cache while it is converted;
// a chunk fills about 1 MiB of the image.
constexpr qint64 kChunkPixelBytes = qint64(1) << 20;
// Pixels outside a short palette come out black, as Qt gives them.
constexpr QRgb kOutsidePalette = 0xff000000;

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

bool readFully(QIODevice &device, char *data, qint64 size)
{
    while (size > 0) {
        const qint64 n = device.read(data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// The shift of a mask that selects one whole byte of the pixel, or -1.
int byteMaskShift(quint32 mask)
{
    for (int shift = 0; shift < 32; shift += 8) {
        if (mask == 0xffu << shift)
            return shift;
    }
    return -1;
}

// Reads the compressed data a buffer at a time; RLE bitmaps are rare and small enough that a
// call per byte costs nothing worth saving.
class ByteSource
{
public:
    explicit ByteSource(QIODevice &device)
        : m_device(device)
    {}

    bool next(uchar &byte)
    {
        if (m_pos == m_end) {
            const qint64 n =
                m_device.read(reinterpret_cast<char *>(m_buffer.data()), qint64(m_buffer.size()));
            if (n <= 0)
                return false;
            m_pos = 0;
            m_end = size_t(n);
        }
        byte = m_buffer[m_pos++];
        return true;
    }

private:
    QIODevice &m_device;
    std::array<uchar, 64 * 1024> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
};

// Writes one scanline from pixel(x), four pixels a store past the cache where SSE2 is there:
// a plan is far larger than the cache and nothing reads it before the whole image is done, so
// this saves reading every line of fresh memory in only to overwrite it.
template<typename Pixel>
void storeRow(QRgb *out, int width, Pixel pixel)
{
    int x = 0;
#if defined(__SSE2__)
    for (; x < width && (reinterpret_cast<quintptr>(out + x) & 15) != 0; ++x)
        out[x] = pixel(x);
    for (; x + 4 <= width; x += 4) {
        _mm_stream_si128(reinterpret_cast<__m128i *>(out + x),
                         _mm_setr_epi32(int(pixel(x)), int(pixel(x + 1)), int(pixel(x + 2)), int(pixel(x + 3))));
    }
#endif
    for (; x < width; ++x)
        out[x] = pixel(x);
}

// Orders the streamed stores before whatever the caller does with the image next.
void finishStores()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

quint32 load32(const uchar *p)
{
    quint32 v;
    std::memcpy(&v, p, 4);
    return v;
}

} // namespace

BmpDecoder::BmpDecoder(const BmpHeader &header)
    : m_header(header)
{
    const int bits = header.bitCount;
    const bool core = header.infoSize == 12;
    const qint64 paletteStart = kFileHeaderSize + header.infoSize;
    const int entrySize = core ? 3 : 4;
    const qint64 full = qint64(1) << std::min(bits, 8);
    const qint64 declared = core || header.coloursUsed == 0 ? full : qint64(header.coloursUsed);

    switch (header.compression) {
    case BmpHeader::kRgb:
        if (bits == 24) {
            m_kind = Kind::Rgb24;
        } else if (bits == 32) {
            m_kind = Kind::Rgb32;
        } else if (bits == 1 || bits == 4 || bits == 8) {
            // Qt reads one-colour monochrome bitmaps and palettes longer than the depth allows
            // in ways of its own; those stay with it.
            const bool plain = declared >= (bits == 1 ? 2 : 1) && declared <= full &&
                               paletteStart + declared * entrySize <= header.dataOffset;
            if (plain) {
                m_kind = Kind::Palette;
                m_paletteSize = int(declared);
            }
        }
        break;
    case BmpHeader::kBitfields: {
        // The masks follow a 40-byte header and sit inside the longer ones that Qt reads.
        if (bits != 32 || !(header.infoSize == 40 || header.infoSize == 108 || header.infoSize == 124))
            break;
        const qint64 masksAt = kFileHeaderSize + 40;
        if (header.head.size() < masksAt + 12 || (header.infoSize == 40 && header.dataOffset < masksAt + 12))
            break;
        const int r = byteMaskShift(le32(header.head.constData() + masksAt));
        const int g = byteMaskShift(le32(header.head.constData() + masksAt + 4));
        const int b = byteMaskShift(le32(header.head.constData() + masksAt + 8));
        if (r < 0 || g < 0 || b < 0)
            break;
        m_redShift = r;
        m_greenShift = g;
        m_blueShift = b;
        m_kind = r == 16 && g == 8 && b == 0 ? Kind::Rgb32 : Kind::Masked32;
        break;
    }
    case BmpHeader::kRle8:
    case BmpHeader::kRle4:
        // Always ours, so that no pixel is left to whatever memory held before.
        m_kind = Kind::Rle;
        m_paletteSize = int(std::min(declared, full));
        break;
    default:
        break;
    }
}

bool BmpDecoder::readPalette(QIODevice &device, QRgb *palette) const
{
    std::fill(palette, palette + 256, kOutsidePalette);
    const int entrySize = m_header.infoSize == 12 ? 3 : 4;
    const qint64 start = kFileHeaderSize + m_header.infoSize;
    if (start + qint64(m_paletteSize) * entrySize > m_header.dataOffset)
        return false;
    QByteArray bytes(qsizetype(m_paletteSize) * entrySize, Qt::Uninitialized);
    if (!device.seek(start) || !readFully(device, bytes.data(), bytes.size()))
        return false;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    for (int i = 0; i < m_paletteSize; ++i, p += entrySize)
        palette[i] = qRgb(p[2], p[1], p[0]);
    return true;
}

BmpDecoder::Result BmpDecoder::decode(QIODevice &device, QImage &image) const
{
    if (m_kind == Kind::None)
        return Result::NotHandled;
    std::array<QRgb, 256> palette;
    if (m_kind == Kind::Palette || m_kind == Kind::Rle) {
        if (!readPalette(device, palette.data()))
            return m_kind == Kind::Rle ? Result::BadPalette : Result::Truncated;
    }
    image = PlanImage::allocate(int(m_header.width), int(std::abs(m_header.height)));
    if (image.isNull())
        return Result::OutOfMemory;
    if (!device.seek(m_header.dataOffset))
        return Result::Truncated;
    return m_kind == Kind::Rle ? decodeRle(device, image, palette.data())
                               : decodeRows(device, image, palette.data());
}

BmpDecoder::Result BmpDecoder::decodeRows(QIODevice &device, QImage &image, const QRgb *palette) const
{
    const int width = image.width();
    const qint64 rows = image.height();
    const bool topDown = m_header.height < 0;
    const qint64 stride = (qint64(width) * m_header.bitCount + 31) / 32 * 4;
    const qint64 chunkRows = std::clamp<qint64>(kChunkPixelBytes / (qint64(width) * 4), 1, rows);

    const int depth = m_header.bitCount;
    const int rs = m_redShift;
    const int gs = m_greenShift;
    const int bs = m_blueShift;
    const auto convertRow = [&](const uchar *in, QRgb *out) {
        switch (m_kind) {
        case Kind::Rgb24:
            // Four bytes per pixel, the fourth from the next pixel, the padding or, for the
            // last row of a chunk, the slack the buffer keeps for it.
            storeRow(out, width, [in](int x) { return 0xff000000u | load32(in + 3 * x); });
            break;
        case Kind::Rgb32:
            // The fourth byte is neither alpha nor colour for a plan: Qt drops it as well.
            storeRow(out, width, [in](int x) { return 0xff000000u | load32(in + 4 * x); });
            break;
        case Kind::Masked32:
            storeRow(out, width, [=](int x) {
                const quint32 v = load32(in + 4 * x);
                return qRgb(int((v >> rs) & 0xff), int((v >> gs) & 0xff), int((v >> bs) & 0xff));
            });
            break;
        default:
            if (depth == 8)
                storeRow(out, width, [=](int x) { return palette[in[x]]; });
            else if (depth == 4)
                storeRow(out, width, [=](int x) { return palette[(in[x >> 1] >> (4 - 4 * (x & 1))) & 0x0f]; });
            else
                storeRow(out, width, [=](int x) { return palette[(in[x >> 3] >> (7 - (x & 7))) & 1]; });
            break;
        }
    };

    // Four bytes of slack: the 24-bit converter reads a whole word for the last pixel.
    const std::unique_ptr<uchar[]> buffer(new (std::nothrow) uchar[size_t(chunkRows * stride + 4)]);
    if (!buffer)
        return Result::OutOfMemory;
    for (qint64 first = 0; first < rows; first += chunkRows) {
        const qint64 count = std::min(chunkRows, rows - first);
        if (!readFully(device, reinterpret_cast<char *>(buffer.get()), count * stride))
            return Result::Truncated;
        for (qint64 i = 0; i < count; ++i) {
            const qint64 fileRow = first + i;
            const int y = int(topDown ? fileRow : rows - 1 - fileRow);
            convertRow(buffer.get() + i * stride, reinterpret_cast<QRgb *>(image.scanLine(y)));
        }
    }
    finishStores();
    return Result::Decoded;
}

// Run-length data: pairs (count, colour) paint runs; (0, 0) ends a row, (0, 1) the bitmap,
// (0, 2, dx, dy) moves on, (0, n >= 3) is followed by n literal pixels padded to a 16-bit
// boundary. RLE4 packs two pixels a byte, a run alternating the two. Runs past the right edge
// are cut there; rows past the last one end the bitmap.
BmpDecoder::Result BmpDecoder::decodeRle(QIODevice &device, QImage &image, const QRgb *palette) const
{
    image.fill(palette[0]);
    const int width = image.width();
    const qint64 rows = image.height();
    const bool topDown = m_header.height < 0;
    const bool four = m_header.compression == BmpHeader::kRle4;

    ByteSource in(device);
    qint64 x = 0;
    qint64 y = 0; // in file order, from the bottom unless the bitmap is top-down
    QRgb *line = nullptr;
    const auto lineOf = [&] {
        line = y < rows ? reinterpret_cast<QRgb *>(image.scanLine(int(topDown ? y : rows - 1 - y))) : nullptr;
    };
    const auto put = [&](uchar index) {
        if (x < width)
            line[x] = palette[index];
        x = std::min<qint64>(x + 1, width);
    };
    lineOf();

    for (;;) {
        if (y >= rows)
            return Result::Decoded;
        uchar count = 0;
        uchar value = 0;
        if (!in.next(count) || !in.next(value)) {
            // Data that stops once every row is coded lacks only its end marker.
            return y == rows - 1 && x >= width ? Result::Decoded : Result::Truncated;
        }
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(four ? ((i & 1) ? value & 0x0f : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0:
            x = 0;
            ++y;
            lineOf();
            break;
        case 1:
            return Result::Decoded;
        case 2: {
            uchar dx = 0;
            uchar dy = 0;
            if (!in.next(dx) || !in.next(dy))
                return Result::Truncated;
            x = std::min<qint64>(x + dx, width);
            y += dy;
            lineOf();
            break;
        }
        default: {
            const int bytes = four ? (value + 1) / 2 : value;
            uchar byte = 0;
            for (int i = 0; i < bytes; ++i) {
                if (!in.next(byte))
                    return Result::Truncated;
                if (four) {
                    put(byte >> 4);
                    if (2 * i + 1 < value)
                        put(byte & 0x0f);
                } else {
                    put(byte);
                }
            }
            if (bytes % 2 == 1 && !in.next(byte))
                return Result::Truncated;
            break;
        }
        }
    }
}
