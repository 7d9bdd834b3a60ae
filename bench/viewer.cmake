if(LUMIGRID_BUILD_UI)
  lumigrid_add_bench(viewer_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_repaint.cpp
    LIBS lumigrid_ui)
endif()
