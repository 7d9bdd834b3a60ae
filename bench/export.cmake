# Saving the A4 and B0 pages in each format beside the plain floor of the same library.
lumigrid_add_bench(export_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/export_bench.cpp
  LIBS lumigrid_export PNG::PNG JPEG::JPEG GIF::GIF
)
