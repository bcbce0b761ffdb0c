# The Debian packages of .ci/packages, where every package list of the project is written
# once, for configure's messages: tarnwick_packages(<group> <out-var>) sets <out-var> to the
# packages of <group>, separated by spaces. A group the file does not list stops configure,
# so that no message names a package list that has gone stale.
set(TARNWICK_PACKAGES_FILE ${CMAKE_CURRENT_LIST_DIR}/../.ci/packages)
cmake_path(NORMAL_PATH TARNWICK_PACKAGES_FILE)
# An edit of the list configures again, so the messages follow it.
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${TARNWICK_PACKAGES_FILE})

function(tarnwick_packages group out_var)
  file(STRINGS ${TARNWICK_PACKAGES_FILE} lines)
  set(found "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    if(line MATCHES "^[ \t]*([^ \t:]+)[ \t]*:(.*)$" AND CMAKE_MATCH_1 STREQUAL group)
      string(REGEX REPLACE "[ \t]+" ";" names "${CMAKE_MATCH_2}")
      list(APPEND found ${names})
    endif()
  endforeach()
  list(REMOVE_ITEM found "")
  list(REMOVE_DUPLICATES found)
  if(NOT found)
    message(FATAL_ERROR "${TARNWICK_PACKAGES_FILE} lists no package for the group '${group}'")
  endif()
  list(JOIN found " " packages)
  set(${out_var} "${packages}" PARENT_SCOPE)
endfunction()
