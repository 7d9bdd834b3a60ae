# Headless: the image encoders.
add_library(lumigrid_export STATIC
  ${CMAKE_CURRENT_LIST_DIR}/export_stub.cpp
)
target_include_directories(lumigrid_export PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(lumigrid_export PUBLIC lumigrid_surface PRIVATE PNG::PNG JPEG::JPEG GIF::GIF)
