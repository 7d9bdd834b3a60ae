lumigrid_add_bench(patterns_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/patterns_bench.cpp
  LIBS lumigrid_chart)
