#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// A room as the plan knows it: the point its label sits on and the key colour its floor wears.
struct RoomSeed
{
    QPoint labelPoint;
    std::uint32_t key = 0; // 0x00BBGGRR, see ColourKey

    friend bool operator==(const RoomSeed &, const RoomSeed &) = default;
};

// 4-connected surface fill on a 32-bit image (Format_RGB32; the ARGB32 formats share the
// memory layout and are accepted too). Every pixel connected to the seed whose 24 RGB bits
// equal those at the seed takes the new colour; the alpha byte is ignored when comparing and
// written opaque.
//
// A fill touches only the pixels of the region and their rims. It keeps no mask or copy of the
// image: the new colour differs from the surface colour, so a filled pixel no longer matches,
// and that is the whole visited test. The pending work lives on a heap stack that the object
// keeps between calls, so one FloodFill used for many rooms allocates once.
class RoomRepaint;

class FloodFill
{
public:
    FloodFill();
    ~FloodFill();
    FloodFill(FloodFill &&) noexcept;
    FloodFill &operator=(FloodFill &&) noexcept;

    // A horizontal run of filled pixels, both ends inclusive.
    struct Span
    {
        int y = 0;
        int left = 0;
        int right = 0;

        friend bool operator==(const Span &, const Span &) = default;
    };

    // Returns the bounding box of the filled pixels, empty when nothing changed: the seed is
    // outside the image or already wears the new colour. When `spans` is given, the filled
    // runs are appended to it (disjoint, in fill order) for callers that redraw or undo them.
    // Throws MetrolaError for an image that is not 32 bits a pixel.
    QRect fill(QImage &image, QPoint seed, QRgb colour, std::vector<Span> *spans = nullptr);
    // As fill(), and sets `pixels` to the number of pixels painted (0 when nothing changed).
    QRect fillCounting(QImage &image, QPoint seed, QRgb colour, qint64 &pixels);

    // Paints each room in order at its label point with its key colour, the surface being
    // whatever colour is found there at that moment. Returns the union of the filled boxes.
    // Many rooms in one region cost about as much as one (see RoomRepaint).
    QRect repaintRooms(QImage &image, std::span<const RoomSeed> rooms);
    // As above, and pixels[i] (the span is as long as `rooms`) becomes the number of pixels
    // room i's own fill painted: its floor area in pixels when the plan came without room
    // colours, 0 when its label point is outside or already wore its key.
    QRect repaintRooms(QImage &image, std::span<const RoomSeed> rooms, std::span<qint64> pixels);

    // A room lies inside walls: a fill that reached the sheet's edge, or painted more than
    // half of the sheet, has most likely run out through a gap in a wall.
    enum class Leak { None, Edge, MostOfPlan };
    static Leak leak(QRect box, qint64 pixels, QSize sheet);

private:
    // The fill with or without counting: one body, and the count compiles away where unused.
    template <bool kCount>
    QRect fillRegion(QImage &image, QPoint seed, QRgb colour, std::vector<Span> *spans,
                     qint64 *pixels);

    // Row `y` is to be examined over [left, right]; the pixels of row y - dy above or below
    // that range are already filled.
    struct Segment
    {
        int y;
        int left;
        int right;
        int dy;
    };

    std::vector<Segment> m_stack;
    std::unique_ptr<RoomRepaint> m_repaint;
};
