#include "frontend/intel_hex_check.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tarnwick::frontend {
namespace {

TEST(looks_like_intel_hex, when_some_line_starts_with_a_colon) {
  struct {
    std::string_view text;
    bool looks;
  } const cases[] = {
      {":00000001FF\r\n", true},
      {"junk\n\n:0300000001020F", true},
      {"", false},
      {"\tld a,1 ; :00000001FF\n  :00000001FF\n", false},
      {"junk\r:00000001FF", false},
      {"junk\x1a\n:00000001FF", false},
  };
  for (const auto& c : cases) EXPECT_EQ(looks_like_intel_hex(c.text), c.looks) << c.text;
}

}  // namespace
}  // namespace tarnwick::frontend
