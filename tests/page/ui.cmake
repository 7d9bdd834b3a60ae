if(LUMIGRID_BUILD_UI)
  lumigrid_add_qtest(info_window_sampling_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/info_window_sampling_test.cpp
    LIBS lumigrid_ui)
  lumigrid_add_qtest(info_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/info_window_test.cpp
    LIBS lumigrid_ui)
endif()
