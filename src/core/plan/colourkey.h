#pragma once

#include <QRgb>

#include <cstdint>

// A room's record is keyed by the colour its floor is painted with, stored as 0x00BBGGRR
// (red in the lowest byte) because that is how the description file has always held it.
// QImage pixels are 0xAARRGGBB, so the byte order flips exactly at the pixel boundary and
// nowhere else.
namespace ColourKey {

// The 24 bits that identify a colour in a pixel word; the alpha byte of an RGB32 pixel is
// padding and must never take part in a comparison.
inline constexpr std::uint32_t kRgbMask = 0x00ffffffu;

constexpr QRgb toRgb(std::uint32_t key) noexcept
{
    return 0xff000000u | ((key & 0xffu) << 16) | (key & 0xff00u) | ((key >> 16) & 0xffu);
}

constexpr std::uint32_t fromRgb(QRgb rgb) noexcept
{
    return ((rgb & 0xffu) << 16) | (rgb & 0xff00u) | ((rgb >> 16) & 0xffu);
}

// The key one below, staying within the 24 colour bits, so that stepping down for a free key
// never produces a value the table cannot read back. Below black it goes on just under white:
// white is the floor of unmarked rooms and the first restore colour, so it is no room's key.
constexpr std::uint32_t below(std::uint32_t key) noexcept
{
    return (key & kRgbMask) == 0 ? kRgbMask - 1 : (key - 1) & kRgbMask;
}

// The numbers a key cell may hold: the 24 colour bits.
constexpr bool inRange(std::int64_t key) noexcept
{
    return key >= 0 && key <= std::int64_t(kRgbMask);
}

// White is the floor of every unmarked room and black the walls: a room keyed with either
// would take in every such pixel of every plan at the next repaint. The one test of it.
constexpr bool isReserved(std::int64_t key) noexcept
{
    return key == 0 || key == std::int64_t(kRgbMask);
}

// A key a room can have: in range and neither floor nor wall.
constexpr bool namesRoom(std::int64_t key) noexcept
{
    return inRange(key) && !isReserved(key);
}

// The first key from `key` down, stepping as below() does, that is neither floor nor wall and
// that `taken` does not claim.
template<typename Taken>
std::uint32_t freeKeyFrom(std::uint32_t key, Taken taken)
{
    key &= kRgbMask;
    while (isReserved(key) || taken(key))
        key = below(key);
    return key;
}

} // namespace ColourKey
