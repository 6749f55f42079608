#include "core/plan/displaycolours.h"

#include <algorithm>

void DisplayColours::assign(std::vector<std::pair<QRgb, QRgb>> pairs)
{
    // Stable, so that of two pairs for one colour the later stays last and wins below.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    m_from.clear();
    m_to.clear();
    m_present.fill(0);
    for (const auto &[from, to] : pairs) {
        if (!m_from.empty() && m_from.back() == from) {
            m_to.back() = to;
            continue;
        }
        m_from.push_back(from);
        m_to.push_back(to);
        const std::uint32_t bit = from & 0xffffu;
        m_present[bit >> 6] |= std::uint64_t(1) << (bit & 63u);
    }
}

QRgb DisplayColours::displayOf(QRgb pixel) const
{
    if (!mayBeKey(pixel))
        return pixel;
    const auto it = std::lower_bound(m_from.begin(), m_from.end(), pixel);
    if (it == m_from.end() || *it != pixel)
        return pixel;
    return m_to[static_cast<size_t>(it - m_from.begin())];
}

void DisplayColours::mapLine(const QRgb *source, QRgb *target, int count) const
{
    int i = 0;
    while (i < count) {
        const QRgb run = source[i];
        int end = i + 1;
        while (end < count && source[end] == run)
            ++end;
        std::fill(target + i, target + end, displayOf(run));
        i = end;
    }
}

void DisplayColours::map(const QImage &source, const QRect &rect, QImage &target, QPoint targetPoint) const
{
    const QRect area = rect.intersected(source.rect());
    if (area.isEmpty())
        return;
    const QPoint shift = targetPoint - rect.topLeft();
    const QRect into = area.translated(shift).intersected(target.rect());
    if (into.isEmpty())
        return;
    for (int y = into.top(); y <= into.bottom(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(source.constScanLine(y - shift.y())) + into.left() - shift.x();
        auto *to = reinterpret_cast<QRgb *>(target.scanLine(y)) + into.left();
        if (m_from.empty())
            std::copy(from, from + into.width(), to);
        else
            mapLine(from, to, into.width());
    }
}
