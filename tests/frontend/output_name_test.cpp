#include "frontend/output_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "frontend/temporary_name.h"

namespace tarnwick::frontend {
namespace {

TEST(make_output_name, cuts_four_characters_within_the_last_folder) {
  struct {
    std::string input;
    std::string_view separators;
    std::string output;
  } const cases[] = {
      {"a/sub/x", posix_separators, "a/sub/.86p"},
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

TEST(create_temporary, a_new_name_after_one_taken_the_short_form_after_another_failure) {
  constexpr auto made = creation::created, taken = creation::exists, refused = creation::failed;
  struct {
    std::vector<creation> outcomes;  // of the tries in turn, the last one repeated
    std::string tried;               // L for each long name tried, S for each short one
    bool created;
  } const cases[] = {
      {{taken, made}, "LL", true},
      {{refused, taken, made}, "LSS", true},
      {{refused, refused}, "LS", false},
      {{taken}, std::string(100, 'L'), false},
  };
  for (const auto& c : cases) {
    std::string tried;
    std::set<std::string> names;
    const bool created = create_temporary("t.86p", 1, [&](const std::string& name) {
      tried += name.starts_with(".t.86p.tarnwick-") ? 'L' : 'S';
      names.insert(name);
      return tried.size() < c.outcomes.size() ? c.outcomes[tried.size() - 1] : c.outcomes.back();
    });
    EXPECT_EQ(tried, c.tried);
    EXPECT_EQ(names.size(), tried.size()) << "a name tried twice";
    EXPECT_EQ(created, c.created) << c.tried;
  }
}

}  // namespace
}  // namespace tarnwick::frontend
