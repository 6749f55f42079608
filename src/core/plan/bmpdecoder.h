#pragma once

#include <QByteArray>
#include <QImage>

class QIODevice;

// What the two headers of a BMP file say, once PlanImage has checked them against the file.
struct BmpHeader
{
    // Compression codes of the info header.
    static constexpr quint32 kRgb = 0;
    static constexpr quint32 kRle8 = 1;
    static constexpr quint32 kRle4 = 2;
    static constexpr quint32 kBitfields = 3;

    qint64 fileSize = 0;
    qint64 dataOffset = 0;
    quint32 infoSize = 0;
    qint64 width = 0;
    qint64 height = 0; // negative for rows stored top-down
    int bitCount = 0;
    quint32 compression = kRgb;
    qint64 imageSize = 0; // may be 0 for uncompressed data
    quint32 coloursUsed = 0;
    // The first bytes of the file: both headers and, for a short info header, the colour
    // masks that follow it.
    QByteArray head;
};

// Decodes the BMP variants plans come in straight into a Format_RGB32 image: uncompressed
// 1-, 4-, 8-, 24- and 32-bit rows, 32-bit rows with 8-bit-wide colour masks, and RLE8 and RLE4.
// Colours and orientation come out exactly as Qt's BMP reader gives them, so a plan looks the
// same whichever decoder read it; the rest (16-bit pixels, unusual palettes or masks) is left to
// Qt. Pixels an RLE bitmap never codes take palette entry 0.
class BmpDecoder
{
public:
    enum class Result {
        Decoded,
        NotHandled, // leave the file to Qt's reader
        Truncated,  // the file ends inside the pixel data
        BadPalette, // an RLE bitmap whose palette does not fit before its pixels
        OutOfMemory,
    };

    explicit BmpDecoder(const BmpHeader &header);

    // Whether decode() takes this file; it decides from the headers alone.
    bool handles() const { return m_kind != Kind::None; }
    // Reads the palette and the pixels from the device (seekable, opened for reading).
    Result decode(QIODevice &device, QImage &image) const;

private:
    enum class Kind { None, Rgb24, Rgb32, Masked32, Palette, Rle };

    Result decodeRows(QIODevice &device, QImage &image, const QRgb *palette) const;
    Result decodeRle(QIODevice &device, QImage &image, const QRgb *palette) const;
    bool readPalette(QIODevice &device, QRgb *palette) const;

    BmpHeader m_header;
    Kind m_kind = Kind::None;
    int m_paletteSize = 0;
    int m_redShift = 16;
    int m_greenShift = 8;
    int m_blueShift = 0;
};
