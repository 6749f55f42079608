# Preparation and room proposals of a 7000 x 5000 plan against OpenCV's own threshold and
# connected regions of the same plan.
metrola_add_bench(bench_realplans realplans_bench.cpp)
target_link_libraries(bench_realplans PRIVATE metrola_synthetic_plans)
