#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

// Plans are BMP files. Loading checks the headers itself before anything is decoded, because
// Qt turns a cut-off file into a silently blank plan and would try to allocate whatever a
// damaged header asks for. The usual variants are decoded here straight into the plan's
// image; the rare ones go through Qt. Every failure throws MetrolaError with a message for the
// user; the caller keeps showing the plan it had.
class PlanImage
{
public:
    // Plans of 10000 x 7000 points and more are real; the limit is what 32-bit pixels of
    // 1 GiB hold, with neither side over 32767.
    static constexpr qint64 kMaxPixels = (qint64(1) << 30) / 4;
    static constexpr int kMaxSide = 32767;

    // Always Format_RGB32, so that every colour written into the plan reads back unchanged.
    static QImage loadBmp(const QString &path);
    // Whether the path is a regular file whose headers are those of a plan the loader takes;
    // nothing is decoded.
    static bool isPlanFile(const QString &path);
    // The same from an open, seekable device; `name` is the file name the messages show.
    static QImage readBmp(QIODevice &device, const QString &name);

    // The image as the bytes of a 24-bit BMP file, for archives built in memory.
    static QByteArray bmpBytes(const QImage &image);

    // Writes a 24-bit BMP. A failure leaves any earlier file at `path` as it was.
    static void saveBmp(const QImage &image, const QString &path);

    // A Format_RGB32 image of that size, uninitialised; null when memory runs out. Plan-sized
    // images get memory the kernel may back with huge pages: touching 140 MB page by page
    // costs more than decoding a plan into it.
    static QImage allocate(int width, int height);
};
