list(APPEND LUMIGRID_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/menu_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menu_window.h
  ${CMAKE_CURRENT_LIST_DIR}/spin_controls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spin_controls.h
)
