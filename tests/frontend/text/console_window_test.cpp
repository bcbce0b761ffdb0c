#include "frontend/text/console_window.h"

#include <gtest/gtest.h>

namespace tarnwick::frontend::text {
namespace {

TEST(console_window, is_own_only_when_no_shell_shares_it) {
  struct {
    const char* what;
    std::size_t processes;
    bool output_is_console;
    bool own;
  } const cases[] = {
      {"dropped on the program in Explorer, or started from a shortcut", 1, true, true},
      {"run in a Command Prompt or PowerShell", 2, true, false},
      {"piped from a Command Prompt", 2, false, false},
      {"a window of its own, its output redirected", 1, false, false},
      {"no console", 0, false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(console_window_is_own(c.processes, c.output_is_console), c.own) << c.what;
}

}  // namespace
}  // namespace tarnwick::frontend::text
