# Headless: the dispatcher and the drawers.
add_library(lumigrid_chart STATIC
  ${CMAKE_CURRENT_LIST_DIR}/moire_rings.cpp
)
target_include_directories(lumigrid_chart PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(lumigrid_chart PUBLIC lumigrid_surface lumigrid_settings)
