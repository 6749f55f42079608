// Any byte string as a plan file: the reader must refuse it with a message, or give an RGB32
// image of the size its header declares that is the same on every reading (no pixel may come
// from memory the decoder never wrote) and that the writer turns into a file reading back the
// same.
#include "core/base/metrolaerror.h"
#include "core/plan/planimage.h"

#include <QBuffer>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// A header may declare a gigabyte of pixels in a few bytes (RLE codes a whole bitmap in two),
// and filling it teaches the fuzzer nothing.
constexpr qint64 kMaxPixels = qint64(1) << 22;

qint64 declaredPixels(const QByteArray &b)
{
    const auto u = [&b](int i) { return qint64(uchar(b[i])); };
    if (b.size() < 26)
        return 0;
    if (u(14) == 12)
        return (u(18) | u(19) << 8) * (u(20) | u(21) << 8);
    const qint64 w = qint32(quint32(u(18) | u(19) << 8 | u(20) << 16 | u(21) << 24));
    const qint64 h = qint32(quint32(u(22) | u(23) << 8 | u(24) << 16 | u(25) << 24));
    return std::llabs(w) * std::llabs(h);
}

QImage read(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return PlanImage::readBmp(buffer, QStringLiteral("fuzz.bmp"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (declaredPixels(bytes) > kMaxPixels)
        return 0;
    QImage image;
    try {
        image = read(bytes);
    } catch (const MetrolaError &e) {
        if (e.message().isEmpty())
            __builtin_trap();
        return 0;
    }
    if (image.isNull() || image.format() != QImage::Format_RGB32 ||
        image.width() * qint64(image.height()) != declaredPixels(bytes))
        __builtin_trap();
    if (read(bytes) != image)
        __builtin_trap();
    if (read(PlanImage::bmpBytes(image)) != image)
        __builtin_trap();
    return 0;
}
