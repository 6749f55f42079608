# Loading and saving full-size plans with our BMP code against Qt's and a memcpy.
metrola_add_bench(bench_bmp bmp_bench.cpp)
