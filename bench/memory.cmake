# Peak memory of opening a project by the size of its description file, beside reading the
# file's bytes alone.
metrola_add_bench(bench_memory memory_bench.cpp)
