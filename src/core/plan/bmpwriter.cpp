#include "core/plan/bmpwriter.h"

#include "core/base/safefile.h"

#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <memory>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define METROLA_PACK_SSSE3 1
#include <tmmintrin.h>
#endif

#ifdef __linux__
#include <fcntl.h>
#endif

namespace {

constexpr qint64 kHeaderSize = 14 + 40;
// Rows go out in blocks of about this size: few system calls, and a block that has just been
// packed is still in the cache when the kernel copies it.
constexpr qint64 kBlockBytes = qint64(512) << 10;
// Files are handed to the disk in pieces of this size while the rest is still being written.
constexpr qint64 kWritebackBytes = qint64(8) << 20;

qint64 strideOf(int width)
{
    return (qint64(width) * 3 + 3) / 4 * 4;
}

void packRowScalar(const QRgb *in, uchar *out, int width)
{
    for (int x = 0; x < width; ++x, out += 3) {
        const QRgb v = in[x];
        out[0] = uchar(v);
        out[1] = uchar(v >> 8);
        out[2] = uchar(v >> 16);
    }
}

#ifdef METROLA_PACK_SSSE3
// Sixteen pixels make 48 bytes: each group of four loses its fourth bytes in one shuffle, and
// the four 12-byte groups are shifted together into three full stores.
__attribute__((target("ssse3"))) void packRowSsse3(const QRgb *in, uchar *out, int width)
{
    const __m128i drop = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    for (; x + 16 <= width; x += 16, out += 48) {
        const auto *p = reinterpret_cast<const __m128i *>(in + x);
        const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(p), drop);
        const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(p + 1), drop);
        const __m128i c = _mm_shuffle_epi8(_mm_loadu_si128(p + 2), drop);
        const __m128i d = _mm_shuffle_epi8(_mm_loadu_si128(p + 3), drop);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_or_si128(a, _mm_slli_si128(b, 12)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 16),
                         _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 32),
                         _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
    packRowScalar(in + x, out, width - x);
}
#endif

using PackRow = void (*)(const QRgb *, uchar *, int);

PackRow rowPacker()
{
#ifdef METROLA_PACK_SSSE3
    static const PackRow packer = __builtin_cpu_supports("ssse3") ? packRowSsse3 : packRowScalar;
    return packer;
#else
    return packRowScalar;
#endif
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

// Hands what has been written of a file to the disk a piece at a time, so that the sync of a
// QSaveFile's commit finds most of it on the disk already instead of starting all of it then.
class EarlyWriteback
{
public:
    explicit EarlyWriteback(QIODevice &device)
    {
        m_fd = SafeFile::handleOf(device);
    }

    void written(qint64 bytes)
    {
        m_written += bytes;
#ifdef SYNC_FILE_RANGE_WRITE
        if (m_fd >= 0 && m_written - m_started >= kWritebackBytes) {
            // Only advice: a file system that cannot start early writes them at the sync.
            sync_file_range(m_fd, m_started, m_written - m_started, SYNC_FILE_RANGE_WRITE);
            m_started = m_written;
        }
#endif
    }

private:
    int m_fd = -1;
    qint64 m_written = 0;
    qint64 m_started = 0;
};

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
    EarlyWriteback writeback(device);
    if (device.write(reinterpret_cast<const char *>(header), kHeaderSize) != kHeaderSize)
        return false;
    writeback.written(kHeaderSize);

    // Rows go bottom-up, a block at a time; the buffer is zeroed once so that every row's
    // padding stays zero.
    const qint64 blockRows = std::clamp<qint64>(kBlockBytes / stride, 1, height);
    const std::unique_ptr<uchar[]> buffer(new (std::nothrow) uchar[size_t(blockRows * stride)]());
    if (!buffer)
        return false;
    const PackRow pack = rowPacker();
    for (qint64 done = 0; done < height; done += blockRows) {
        const qint64 count = std::min(blockRows, height - done);
        for (qint64 i = 0; i < count; ++i) {
            const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(int(height - 1 - (done + i))));
            pack(in, buffer.get() + i * stride, width);
        }
        if (device.write(reinterpret_cast<const char *>(buffer.get()), count * stride) != count * stride)
            return false;
        writeback.written(count * stride);
    }
    return true;
}
