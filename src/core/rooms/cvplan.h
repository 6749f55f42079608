#pragma once

#include "core/rooms/closingline.h"

#include <QImage>

#include <opencv2/core.hpp>

#include <span>
#include <vector>

// The plan's pixels seen by OpenCV without a copy. Only the plan folder's .cpp files include
// this, so OpenCV's headers never reach the rest of the program.
namespace CvPlan {

// A Format_RGB32 image is B, G, R, A in memory: OpenCV's CV_8UC4 "BGRA".
inline cv::Mat view(QImage &image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC4, image.bits(), size_t(image.bytesPerLine()));
}

inline const cv::Mat view(const QImage &image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC4, const_cast<uchar *>(image.constBits()),
                   size_t(image.bytesPerLine()));
}

// 255 where the plan is exactly black (the walls and lines of a prepared plan), else 0.
cv::Mat blackMask(const QImage &plan);
// 255 where the plan is exactly white (unmarked floor), else 0.
cv::Mat whiteMask(const QImage &plan);
// whiteMask() again within `area` only, into the mask made of the same plan: undoes what was
// drawn into that part of the mask.
void whiteMask(const QImage &plan, cv::Mat &white, const QRect &area);
// The lines drawn into a mask of white floor exactly as ClosingLine::draw draws them into the
// plan, pixel for pixel: where they lie the mask becomes 0, as the plan becomes black. Spares
// the copy of the whole plan that drawing into the plan itself would need.
void closeFloor(cv::Mat &white, std::span<const ClosingLine> lines);
// A plan image that is black where `ink` is set and white elsewhere.
QImage fromInk(const cv::Mat &ink);

struct StrokeWidths
{
    int line = 1;                 // the commonest stroke width
    int wall = 1;                 // the walls: strokes beside thin drawing, else `line`
    bool thinBesideThick = false; // thin drawing is a noticeable share beside such walls
};
// Measured on a mask whose drawing is 255.
StrokeWidths strokeWidths(const cv::Mat &ink);

} // namespace CvPlan
