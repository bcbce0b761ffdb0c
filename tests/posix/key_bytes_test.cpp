// Where one key ends in the bytes a terminal sends, and in the pauses between them.
#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "frontend/posix/posix.h"

namespace tarnwick::frontend::posix {
namespace {

// How many bytes of `bursts` one key takes, fed as the key wait feeds it: each burst after the
// first comes after a pause longer than any the key waits for. npos while the key waits on.
std::size_t taken(const std::vector<std::string>& bursts) {
  key_bytes key;
  std::size_t count = 0;
  for (std::size_t i = 0; i < bursts.size(); ++i) {
    if (i > 0 && key.wait_ms() >= 0 && key.take(std::nullopt)) return count;
    for (const char c : bursts[i]) {
      ++count;
      if (key.take(static_cast<unsigned char>(c))) return count;
    }
  }
  return std::string::npos;
}

TEST(key_bytes, one_key_ends_where_it_is_complete_or_at_a_pause) {
  struct {
    const char* name;
    std::vector<std::string> bursts;  // each after a pause
    std::size_t taken;
  } const cases[] = {
      {"letter", {"ab"}, 1},
      {"ctrl_c", {"\x03x"}, 1},
      {"first_byte_waited_for", {"", "a"}, 1},
      {"lone_esc", {"\x1b", "x"}, 1},
      {"arrow_up", {"\x1b[Ax"}, 3},
      {"arrow_up_application_mode", {"\x1bOAx"}, 3},
      {"ctrl_arrow_right", {"\x1b[1;5Cx"}, 6},
      {"delete", {"\x1b[3~x"}, 4},
      {"f1_xterm", {"\x1bOPx"}, 3},
      {"f1_linux_console", {"\x1b[[Ax"}, 4},
      {"f5_then_arrow", {"\x1b[15~\x1b[B"}, 5},
      {"shift_f12", {"\x1b[24;2~x"}, 7},
      {"alt_x", {"\x1bxy"}, 2},
      {"alt_two_byte_character", {"\x1b\xc3\xa9x"}, 3},
      {"alt_arrow_up_rxvt", {"\x1b\x1b[Ax"}, 4},
      {"four_byte_character", {"\xf0\x9f\x98\x80x"}, 4},
      // The ends of each lead-byte range: U+0080, U+07FF, U+0800, U+FF21, U+10FFFF.
      {"two_byte_lowest_lead", {"\xc2\x80x"}, 2},
      {"two_byte_highest_lead", {"\xdf\xbfx"}, 2},
      {"three_byte_lowest_lead", {"\xe0\xa0\x80x"}, 3},
      {"three_byte_highest_lead", {"\xef\xbc\xa1x"}, 3},
      {"four_byte_highest_lead", {"\xf4\x8f\xbf\xbfx"}, 4},
      // Terminal replies: a private parameter byte, and an intermediate byte.
      {"device_attributes_reply", {"\x1b[?1;2cx"}, 7},
      {"mode_report_reply", {"\x1b[?1;2$yx"}, 8},
      // A pause ends a key cut short, whatever comes after it.
      {"truncated_sequence", {"\x1b[1", "x"}, 3},
      {"truncated_character", {"\xe2\x82", "x"}, 2},
      {"f1_cut_after_ss3", {"\x1bO", "Px"}, 2},
      {"f5_cut_after_csi", {"\x1b[", "15~"}, 2},
      {"three_byte_character_cut", {"\xe2", "\x82\xac"}, 1},
      {"four_byte_character_cut", {"\xf0\x9f", "\x98\x80"}, 2},
      // The byte that cuts a character short ends it.
      {"character_cut_by_a_letter", {"\xf0\x9fxy"}, 3},
      // A reader that called itself once per Esc overflowed its stack after about 175,000.
      // NOLINTNEXTLINE(bugprone-string-constructor): a flood of that size is the point
      {"esc_flood_then_letter", {std::string(10'000'000, '\x1b') + "x"}, 10'000'001},
  };
  for (const auto& c : cases) EXPECT_EQ(taken(c.bursts), c.taken) << c.name;
}

}  // namespace
}  // namespace tarnwick::frontend::posix
