# The warnings every target of ours is built with (never third-party code: their headers come
# in as system headers through imported targets, and this target is linked to ours only).
# -Werror joins them when LUMIGRID_WERROR is ON.
add_library(lumigrid_warnings INTERFACE)

set(lumigrid_common_warnings
    -Wall
    -Wextra
    -Wpedantic
    -Wshadow               # a local that hides another name is a misread waiting to happen
    -Wconversion           # narrowing must be written out, with the reason it is safe
    -Wsign-conversion
    -Wcast-align
    -Wnull-dereference
    -Wdouble-promotion     # float arithmetic stays float unless we say otherwise
    -Wformat=2
    -Wimplicit-fallthrough
    -Wmisleading-indentation
    -Wunused)
set(lumigrid_cxx_warnings
    -Wold-style-cast
    -Wnon-virtual-dtor
    -Woverloaded-virtual
    -Wsuggest-override)
set(lumigrid_gcc_warnings
    -Wduplicated-cond
    -Wduplicated-branches
    -Wlogical-op)
set(lumigrid_gcc_cxx_warnings
    -Wuseless-cast)

# The strict list is GCC's, the compiler of every build we ship and test. Clang builds only the
# fuzz targets; its -Wconversion and -Wshadow families differ from GCC's, so it keeps the basic
# set there rather than a second list nobody ships with.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(lumigrid_warnings INTERFACE
    ${lumigrid_common_warnings}
    $<$<COMPILE_LANGUAGE:CXX>:${lumigrid_cxx_warnings}>
    $<$<COMPILE_LANGUAGE:C>:${lumigrid_gcc_warnings}>
    $<$<COMPILE_LANGUAGE:CXX>:${lumigrid_gcc_warnings};${lumigrid_gcc_cxx_warnings}>)
else()
  target_compile_options(lumigrid_warnings INTERFACE -Wall -Wextra -Wpedantic)
endif()
if(LUMIGRID_WERROR)
  target_compile_options(lumigrid_warnings INTERFACE -Werror)
endif()

# Links the warnings to every target defined in `dir` and below (called once, at the end of the
# top-level CMakeLists, so that no target of ours can be missed).
function(lumigrid_link_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      target_link_libraries(${target} PRIVATE lumigrid_warnings)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    lumigrid_link_warnings(${subdir})
  endforeach()
endfunction()
