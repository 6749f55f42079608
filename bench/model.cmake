# Record table: the description file in both directions and the colour lookup, 100,000 records.
metrola_add_bench(bench_model model_bench.cpp)
