#pragma once

#include "core/rooms/stages.h"

#include <QImage>

#include <memory>

// What the preparation of a plan may be told. The window's dialog starts from defaults() and
// the batch tool uses them as they are.
struct PreparationOptions
{
    // Grey level (1 to 255) below which a pixel is drawing; 0 takes the automatic level.
    int threshold = 0;
    // Coloured pen marks and tinted floors become floor instead of walls.
    bool colourAsFloor = false;
    // Keep only the walls: thick strokes and the outer contour; the thin drawing inside rooms
    // (furniture, fixtures, door leaves, texts) goes, so a room's fill covers its whole floor.
    bool wallsOnly = false;
    // Drawing and floor specks up to this many pixels are removed; 0 takes the automatic size.
    int speckPixels = 0;

    friend bool operator==(const PreparationOptions &, const PreparationOptions &) = default;
};

// What looking at a plan found, for the dialog's first state and its explanations.
struct PlanTraits
{
    bool clean = false;          // two colours at most: nothing to prepare
    int autoThreshold = 128;     // the level defaults() takes
    bool localThreshold = false; // paper brightness varies across the sheet (a scan, a photo)
    bool hasColour = false;      // a noticeable share of saturated pixels (pen marks, tints)
    int lineWidth = 1;           // the commonest stroke width, in pixels
    int wallThickness = 1;       // the commonest width of the thick strokes
    bool hasThinDrawing = false; // thin drawing beside distinctly thicker walls
};

// Turns a scan, photo or rendered plan into one the exact-colour fill works on: every floor
// pixel exactly white, every wall, line and text pixel exactly black, the size unchanged.
// Thresholding, morphology and connected regions are OpenCV's; this class chooses their
// parameters. One object serves a dialog's many previews of the same plan: the grey image and
// the background estimate are made once.
class PlanPreparation
{
public:
    explicit PlanPreparation(const QImage &source);
    ~PlanPreparation();
    PlanPreparation(const PlanPreparation &) = delete;
    PlanPreparation &operator=(const PlanPreparation &) = delete;

    // At most two distinct colours: a plan drawn for marking, which preparation would not improve.
    static bool isClean(const QImage &plan);

    const PlanTraits &traits() const { return m_traits; }
    PreparationOptions defaults() const;
    // Format_RGB32, only 0xff000000 and 0xffffffff, the size of the source.
    QImage prepare(const PreparationOptions &options) const;
    // The same, handing the ink and the walls found to `stages`.
    QImage prepare(const PreparationOptions &options, const StageSink &stages) const;

    // What preparation drops, to be seen before it is done: `source` and `prepared` scaled to
    // `size`, black where the prepared plan is drawn, kDroppedColour where the source was
    // drawing (darker than `threshold`) that the prepared plan leaves out, white elsewhere.
    struct DroppedView
    {
        QImage picture;
        double droppedShare = 0; // of the source's drawing, 0 to 1
    };
    static DroppedView droppedView(const QImage &source, const QImage &prepared, int threshold, QSize size);
    static constexpr QRgb kDroppedColour = 0xffe05050;

    // The stroke widths of a black-and-white plan, as traits() reports them for a source.
    static void measureStrokes(const QImage &preparedPlan, int &lineWidth, int &wallThickness);

private:
    // Drawing and floor specks removed by default: up to twice the square of the line width.
    static int speckFor(int lineWidth);

    struct Data;
    std::unique_ptr<Data> m_data;
    PlanTraits m_traits;
};
