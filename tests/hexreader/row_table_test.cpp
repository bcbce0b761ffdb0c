#include "hexreader/row_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace tarnwick::hexreader {
namespace {

struct rows_case {
  const char* what;
  std::string input;
  std::uint64_t rows;             // R
  std::vector<std::string> kept;  // the non-empty rows, in order
};

// The table's text for `kept`: each row followed by a zero byte.
std::string packed(const std::vector<std::string>& kept) {
  std::string text;
  for (const auto& row : kept) text += row + '\0';
  return text;
}

const std::string data32 = "214601360121470136007EFE09d21901";
const std::string rec16 = ":10010000" + data32 + "40";  // 43 characters
const std::string rec3 = ":0300000001020311";
const std::string eof_rec = ":00000001FF";
const std::string data100 = [] {
  std::string s;
  for (int i = 0; i < 111; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}();

class read_rows_cases : public ::testing::TestWithParam<rows_case> {};

TEST_P(read_rows_cases, gives_rows_and_counts) {
  const rows_case& c = GetParam();
  std::uint64_t chars = 0;
  for (const auto& row : c.kept) chars += row.size();
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
    memory_source in(c.input, chunk);
    row_table table;
    ASSERT_EQ(read_rows(in, table, 1 << 20, '\0'), read_status::ok);
    EXPECT_EQ(table.rows, c.rows) << "block size " << chunk;
    EXPECT_EQ(table.non_empty, c.kept.size()) << "block size " << chunk;
    EXPECT_EQ(table.chars, chars) << "block size " << chunk;
    EXPECT_EQ(table.text, packed(c.kept)) << "block size " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(
    cases, read_rows_cases,
    ::testing::Values(
        rows_case{"record of 16 bytes keeps its digits and their case", rec16 + "\n", 2, {data32}},
        rows_case{"end of file record is empty", eof_rec + "\n", 2, {}},
        rows_case{"typical file",
                  rec16 + "\n" + rec3 + "\n" + rec16 + "\n" + eof_rec + "\n",
                  5,
                  {data32, "010203", data32}},
        rows_case{"crlf gives the same rows",
                  rec16 + "\r\n" + rec3 + "\r\n" + rec16 + "\r\n" + eof_rec + "\r\n",
                  5,
                  {data32, "010203", data32}},
        rows_case{"empty input", "", 1, {}},
        rows_case{"no final line feed", rec3 + "\n" + eof_rec, 2, {"010203"}},
        rows_case{"line of 9 characters", ":00000001\n" + rec3 + "\n", 3, {"010203"}},
        rows_case{"line of 10 characters", ":000000010\n", 2, {}},
        rows_case{"line of 11 characters keeps nothing", ":0000000101\n", 2, {}},
        rows_case{
            "short line lends the next whole line", "abc\n" + rec3 + "\n", 2, {":03000000010203"}},
        rows_case{
            "empty line lends the next whole line", "\n" + rec3 + "\n", 2, {":03000000010203"}},
        rows_case{"line of 109 characters",
                  ":64000000" + data100.substr(0, 100) + "\n" + rec3 + "\n",
                  3,
                  {data100.substr(0, 98), ":03000000010203"}},
        rows_case{"line longer than 109 characters",
                  ":6F000000" + data100 + "\n",
                  3,
                  {data100.substr(0, 98)}},
        rows_case{"rest of a long line is a line of its own",
                  ":6F000000" + data100 + "0123456789ABCDEF\n",
                  3,
                  {data100.substr(0, 98), data100.substr(109) + "0123456789ABCD"}},
        rows_case{"carriage returns alone make one long line",
                  rec3 + "\r" + eof_rec + "\r",
                  1,
                  {"01020311\r:00000001F"}},
        rows_case{"blank line at the end is the final iteration", rec3 + "\n\n", 2, {"010203"}},
        rows_case{"ctrl-z ends the input", rec3 + "\n\x1A" + rec16 + "\n", 2, {"010203"}},
        rows_case{
            "last short line without line feed goes to the head", rec3 + "\n:0000", 2, {"010203"}},
        rows_case{"leading spaces count in the head", "  " + rec3 + "\n", 2, {"00010203"}},
        rows_case{"zero byte ends the data text",
                  std::string(":0300000001020\0"
                              "311\n",
                              19),
                  2,
                  {"010"}},
        rows_case{"high bytes are kept",
                  ":03000000\xD6\xFF\x80"
                  "AB\n",
                  2,
                  {"\xD6\xFF\x80"}},
        rows_case{"every record type gives its data",
                  ":020000040800F2\n:0400000500000000F7\n" + eof_rec + "\n",
                  4,
                  {"0800", "00000000"}},
        // At the edges of the reader's view: the widest iteration, 111 bytes; a Ctrl-Z that
        // ends a run measured past the bytes checked for one; a run of CR LF across a refill,
        // one line end left over for the next record's head.
        rows_case{"widest iteration",
                  "12345678\r\n" + data100.substr(0, 99) + "\r\n",
                  2,
                  {data100.substr(0, 97)}},
        rows_case{
            "ctrl-z ends a long run", std::string(20001, '\n') + "\x1A" + rec3 + "\n", 10001, {}},
        rows_case{"crlf run across a refill",
                  [] {
                    std::string s;
                    for (int i = 0; i < 40001; ++i) s += "\r\n";
                    return s + rec3 + "\r\n";
                  }(),
                  20002,
                  {":03000000010203"}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(read_rows, more_than_a_hundred_records) {
  std::string input;
  for (int i = 0; i < 1000; ++i) input += rec16 + "\r\n";
  input += eof_rec + "\r\n";
  memory_source in(input);
  row_table table;
  ASSERT_EQ(read_rows(in, table, 1 << 20, '\0'), read_status::ok);
  EXPECT_EQ(table.rows, 1002U);
  EXPECT_EQ(table.non_empty, 1000U);
  EXPECT_EQ(table.chars, 32000U);
  EXPECT_EQ(table.text.size(), 33000U);
}

TEST(read_rows, blank_lines_are_counted_not_stored) {
  // Each iteration takes two blank lines: one as the head, one as the row.
  for (const std::size_t lines : {std::size_t{1000000}, std::size_t{1000001}}) {
    const std::string input(lines, '\n');
    memory_source in(input);
    row_table table;
    ASSERT_EQ(read_rows(in, table, 1 << 20, '\0'), read_status::ok);
    EXPECT_EQ(table.rows, lines / 2 + 1);
    EXPECT_EQ(table.non_empty, 0U);
    EXPECT_TRUE(table.text.empty());
  }
}

TEST(read_rows, limit_is_inclusive) {
  // One row of six digits takes seven bytes of text.
  struct {
    std::size_t limit;
    read_status status;
  } const cases[] = {{7, read_status::ok}, {6, read_status::too_large}};
  const std::string input = rec3 + "\n" + eof_rec + "\n";
  for (const auto& c : cases) {
    memory_source in(input);
    row_table table;
    EXPECT_EQ(read_rows(in, table, c.limit, '\0'), c.status) << "limit " << c.limit;
  }
}

TEST(read_rows, too_large_stops_before_the_rest_is_read) {
  // The source fails after its data: reading on past the limit would report that instead.
  std::string input;
  for (int i = 0; i < 10; ++i) input += rec16 + "\n";
  testing::failing_source in(input);
  row_table table;
  EXPECT_EQ(read_rows(in, table, std::size_t{5} * 33, '\0'), read_status::too_large);
  EXPECT_EQ(table.non_empty, 5U);
}

TEST(read_rows, read_error_is_reported) {
  const std::string input = rec16 + "\n" + rec16.substr(0, 20);
  testing::failing_source in(input);
  row_table table;
  EXPECT_EQ(read_rows(in, table, 1 << 20, '\0'), read_status::read_error);
}

}  // namespace
}  // namespace tarnwick::hexreader
