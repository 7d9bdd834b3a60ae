# Headless: the image encoders.
add_library(lumigrid_export STATIC
  ${CMAKE_CURRENT_LIST_DIR}/atomic_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gif_palette.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gif_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_writer.cpp
)
target_include_directories(lumigrid_export PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(lumigrid_export PUBLIC lumigrid_surface PRIVATE PNG::PNG JPEG::JPEG GIF::GIF)
