#include "frontend/output_name.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick::frontend {
namespace {

TEST(make_output_name, cuts_four_characters_within_the_last_folder) {
  struct {
    std::string input;
    std::string_view separators;
    std::string output;
  } const cases[] = {
      {"sub/x", posix_separators, "sub/.86p"},
      {"prog.ihex", posix_separators, "prog..86p"},
      {"x", posix_separators, ".86p"},
      {"./sub/q.HEX", posix_separators, "./sub/q.86p"},
      {"sub\\ab", posix_separators, "su.86p"},
      {"sub\\ab", windows_separators, "sub\\.86p"},
      {"C:ab", windows_separators, "C:.86p"},
      // Code points where the name is UTF-8, bytes where it is not.
      {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.h", posix_separators, "\xe6\x97\xa5.86p"},
      {"ab\xe8\xaa\x9e\xff.h", posix_separators, "ab\xe8\xaa.86p"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(make_output_name(c.input, c.separators), c.output) << c.input;
}

}  // namespace
}  // namespace tarnwick::frontend
