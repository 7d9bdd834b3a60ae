lumigrid_add_bench(page_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/page_build.cpp LIBS lumigrid_page)
