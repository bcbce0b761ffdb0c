# The bundled example, end to end: hello.asm assembled again with pasmo must give the
# committed hello.hex, and the built program must convert it to a well-formed hello.86p.
# The script exits 77 where pasmo is not installed, which ctest reports as skipped.
add_test(NAME example_hello
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/example_test.sh $<TARGET_FILE:tarnwick>
                 ${PROJECT_SOURCE_DIR}/examples ${PROJECT_VERSION} $<TARGET_FILE:read_86p>)
set_tests_properties(example_hello PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60 LABELS program)

# Files srec_cat writes, at two record sizes, convert without a warning. Skipped where
# srec_cat is not installed.
add_test(NAME srec_cat_files COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/program/srec_test.sh
                                     $<TARGET_FILE:tarnwick> $<TARGET_FILE:read_86p>)
set_tests_properties(srec_cat_files PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60 LABELS program)
