list(APPEND LUMIGRID_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/chart_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chart_window.h
  ${CMAKE_CURRENT_LIST_DIR}/hidden_log.h
  ${CMAKE_CURRENT_LIST_DIR}/key_codes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_codes.h
)
