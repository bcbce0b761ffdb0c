# The built program's files read back with libtifiles, the library calculator link software
# uses to read and send them.
find_package(PkgConfig)
if(PkgConfig_FOUND)
  pkg_check_modules(TIFILES IMPORTED_TARGET tifiles2)
endif()

if(TIFILES_FOUND)
  # The imported target's include folders (libtifiles' and glib's) are SYSTEM ones, so their
  # headers cannot fail a -Werror build.
  add_executable(tifiles_test program/tifiles_test.cpp)
  target_link_libraries(tifiles_test PRIVATE PkgConfig::TIFILES test_support GTest::gtest_main)
  target_compile_definitions(tifiles_test PRIVATE
    TARNWICK_EXE="$<TARGET_FILE:tarnwick>"
    TARNWICK_EXAMPLES="${PROJECT_SOURCE_DIR}/examples")
  add_dependencies(tifiles_test tarnwick)
  gtest_discover_tests(tifiles_test DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
                       PROPERTIES LABELS program)
else()
  tarnwick_packages(tifiles tifiles_packages)
  message(STATUS "libtifiles (pkg-config module tifiles2) not found: tifiles tests are skipped")
  add_test(NAME tifiles_missing
    COMMAND sh -c "echo 'tifiles: libtifiles not found when configuring; install the Debian packages ${tifiles_packages} and configure again to read the converted files back with it'; exit 77")
  set_tests_properties(tifiles_missing PROPERTIES SKIP_RETURN_CODE 77 LABELS program)
endif()
