lumigrid_add_gtest(patterns_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/grid_drawers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_drawers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dispatcher_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colour_chart_test.cpp
  LIBS lumigrid_chart)
target_include_directories(patterns_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
