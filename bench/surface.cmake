# The surface against Qt's raster painter on the same call streams (Qt only in the bench).
if(LUMIGRID_BUILD_UI)
  lumigrid_add_bench(surface_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/surface_bench.cpp
    LIBS lumigrid_surface Qt6::Gui)
else()
  lumigrid_add_bench(surface_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/surface_bench.cpp
    LIBS lumigrid_surface)
endif()
if(LUMIGRID_BUILD_UI)
  target_compile_definitions(surface_bench PRIVATE LUMIGRID_BENCH_QT=1)
endif()
