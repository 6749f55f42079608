#pragma once

#include <QImage>
#include <QRgb>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

// What the plan view draws for a key image: every pixel whose colour is one of the table's
// keys is drawn in that key's display colour, every other pixel as it is. The key image itself
// is never touched; only the copy on screen is mapped.
//
// Plans are mostly long runs of one colour (a room's floor, a wall), so the mapping looks up a
// colour only where a run starts. The lookup is a presence bitmap on the low 16 bits followed by
// a binary search of the sorted keys; most run starts (walls, unmarked floor, anti-aliasing)
// are turned away by the bitmap.
class DisplayColours
{
public:
    // Pairs of (pixel colour, display colour), both as RGB32 words. A later pair for the same
    // pixel colour wins.
    void assign(std::vector<std::pair<QRgb, QRgb>> pairs);
    void clear() { assign({}); }
    bool isEmpty() const { return m_from.empty(); }
    int size() const { return static_cast<int>(m_from.size()); }

    QRgb displayOf(QRgb pixel) const;

    // Writes the display colours of source's rect (clipped to the source) into target with the
    // rect's top-left at targetPoint. Both images are Format_RGB32 (or ARGB32); target must be
    // large enough.
    void map(const QImage &source, const QRect &rect, QImage &target, QPoint targetPoint) const;
    // Maps one scanline segment.
    void mapLine(const QRgb *source, QRgb *target, int count) const;

private:
    bool mayBeKey(QRgb pixel) const
    {
        const std::uint32_t bit = pixel & 0xffffu;
        return (m_present[bit >> 6] >> (bit & 63u)) & 1u;
    }

    std::vector<QRgb> m_from; // sorted
    std::vector<QRgb> m_to;
    std::array<std::uint64_t, 65536 / 64> m_present{};
};
