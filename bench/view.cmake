# The plan view: a full repaint of a 1920 x 1080 view of a 7000 x 5000 plan at 25 %, 100 % and
# 400 %, drawn by the zoom alone and by the canvas widget, against copying the view's pixels once.
# Reduced, the canvas keeps the reduced view: its repaint is the warm one, the zoom's the cold.
metrola_add_bench(bench_view view_bench.cpp)
target_link_libraries(bench_view PRIVATE metrola_gui)
