lumigrid_add_bench(about_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/about_bench.cpp LIBS lumigrid_about)
