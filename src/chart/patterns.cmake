# Headless: the dispatcher and the drawers.
add_library(lumigrid_chart STATIC
  ${CMAKE_CURRENT_LIST_DIR}/moire_rings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chart_painter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/grid_drawers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tile_drawers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/colour_chart.cpp
)
target_include_directories(lumigrid_chart PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(lumigrid_chart PUBLIC lumigrid_surface lumigrid_settings)
