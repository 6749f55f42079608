# The portfolio of 200 archives of the demo's size: the core, the batch tool, and unzip -l of
# the same archives.
metrola_add_bench(bench_portfolio portfolio_bench.cpp)
target_compile_definitions(bench_portfolio PRIVATE
  METROLA_DEMO_ARCHIVE="${PROJECT_SOURCE_DIR}/samples/demo.zip"
  METROLA_CLI_PATH="$<TARGET_FILE:metrola-cli>")
add_dependencies(bench_portfolio metrola-cli)
