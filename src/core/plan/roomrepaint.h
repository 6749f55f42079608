#pragma once

#include "core/plan/floodfill.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <span>
#include <vector>

// One pass that paints rooms in order, each at its label point with its key, with the very
// result of flooding them one after another (pixels, counts and boxes alike), at the cost of
// about the plan's area plus the rooms rather than rooms times area.
//
// Each region a fill paints is remembered as its spans, indexed by row when needed. A later room whose
// label point lies in such a region only recolours it on paper, as long as the region is the
// whole surface under the label: no other region wears its colour and none of the undisturbed
// plan around it does. Only then would a real fill stop exactly at its edge. Otherwise, and for
// a label point on undisturbed plan, the regions the fill could reach are first written out and
// the fill runs for real, taking in the regions it floods. Regions recoloured on paper are
// written once, at the end.
class RoomRepaint
{
public:
    // As FloodFill::repaintRooms, filling with `fill`; `pixels` is either empty or as long as
    // `rooms`. The buffers stay for the next run, as the fill's own stack does.
    QRect run(FloodFill &fill, QImage &image, std::span<const RoomSeed> rooms, std::span<qint64> pixels);
    // How many real flood fills the last run needed.
    int floodFills() const { return m_floodFills; }

private:
    using Pixel = std::uint32_t;

    // The regions wearing a colour, and those whose pixels hold it though they wear another,
    // as lists threaded through the regions: recolouring one allocates nothing.
    struct ColourRegions
    {
        int alive = 0;
        int holding = 0; // live regions whose pixels hold the colour
        int wearing = -1;
        int writtenIn = -1;
    };
    struct Link
    {
        int prev = -1;
        int next = -1;
    };
    struct Region
    {
        size_t firstSpan = 0; // in m_spans
        size_t spanCount = 0;
        qint64 pixels = 0;
        QRect box;
        Pixel colour = 0;  // what the region wears now (24 RGB bits)
        Pixel written = 0; // what its pixels in the image hold
        bool alive = true;
        bool rimKnown = false;
        // The colours of the undisturbed pixels around it, sorted; they never change.
        std::vector<Pixel> rim;
        // Entries of a node-based map, so they stay put while it grows.
        ColourRegions *wearingIn = nullptr;
        ColourRegions *writtenIn = nullptr; // set while colour != written
        Link wearingLink;
        Link writtenLink;
    };
    struct RowEntry
    {
        int left;
        int right;
        int region;
    };

    std::span<const FloodFill::Span> spansOf(const Region &region) const
    {
        return std::span(m_spans).subspan(region.firstSpan, region.spanCount);
    }
    int regionAt(int x, int y) const;
    void buildRowIndex();
    bool isWholeSurface(int region);
    void collectRim(Region &region);
    void recolour(int region, Pixel colour);
    void link(int region, ColourRegions *&in, ColourRegions &to, int ColourRegions::*head,
              Link Region::*links);
    void unlink(int region, ColourRegions *&in, int ColourRegions::*head, Link Region::*links);
    void writeOut(int region);
    void writeOutColour(Pixel colour);
    void addRegion(size_t firstSpan, qint64 pixels, QRect box, Pixel colour);
    void absorbInto(Pixel surface, Pixel colour);

    FloodFill *m_fill = nullptr;
    QImage *m_image = nullptr;
    std::vector<Region> m_regions;
    std::vector<FloodFill::Span> m_spans;
    // Per image row, sorted by left, disjoint; built only once a label point may lie in a
    // painted region, so that one room a region costs no more than its fill.
    std::vector<std::vector<RowEntry>> m_rows;
    bool m_indexed = false;
    // Open addressing over the colours rooms paint (no other colour is ever entered), sized
    // for the run's rooms up front: entries never move, and recolouring allocates nothing.
    struct ColourSlot
    {
        Pixel colour = 0;
        bool used = false;
        ColourRegions regions;
    };
    ColourRegions *findColour(Pixel colour);
    ColourRegions &colourEntry(Pixel colour);
    std::vector<ColourSlot> m_colours;
    int m_colourBits = 0;
    int m_floodFills = 0;
};
