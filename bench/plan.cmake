# Plan image operations: flood fill and room repaint against a memcpy of the same image.
metrola_add_bench(bench_plan plan_bench.cpp)
