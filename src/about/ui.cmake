# The About window, its icon, and the version record it embeds in the executable.
list(APPEND LUMIGRID_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/about_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/about_box.h
  ${CMAKE_CURRENT_LIST_DIR}/about.qrc
)
