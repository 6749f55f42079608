#include "core/plan/floodfill.h"

#include "core/base/metrolaerror.h"
#include "core/plan/colourkey.h"
#include "core/plan/roomrepaint.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Pixel = std::uint32_t;

inline bool matches(Pixel p, Pixel surface)
{
    return (p & ColourKey::kRgbMask) == surface;
}

// The three scans below carry nearly all of a big fill's time: a 35-megapixel room is read
// once by them and written once by std::fill. They compare eight pixels a step where SSE2 is
// there (always, on x86-64), which keeps the fill close to the speed of copying the image.

#if defined(__SSE2__)

inline __m128i maskedLoad(const Pixel *p, __m128i mask)
{
    return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), mask);
}

// Byte mask of the pixels of p[0..3] that match, four bits a pixel.
inline int matchBits(const Pixel *p, __m128i mask, __m128i want)
{
    return _mm_movemask_epi8(_mm_cmpeq_epi32(maskedLoad(p, mask), want));
}

#endif

// First index in [x, end) whose pixel does not match; `end` when all do.
inline int skipMatching(const Pixel *row, int x, int end, Pixel surface)
{
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(int(ColourKey::kRgbMask));
    const __m128i want = _mm_set1_epi32(int(surface));
    for (; x + 8 <= end; x += 8) {
        const __m128i a = _mm_cmpeq_epi32(maskedLoad(row + x, mask), want);
        const __m128i b = _mm_cmpeq_epi32(maskedLoad(row + x + 4, mask), want);
        if (_mm_movemask_epi8(_mm_and_si128(a, b)) != 0xffff) {
            const int lo = _mm_movemask_epi8(a);
            if (lo != 0xffff)
                return x + (__builtin_ctz(~lo) >> 2);
            return x + 4 + (__builtin_ctz(~_mm_movemask_epi8(b)) >> 2);
        }
    }
    if (x + 4 <= end) {
        const int bits = matchBits(row + x, mask, want);
        if (bits != 0xffff)
            return x + (__builtin_ctz(~bits) >> 2);
        x += 4;
    }
#endif
    while (x < end && matches(row[x], surface))
        ++x;
    return x;
}

// First index in [x, end) whose pixel matches; `end` (or x, if x is past it) when none does.
inline int skipOthers(const Pixel *row, int x, int end, Pixel surface)
{
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(int(ColourKey::kRgbMask));
    const __m128i want = _mm_set1_epi32(int(surface));
    for (; x + 4 <= end; x += 4) {
        const int bits = matchBits(row + x, mask, want);
        if (bits != 0)
            return x + (__builtin_ctz(bits) >> 2);
    }
#endif
    while (x < end && !matches(row[x], surface))
        ++x;
    return x;
}

// Given a matching pixel at x, the leftmost index of the matching run that ends there.
inline int extendLeft(const Pixel *row, int x, Pixel surface)
{
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(int(ColourKey::kRgbMask));
    const __m128i want = _mm_set1_epi32(int(surface));
    for (; x >= 4; x -= 4) {
        const int bits = matchBits(row + x - 4, mask, want);
        if (bits != 0xffff) {
            const int highestOther = 31 - __builtin_clz(~bits & 0xffff);
            return x - 4 + (highestOther >> 2) + 1;
        }
    }
#endif
    while (x > 0 && matches(row[x - 1], surface))
        --x;
    return x;
}

// A room is narrow beside the plan, so its rows lie a plan's width apart in memory, and the
// hardware prefetcher, which follows addresses within a page, does not guess them. Asking for
// the run a few rows ahead hides that latency: repainting the 500 rooms of a 7000 x 5000 plan
// went from about 25 ms to 10, and large open regions lose nothing.
constexpr int kPrefetchRows = 4;

inline void prefetchRun(const Pixel *row, int left, int end)
{
    constexpr int kPixelsPerLine = 64 / sizeof(Pixel);
    for (int x = left; x < end; x += kPixelsPerLine)
        __builtin_prefetch(row + x, 1, 3);
}

} // namespace

FloodFill::FloodFill() = default;
FloodFill::~FloodFill() = default;
FloodFill::FloodFill(FloodFill &&) noexcept = default;
FloodFill &FloodFill::operator=(FloodFill &&) noexcept = default;

QRect FloodFill::fill(QImage &image, QPoint seed, QRgb colour, std::vector<Span> *spans)
{
    return fillRegion<false>(image, seed, colour, spans, nullptr);
}

FloodFill::Leak FloodFill::leak(QRect box, qint64 pixels, QSize sheet)
{
    if (box.isEmpty() || sheet.isEmpty())
        return Leak::None;
    if (box.left() <= 0 || box.top() <= 0 || box.right() >= sheet.width() - 1 || box.bottom() >= sheet.height() - 1)
        return Leak::Edge;
    if (pixels * 2 > qint64(sheet.width()) * sheet.height())
        return Leak::MostOfPlan;
    return Leak::None;
}

QRect FloodFill::fillCounting(QImage &image, QPoint seed, QRgb colour, qint64 &pixels)
{
    pixels = 0;
    return fillRegion<true>(image, seed, colour, nullptr, &pixels);
}

template <bool kCount>
QRect FloodFill::fillRegion(QImage &image, QPoint seed, QRgb colour, std::vector<Span> *spans,
                            qint64 *pixels)
{
    if (image.isNull())
        return {};
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        break;
    default:
        throw MetrolaError(QStringLiteral("Внутренняя ошибка: заливка возможна только на рисунке "
                                          "с 32 битами на точку."));
    }
    const int width = image.width();
    const int height = image.height();
    if (seed.x() < 0 || seed.y() < 0 || seed.x() >= width || seed.y() >= height)
        return {};

    // Read through the const pointer first: a fill that changes nothing must not detach an
    // image that the caller shares with its undo history.
    const Pixel surface =
        reinterpret_cast<const Pixel *>(image.constScanLine(seed.y()))[seed.x()]
        & ColourKey::kRgbMask;
    const Pixel paint = colour | ~ColourKey::kRgbMask;
    if ((paint & ColourKey::kRgbMask) == surface)
        return {};

    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const auto rowAt = [bits, stride](int y) {
        return reinterpret_cast<Pixel *>(bits + y * stride);
    };

    int minX = seed.x();
    int maxX = seed.x();
    int minY = seed.y();
    int maxY = seed.y();
    const auto paintRun = [&](Pixel *row, int y, int left, int right) {
        std::fill(row + left, row + right + 1, paint);
        minX = std::min(minX, left);
        maxX = std::max(maxX, right);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        if constexpr (kCount)
            *pixels += right - left + 1;
        if (spans)
            spans->push_back({y, left, right});
    };
    const auto push = [this, height](int y, int left, int right, int dy) {
        if (y >= 0 && y < height)
            m_stack.push_back({y, left, right, dy});
    };

    m_stack.clear();
    {
        Pixel *row = rowAt(seed.y());
        const int left = extendLeft(row, seed.x(), surface);
        const int right = skipMatching(row, seed.x() + 1, width, surface) - 1;
        paintRun(row, seed.y(), left, right);
        push(seed.y() + 1, left, right, 1);
        push(seed.y() - 1, left, right, -1);
    }

    // Scanline fill after Heckbert: each segment names a row and the range under (or over) a
    // run just filled. Runs found there are filled whole and pushed onward in the same
    // direction; only the parts of a run that overhang the range can leak back towards the
    // row they came from, so those alone are pushed in reverse. Every pixel of the region is
    // written once and read a small constant number of times.
    while (!m_stack.empty()) {
        const Segment seg = m_stack.back();
        m_stack.pop_back();
        Pixel *row = rowAt(seg.y);

        int left = seg.left;
        if (matches(row[left], surface)) {
            left = extendLeft(row, left, surface);
            if (left < seg.left)
                push(seg.y - seg.dy, left, seg.left - 1, -seg.dy);
        } else {
            left = skipOthers(row, left + 1, seg.right + 1, surface);
            if (left > seg.right)
                continue;
        }

        for (;;) {
            const int end = skipMatching(row, left + 1, width, surface);
            paintRun(row, seg.y, left, end - 1);
            push(seg.y + seg.dy, left, end - 1, seg.dy);
            const int ahead = seg.y + kPrefetchRows * seg.dy;
            if (ahead >= 0 && ahead < height)
                prefetchRun(rowAt(ahead), left, end);
            if (end - 1 > seg.right) {
                push(seg.y - seg.dy, seg.right + 1, end - 1, -seg.dy);
                break;
            }
            left = skipOthers(row, end + 1, seg.right + 1, surface);
            if (left > seg.right)
                break;
        }
    }

    return QRect(QPoint(minX, minY), QPoint(maxX, maxY));
}

QRect FloodFill::repaintRooms(QImage &image, std::span<const RoomSeed> rooms)
{
    return repaintRooms(image, rooms, {});
}

QRect FloodFill::repaintRooms(QImage &image, std::span<const RoomSeed> rooms,
                              std::span<qint64> pixels)
{
    if (!m_repaint)
        m_repaint = std::make_unique<RoomRepaint>();
    return m_repaint->run(*this, image, rooms, pixels);
}
