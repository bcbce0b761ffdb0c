# The POSIX pieces behind `system`; main.cpp is the program's own.
set(tarnwick_platform_sources
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/output_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/system.cpp
  ${CMAKE_CURRENT_LIST_DIR}/terminal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/write_all.cpp)
