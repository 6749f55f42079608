// Plans drawn as text for the fill and repaint tests, one character a pixel:
//   '#' wall (black)   '.' floor (white)   'x' a fill colour
//   '~' '^' '-' floor colours one step off white in blue, red and green
//   'a' 'b' 'c' 'd' room keys
#pragma once

#include "core/plan/colourkey.h"

#include <QImage>
#include <QStringList>

#include <cstdint>

namespace TextPlan {

inline constexpr std::uint32_t kKeyA = 0x00102030;
inline constexpr std::uint32_t kKeyB = 0x00405060;
inline constexpr std::uint32_t kKeyC = 0x00708090;
inline constexpr std::uint32_t kKeyD = 0x00a0b0c0;

inline QRgb colourOf(QChar c)
{
    switch (c.unicode()) {
    case '#': return 0xff000000;
    case '.': return 0xffffffff;
    case 'x': return 0xff3366cc;
    case '~': return 0xfffffffe;
    case '^': return 0xfffeffff;
    case '-': return 0xfffffeff;
    case 'a': return ColourKey::toRgb(kKeyA);
    case 'b': return ColourKey::toRgb(kKeyB);
    case 'c': return ColourKey::toRgb(kKeyC);
    case 'd': return ColourKey::toRgb(kKeyD);
    }
    qFatal("no colour for this character");
}

inline QImage draw(const QStringList &rows)
{
    QImage image(int(rows.first().size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = colourOf(rows[y][x]);
    }
    return image;
}

} // namespace TextPlan
