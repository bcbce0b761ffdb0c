// The names the program derives from the input's: the output's, and the one it shows.
#include "frontend/output_name.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/messages.h"

namespace tarnwick {
namespace {

TEST(make_output_name, cuts_four_characters_within_the_last_folder) {
  struct {
    std::string input;
    std::string_view separators;
    std::string output;
  } const cases[] = {
      {"sub/x", posix_separators, "sub/.86p"},
      {"sub\\ab", posix_separators, "su.86p"},
      {"dir\\prog.hex", windows_separators, "dir\\prog.86p"},
      {"sub\\ab", windows_separators, "sub\\.86p"},
      {"C:ab", windows_separators, "C:.86p"},
      // Code points where the name is UTF-8, bytes where it is not.
      {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.h", posix_separators, "\xe6\x97\xa5.86p"},
      {"d/\xc3\xa4\xc3\xb6", posix_separators, "d/.86p"},
      {"ab\xe8\xaa\x9e\xff.h", posix_separators, "ab\xe8\xaa.86p"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(make_output_name(c.input, c.separators), c.output) << c.input;
}

TEST(shown_name, control_characters_as_question_marks) {
  struct {
    std::string name;
    std::string shown;
  } const cases[] = {
      {"\x1b]0;pwned\anofile\nSuccess", "?]0;pwned?nofile?Success"},
      {std::string("a\0\x1f\x7f\xc2\x80\xc2\x9f\xc2\xa0", 10), "a?????\xc2\xa0"},
      {"\x9b\xff", "\x9b\xff"},  // not UTF-8: shown as it is
  };
  for (const auto& c : cases) EXPECT_EQ(shown_name(c.name), c.shown) << c.name;
}

}  // namespace
}  // namespace tarnwick
