# Showing a finished drawing in the chart window: the drawing alone, and drawing plus showing.
if(LUMIGRID_BUILD_UI)
  lumigrid_add_bench(chart_window_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_window_bench.cpp
    LIBS lumigrid_ui)
endif()
