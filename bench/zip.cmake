# Packing and unpacking two full-size plans with our ZIP layer against zip -9 and unzip.
metrola_add_bench(bench_zip zip_bench.cpp)
