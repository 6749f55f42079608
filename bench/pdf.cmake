# Plans to PDF against writing the same plans as PNG with Qt.
metrola_add_bench(bench_pdf pdf_bench.cpp)
