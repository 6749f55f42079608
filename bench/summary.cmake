# The summary of a 100,000-record project beside a pass that only reads each area.
metrola_add_bench(bench_summary summary_bench.cpp)
