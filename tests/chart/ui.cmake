if(LUMIGRID_BUILD_UI)
  lumigrid_add_qtest(chart_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_window_test.cpp
    LIBS lumigrid_ui)
endif()
