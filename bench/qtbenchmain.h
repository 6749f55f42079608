#pragma once

// BENCHMARK_MAIN for cases that need Qt's application object (events, timers, threads).

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#define METROLA_QT_BENCHMARK_MAIN()                                                             \
    int main(int argc, char **argv)                                                             \
    {                                                                                           \
        QCoreApplication app(argc, argv);                                                       \
        benchmark::Initialize(&argc, argv);                                                     \
        benchmark::RunSpecifiedBenchmarks();                                                    \
        benchmark::Shutdown();                                                                  \
        return 0;                                                                               \
    }
