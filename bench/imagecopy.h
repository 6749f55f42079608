#pragma once

// The baseline of the image benchmarks: a memcpy of the same image's bytes, measured in the
// same run, so that the figures read as "so many copies of the plan".

#include <benchmark/benchmark.h>

#include <QImage>

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
