# GoogleTest for the tests: the installed one where there is one, else a pinned release,
# fetched and checked by its hash. Without either, configure stops with a message that says
# what to install.
# The installed one is looked for by find_package(GTest) alone, not by FetchContent's
# FIND_PACKAGE_ARGS: that search is for a config package named by googletest_DIR, and misses a
# GoogleTest named by GTest_DIR (as the cross builds name theirs) or found as bare libraries.
# Set FETCHCONTENT_SOURCE_DIR_GOOGLETEST to use a copy of the sources at hand instead of the
# download (Debian's googletest package has them in /usr/src/googletest).
include(FetchContent)

set(tarnwick_gtest_version 1.12.1)
set(tarnwick_gtest_url
    https://github.com/google/googletest/archive/refs/tags/release-${tarnwick_gtest_version}.tar.gz)
set(tarnwick_gtest_sha256 81964fe578e9bd7c94dfdb09c8e4d6e6759e19967e397dbea48d1c10e45d0df2)

find_package(GTest QUIET)
if(GTest_FOUND)
  return()
endif()

set(tarnwick_gtest_archive ${tarnwick_gtest_url})
if(NOT FETCHCONTENT_SOURCE_DIR_GOOGLETEST)
  # Fetched here rather than by FetchContent, whose failure would end configure with the
  # download's own log instead of a word on what to do.
  set(tarnwick_gtest_archive ${CMAKE_BINARY_DIR}/_deps/googletest-${tarnwick_gtest_version}.tar.gz)
  if(EXISTS ${tarnwick_gtest_archive})
    file(SHA256 ${tarnwick_gtest_archive} tarnwick_gtest_got)
  endif()
  if(FETCHCONTENT_FULLY_DISCONNECTED AND NOT tarnwick_gtest_got STREQUAL tarnwick_gtest_sha256)
    set(tarnwick_gtest_reason "FETCHCONTENT_FULLY_DISCONNECTED is on")
  elseif(NOT tarnwick_gtest_got STREQUAL tarnwick_gtest_sha256)
    message(STATUS "GoogleTest not found: fetching release ${tarnwick_gtest_version}")
    file(DOWNLOAD ${tarnwick_gtest_url} ${tarnwick_gtest_archive} STATUS tarnwick_gtest_status
         TIMEOUT 60)
    list(GET tarnwick_gtest_status 0 tarnwick_gtest_code)
    list(GET tarnwick_gtest_status 1 tarnwick_gtest_reason)
    file(SHA256 ${tarnwick_gtest_archive} tarnwick_gtest_got)
    if(tarnwick_gtest_code EQUAL 0 AND NOT tarnwick_gtest_got STREQUAL tarnwick_gtest_sha256)
      set(tarnwick_gtest_reason "the download is not the release: its SHA256 is ${tarnwick_gtest_got}")
    endif()
  endif()
  if(NOT tarnwick_gtest_got STREQUAL tarnwick_gtest_sha256)
    file(REMOVE ${tarnwick_gtest_archive})
    message(FATAL_ERROR
      "The tests need GoogleTest, which was not found and could not be fetched "
      "(${tarnwick_gtest_url}: ${tarnwick_gtest_reason}): install ${tarnwick_test_packages}, "
      "or configure with -DTARNWICK_TESTS=OFF.")
  endif()
endif()

# GoogleTest's own install rules stay out of tarnwick's, and GoogleMock, which no test uses,
# is not built.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
FetchContent_Declare(googletest
  URL ${tarnwick_gtest_archive}
  URL_HASH SHA256=${tarnwick_gtest_sha256})
# GoogleTest's sources are not held to tarnwick's warnings (-Werror among them), which GCC 12
# finds fault with in them.
get_directory_property(tarnwick_saved_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
FetchContent_MakeAvailable(googletest)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${tarnwick_saved_options}")
