#include "hexreader/line_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace tarnwick::hexreader {
namespace {

// Every line of the input, read with a limit no line reaches.
std::vector<std::string> all_lines(byte_source& in) {
  line_source lines(in);
  std::vector<std::string> out;
  std::vector<char> buf(1 << 17);
  while (!lines.at_end()) out.emplace_back(buf.data(), lines.read_line(buf.data(), buf.size()));
  return out;
}

struct text_case {
  const char* what;
  std::string input;
  std::vector<std::string> lines;  // the last is what the read that meets the end gives
};

class text_mode : public ::testing::TestWithParam<text_case> {};

// Block sizes that put every byte of these short inputs at a block boundary somewhere.
constexpr std::size_t chunks[] = {1, 2, 3, 5, 1 << 20};

TEST_P(text_mode, windows_text_at_every_block_boundary) {
  const text_case& c = GetParam();
  for (const std::size_t chunk : chunks) {
    memory_source in(c.input, chunk);
    EXPECT_EQ(all_lines(in), c.lines) << "block size " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(
    cases, text_mode,
    ::testing::Values(text_case{"lf", "ab\ncd\n", {"ab", "cd", ""}},
                      text_case{"crlf", "ab\r\ncd\r\n", {"ab", "cd", ""}},
                      text_case{"lone cr is a character", "a\rb\n", {"a\rb", ""}},
                      text_case{"cr cr lf", "a\r\r\nb", {"a\r", "b"}},
                      text_case{"cr at the very end", "ab\r", {"ab\r"}},
                      text_case{"only a cr", "\r", {"\r"}},
                      text_case{"ctrl-z ends the input",
                                "ab\ncd\x1A"
                                "ef\ngh\n",
                                {"ab", "cd"}},
                      text_case{"cr before ctrl-z stays", "ab\r\x1A\n", {"ab\r"}},
                      text_case{"ctrl-z first",
                                "\x1A"
                                "ab\n",
                                {""}},
                      text_case{"nul and high bytes are characters",
                                std::string("a\0b\xFF\x80\n", 6),
                                {std::string("a\0b\xFF\x80", 5), ""}},
                      text_case{"no final line feed", "ab\ncd", {"ab", "cd"}},
                      text_case{"empty input", "", {""}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(line_source, limit_leaves_the_line_feed_unread) {
  memory_source in("abc\nd\n");
  line_source lines(in);
  char buf[8];
  EXPECT_EQ(lines.read_line(buf, 3), 3U);
  EXPECT_FALSE(lines.at_end());
  // The line feed after the three characters ends the next read at once.
  EXPECT_EQ(lines.read_line(buf, 3), 0U);
  EXPECT_FALSE(lines.at_end());
  EXPECT_EQ(lines.read_line(buf, 3), 1U);
  EXPECT_EQ(buf[0], 'd');
}

TEST(line_source, reads_nothing_once_ended) {
  memory_source in("ab");
  line_source lines(in);
  char buf[8];
  EXPECT_EQ(lines.read_line(buf, 8), 2U);
  EXPECT_TRUE(lines.at_end());
  EXPECT_EQ(lines.read_line(buf, 8), 0U);
  EXPECT_FALSE(lines.read_failed());
}

TEST(line_source, read_error_ends_the_input_and_is_reported) {
  testing::failing_source in("ab\ncd");
  line_source lines(in);
  char buf[8];
  EXPECT_EQ(lines.read_line(buf, 8), 2U);
  EXPECT_FALSE(lines.read_failed());
  EXPECT_EQ(lines.read_line(buf, 8), 2U);
  EXPECT_TRUE(lines.at_end());
  EXPECT_TRUE(lines.read_failed());
}

TEST(line_source, crlf_split_across_large_blocks) {
  // A CR LF straddling the 64 KiB block the reader uses internally.
  std::string input(64 * 1024 - 1, 'x');
  input += "\r\nyz";
  memory_source in(input);
  const auto lines = all_lines(in);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0], std::string(64 * 1024 - 1, 'x'));
  EXPECT_EQ(lines[1], "yz");
}

}  // namespace
}  // namespace tarnwick::hexreader
