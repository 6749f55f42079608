# Leases: opening a project of 5,000 rooms with 50,000 leases over twenty years, its colouring
# by lease terms and its figures as of a day, each beside the same work without leases.
metrola_add_bench(bench_leases leases_bench.cpp)
