list(APPEND LUMIGRID_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/info_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/info_window.h
  ${CMAKE_CURRENT_LIST_DIR}/page_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_view.h
)
