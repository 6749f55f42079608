#pragma once

// The baseline of the image benchmarks: a memcpy of the same image's bytes, measured in the
// same run, so that the figures read as "so many copies of the plan".

#include <benchmark/benchmark.h>

#include <QImage>

#include <QRect>

#include <cstring>
#include <vector>

inline void copyImage(benchmark::State &state, const QImage &image)
{
    std::vector<uchar> target(size_t(image.sizeInBytes()));
    for (auto _ : state) {
        std::memcpy(target.data(), image.constBits(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * image.sizeInBytes());
}

// A plan of cols x rows rooms in a grid: the whole image in the wall colour, a wall all round,
// and `room` called for each room's floor (row by row), which it paints as the case needs.
template<typename PaintRoom>
void gridOfRooms(QImage &image, int cols, int rows, QRgb wall, int wallThickness, PaintRoom room)
{
    image.fill(wall);
    const auto edge = [&](int i, int n, int size) { return int(qint64(i) * (size - wallThickness) / n); };
    for (int r = 0; r < rows; ++r) {
        const int top = edge(r, rows, image.height()) + wallThickness;
        const int bottom = edge(r + 1, rows, image.height());
        for (int c = 0; c < cols; ++c) {
            const int left = edge(c, cols, image.width()) + wallThickness;
            const int right = edge(c + 1, cols, image.width());
            room(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), r, c);
        }
    }
}

inline void fillRect(QImage &image, const QRect &rect, QRgb colour)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(line + rect.left(), line + rect.right() + 1, colour);
    }
}
