# Plan colouring: mapping the key image to display colours against a memcpy of the same image.
metrola_add_bench(bench_colouring colouring_bench.cpp)
