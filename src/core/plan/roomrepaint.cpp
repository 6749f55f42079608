#include "core/plan/roomrepaint.h"

#include "core/plan/colourkey.h"

#include <algorithm>

namespace {

// First entry of a row that ends at or after x.
template <typename Entries> auto firstReaching(Entries &row, int x)
{
    return std::partition_point(row.begin(), row.end(), [x](const auto &e) { return e.right < x; });
}

} // namespace

QRect RoomRepaint::run(FloodFill &fill, QImage &image, std::span<const RoomSeed> rooms,
                       std::span<qint64> pixels)
{
    m_fill = &fill;
    Q_ASSERT(pixels.empty() || pixels.size() == rooms.size());
    m_image = &image;
    m_regions.clear();
    m_colourBits = 1;
    while ((size_t(1) << m_colourBits) < 2 * rooms.size() + 2)
        ++m_colourBits;
    m_colours.assign(size_t(1) << m_colourBits, {});
    m_spans.clear();
    m_rows.clear();
    m_indexed = false;
    m_floodFills = 0;
    QRect filled;
    // The region bookkeeping reads pixels as 32 bits; any other image is the fill's to refuse.
    if (!image.isNull() && image.depth() != 32) {
        for (size_t i = 0; i < rooms.size(); ++i) {
            ++m_floodFills;
            filled |= m_fill->fill(image, rooms[i].labelPoint, ColourKey::toRgb(rooms[i].key));
        }
        m_fill = nullptr;
        return filled;
    }

    for (size_t i = 0; i < rooms.size(); ++i) {
        if (!pixels.empty())
            pixels[i] = 0;
        const QPoint p = rooms[i].labelPoint;
        const Pixel colour = ColourKey::toRgb(rooms[i].key) & ColourKey::kRgbMask;
        const bool onPlan = image.rect().contains(p);
        // Pixels of a painted region hold what it wrote, so a label point whose pixel holds no
        // such colour is on undisturbed plan; once rows are indexed they answer first, as
        // reading a pixel of a large plan is a cache miss a record.
        int at = onPlan && m_indexed ? regionAt(p.x(), p.y()) : -1;
        Pixel surface = 0;
        if (onPlan && at < 0) {
            surface =
                reinterpret_cast<const Pixel *>(image.constScanLine(p.y()))[p.x()] & ColourKey::kRgbMask;
            const ColourRegions *held = m_indexed ? nullptr : findColour(surface);
            if (held && held->holding > 0) {
                buildRowIndex();
                at = regionAt(p.x(), p.y());
            }
        }
        if (at >= 0) {
            Region &region = m_regions[size_t(at)];
            if (region.colour == colour)
                continue;
            if (isWholeSurface(at)) {
                recolour(at, colour);
                filled |= region.box;
                if (!pixels.empty())
                    pixels[i] = region.pixels;
                continue;
            }
            surface = region.colour;
        } else if (onPlan && surface == colour) {
            continue;
        }
        // A point off the plan goes to the fill, which paints nothing there.
        if (onPlan)
            writeOutColour(surface);
        const size_t firstSpan = m_spans.size();
        ++m_floodFills;
        const QRect box = m_fill->fill(image, p, ColourKey::toRgb(rooms[i].key), &m_spans);
        if (m_spans.size() == firstSpan)
            continue;
        qint64 count = 0;
        for (size_t k = firstSpan; k < m_spans.size(); ++k)
            count += m_spans[k].right - m_spans[k].left + 1;
        if (!pixels.empty())
            pixels[i] = count;
        filled |= box;
        absorbInto(surface, colour);
        addRegion(firstSpan, count, box, colour);
    }
    for (size_t i = 0; i < m_regions.size(); ++i)
        writeOut(int(i));
    m_image = nullptr;
    m_fill = nullptr;
    return filled;
}

void RoomRepaint::buildRowIndex()
{
    if (m_indexed)
        return;
    m_indexed = true;
    m_rows.assign(size_t(m_image->height()), {});
    for (size_t r = 0; r < m_regions.size(); ++r) {
        if (!m_regions[r].alive)
            continue;
        for (const FloodFill::Span &s : spansOf(m_regions[r]))
            m_rows[size_t(s.y)].push_back({s.left, s.right, int(r)});
    }
    for (std::vector<RowEntry> &row : m_rows)
        std::sort(row.begin(), row.end(),
                  [](const RowEntry &a, const RowEntry &b) { return a.left < b.left; });
}

RoomRepaint::ColourRegions *RoomRepaint::findColour(Pixel colour)
{
    const size_t mask = m_colours.size() - 1;
    for (size_t i = (colour * 2654435761u) >> (32 - m_colourBits);; i = (i + 1) & mask) {
        ColourSlot &slot = m_colours[i];
        if (!slot.used)
            return nullptr;
        if (slot.colour == colour)
            return &slot.regions;
    }
}

RoomRepaint::ColourRegions &RoomRepaint::colourEntry(Pixel colour)
{
    const size_t mask = m_colours.size() - 1;
    for (size_t i = (colour * 2654435761u) >> (32 - m_colourBits);; i = (i + 1) & mask) {
        ColourSlot &slot = m_colours[i];
        if (!slot.used) {
            slot.used = true;
            slot.colour = colour;
        }
        if (slot.colour == colour)
            return slot.regions;
    }
}

int RoomRepaint::regionAt(int x, int y) const
{
    const std::vector<RowEntry> &row = m_rows[size_t(y)];
    const auto it = firstReaching(row, x);
    return it != row.end() && it->left <= x ? it->region : -1;
}

bool RoomRepaint::isWholeSurface(int index)
{
    Region &region = m_regions[size_t(index)];
    if (region.wearingIn->alive != 1)
        return false;
    if (!region.rimKnown)
        collectRim(region);
    return !std::binary_search(region.rim.begin(), region.rim.end(), region.colour);
}

// Pixels next to the region that belong to another region are left out: whatever they wear
// is that region's colour, which the count of regions per colour answers for.
void RoomRepaint::collectRim(Region &region)
{
    const QImage &image = *m_image;
    const int width = image.width();
    const int height = image.height();
    std::vector<Pixel> &rim = region.rim;
    const auto take = [&](const Pixel *line, int x) {
        const Pixel c = line[x] & ColourKey::kRgbMask;
        if (rim.empty() || rim.back() != c)
            rim.push_back(c);
    };
    for (const FloodFill::Span &s : spansOf(region)) {
        const auto *line = reinterpret_cast<const Pixel *>(image.constScanLine(s.y));
        if (s.left > 0 && regionAt(s.left - 1, s.y) < 0)
            take(line, s.left - 1);
        if (s.right + 1 < width && regionAt(s.right + 1, s.y) < 0)
            take(line, s.right + 1);
        for (const int y : {s.y - 1, s.y + 1}) {
            if (y < 0 || y >= height)
                continue;
            const auto *next = reinterpret_cast<const Pixel *>(image.constScanLine(y));
            const std::vector<RowEntry> &row = m_rows[size_t(y)];
            int x = s.left;
            for (auto it = firstReaching(row, x); x <= s.right; ++it) {
                const int end = it == row.end() ? s.right + 1 : std::min(it->left, s.right + 1);
                for (; x < end; ++x)
                    take(next, x);
                if (it == row.end())
                    break;
                x = std::max(x, it->right + 1);
            }
        }
    }
    std::sort(rim.begin(), rim.end());
    rim.erase(std::unique(rim.begin(), rim.end()), rim.end());
    region.rimKnown = true;
}

void RoomRepaint::link(int index, ColourRegions *&in, ColourRegions &to, int ColourRegions::*head,
                       Link Region::*links)
{
    Link &l = m_regions[size_t(index)].*links;
    l.prev = -1;
    l.next = to.*head;
    if (l.next >= 0)
        (m_regions[size_t(l.next)].*links).prev = index;
    to.*head = index;
    in = &to;
}

void RoomRepaint::unlink(int index, ColourRegions *&in, int ColourRegions::*head, Link Region::*links)
{
    const Link l = m_regions[size_t(index)].*links;
    if (l.prev >= 0)
        (m_regions[size_t(l.prev)].*links).next = l.next;
    else
        in->*head = l.next;
    if (l.next >= 0)
        (m_regions[size_t(l.next)].*links).prev = l.prev;
    in = nullptr;
}

void RoomRepaint::recolour(int index, Pixel colour)
{
    Region &region = m_regions[size_t(index)];
    --region.wearingIn->alive;
    unlink(index, region.wearingIn, &ColourRegions::wearing, &Region::wearingLink);
    region.colour = colour;
    ColourRegions &now = colourEntry(colour);
    ++now.alive;
    link(index, region.wearingIn, now, &ColourRegions::wearing, &Region::wearingLink);
    if (region.written == colour && region.writtenIn)
        unlink(index, region.writtenIn, &ColourRegions::writtenIn, &Region::writtenLink);
    else if (region.written != colour && !region.writtenIn)
        link(index, region.writtenIn, colourEntry(region.written), &ColourRegions::writtenIn,
             &Region::writtenLink);
}

void RoomRepaint::writeOut(int index)
{
    Region &region = m_regions[size_t(index)];
    if (!region.writtenIn)
        return;
    const Pixel paint = region.colour | ~ColourKey::kRgbMask;
    for (const FloodFill::Span &s : spansOf(region)) {
        auto *line = reinterpret_cast<Pixel *>(m_image->scanLine(s.y));
        std::fill(line + s.left, line + s.right + 1, paint);
    }
    --region.writtenIn->holding;
    ++region.wearingIn->holding;
    region.written = region.colour;
    unlink(index, region.writtenIn, &ColourRegions::writtenIn, &Region::writtenLink);
}

// Before a real fill over `colour`: regions wearing it must show it, and regions whose pixels
// still hold it from before must show what they wear, or the fill would stop or leak wrongly.
void RoomRepaint::writeOutColour(Pixel colour)
{
    ColourRegions *found = findColour(colour);
    if (!found)
        return;
    ColourRegions &c = *found;
    while (c.writtenIn >= 0)
        writeOut(c.writtenIn);
    for (int index = c.wearing; index >= 0; index = m_regions[size_t(index)].wearingLink.next)
        writeOut(index);
}

// After a real fill of `surface` with `colour`: the regions wearing `surface` that it flooded
// are part of the new region now.
void RoomRepaint::absorbInto(Pixel surface, Pixel colour)
{
    const ColourRegions *found = findColour(surface);
    if (!found)
        return;
    for (int index = found->wearing; index >= 0;) {
        Region &region = m_regions[size_t(index)];
        const int next = region.wearingLink.next;
        const FloodFill::Span &first = m_spans[region.firstSpan];
        const Pixel now = reinterpret_cast<const Pixel *>(m_image->constScanLine(first.y))[first.left] &
                          ColourKey::kRgbMask;
        if (now == colour) {
            for (const FloodFill::Span &s : spansOf(region)) {
                if (!m_indexed)
                    break;
                std::vector<RowEntry> &row = m_rows[size_t(s.y)];
                row.erase(firstReaching(row, s.left));
            }
            --region.wearingIn->alive;
            --region.wearingIn->holding;
            unlink(index, region.wearingIn, &ColourRegions::wearing, &Region::wearingLink);
            region.alive = false;
        }
        index = next;
    }
}

void RoomRepaint::addRegion(size_t firstSpan, qint64 pixels, QRect box, Pixel colour)
{
    const int index = int(m_regions.size());
    Region &region = m_regions.emplace_back();
    region.firstSpan = firstSpan;
    region.spanCount = m_spans.size() - firstSpan;
    for (const FloodFill::Span &s : spansOf(region)) {
        if (!m_indexed)
            break;
        std::vector<RowEntry> &row = m_rows[size_t(s.y)];
        row.insert(firstReaching(row, s.left), RowEntry{s.left, s.right, index});
    }
    region.pixels = pixels;
    region.box = box;
    region.colour = colour;
    region.written = colour;
    ColourRegions &c = colourEntry(colour);
    ++c.alive;
    ++c.holding;
    link(index, region.wearingIn, c, &ColourRegions::wearing, &Region::wearingLink);
}
