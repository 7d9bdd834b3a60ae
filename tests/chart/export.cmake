find_package(ZLIB REQUIRED)
lumigrid_add_gtest(export_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/export_names_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/export_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/export_gif_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/export_jpeg_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/export_png_test.cpp
  LIBS lumigrid_export PNG::PNG JPEG::JPEG GIF::GIF ZLIB::ZLIB
)
