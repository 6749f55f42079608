#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Plans are BMP files. Loading checks the headers itself before Qt decodes anything, because
// Qt turns a cut-off file into a silently blank plan and would try to allocate whatever a
// damaged header asks for. Every failure throws MetrolaError with a message for the user; the
// caller keeps showing the plan it had.
class PlanImage
{
public:
    // Plans of 10000 x 7000 points and more are real; the limit is what 32-bit pixels of
    // 1 GiB hold, with neither side over 32767.
    static constexpr qint64 kMaxPixels = (qint64(1) << 30) / 4;
    static constexpr int kMaxSide = 32767;

    // Always Format_RGB32, so that every colour written into the plan reads back unchanged.
    static QImage loadBmp(const QString &path);

    // Writes a 24-bit BMP. A failure leaves any earlier file at `path` as it was.
    // The image as the bytes of a 24-bit BMP file, for archives built in memory.
    static QByteArray bmpBytes(const QImage &image);

    static void saveBmp(const QImage &image, const QString &path);
};
