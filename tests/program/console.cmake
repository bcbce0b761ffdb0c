# The built program under a pseudo-terminal.

tarnwick_test(program console_test frontend_platform pty_support)
target_compile_definitions(console_test PRIVATE TARNWICK_EXE="$<TARGET_FILE:tarnwick>")
add_dependencies(console_test tarnwick)
