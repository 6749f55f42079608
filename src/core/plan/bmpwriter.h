#pragma once

#include <QImage>

class QIODevice;

// Writes 24-bit BMP files the way Qt's writer lays them out (same headers, same bytes), but a
// few rows at a time through one reused buffer, so that saving a plan never holds a second
// copy of it in memory.
class BmpWriter
{
public:
    // The size of the file write() produces.
    static qint64 fileSize(const QImage &image);
    // Takes any image; only Format_RGB32 and Format_ARGB32 are written without a converted
    // copy. Returns false when the device refuses the bytes (its errorString() tells why) or
    // a converted copy does not fit into memory.
    static bool write(const QImage &image, QIODevice &device);
};
