# The Debian packages of .ci/packages, where every package list of the project is written
# once, for configure's messages: tarnwick_packages(<group> <out-var>) sets <out-var> to the
# packages of <group>, separated by spaces, as .ci/packages.sh reads them (the one parser, in
# bash, which CI runs before cmake is installed). A group the file does not list stops
# configure, so that no message names a package list that has gone stale.
set(TARNWICK_PACKAGES_FILE ${CMAKE_CURRENT_LIST_DIR}/../.ci/packages)
cmake_path(NORMAL_PATH TARNWICK_PACKAGES_FILE)
# An edit of the list or its reader configures again, so the messages follow it.
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${TARNWICK_PACKAGES_FILE} ${TARNWICK_PACKAGES_FILE}.sh)

function(tarnwick_packages group out_var)
  execute_process(COMMAND bash -c "source \"$1\" && packages \"$2\"" bash
                          ${TARNWICK_PACKAGES_FILE}.sh ${group}
                  OUTPUT_VARIABLE packages ERROR_VARIABLE error RESULT_VARIABLE status
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${error}")
  endif()
  set(${out_var} "${packages}" PARENT_SCOPE)
endfunction()
