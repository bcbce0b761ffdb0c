#include "hexreader/row_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "golden.h"
#include "test_support.h"

namespace tarnwick::hexreader {
namespace {

using testing::data32;
using testing::end_record;
using testing::rec16;
using testing::rec3;
using testing::record;

const std::string letters = [] {
  std::string s;
  for (int i = 0; i < 111; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}();
const std::string digits510 = [] {
  std::string s;
  for (int i = 0; i < 255; ++i) s += "5A";
  return s;
}();

struct rows_case {
  const char* what;  // and, where the rule was mended, what the same file gave before
  std::string input;
  std::uint64_t rows;             // R: lines
  std::vector<std::string> kept;  // the non-empty rows, in order
};

class read_rows_cases : public ::testing::TestWithParam<rows_case> {};

TEST_P(read_rows_cases, gives_rows_and_counts) {
  const rows_case& c = GetParam();
  std::uint64_t chars = 0;
  std::string text;  // each row followed by a zero byte
  for (const auto& row : c.kept) {
    chars += row.size();
    text += row + '\0';
  }
  for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
    memory_source in(c.input, chunk);
    row_table table;
    ASSERT_EQ(read_rows(in, table, 1 << 20, '\0'), read_status::ok);
    EXPECT_EQ(table.rows, c.rows) << "block size " << chunk;
    EXPECT_EQ(table.non_empty, c.kept.size()) << "block size " << chunk;
    EXPECT_EQ(table.chars, chars) << "block size " << chunk;
    EXPECT_EQ(table.text, text) << "block size " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(
    cases, read_rows_cases,
    ::testing::Values(
        rows_case{"record keeps its digits and their case",
                  record(0, 0, "0aBc") + "\n" + rec16 + "\n",
                  2,
                  {"0aBc", data32}},
        rows_case{"crlf gives the same rows",
                  rec16 + "\r\n" + rec3 + "\r\n" + end_record + "\r\n",
                  3,
                  {data32, "010203"}},
        rows_case{"empty input", "", 0, {}},
        rows_case{"no final line feed", rec3 + "\n" + end_record, 2, {"010203"}},
        rows_case{"lines of 9 10 and 11 characters keep nothing",
                  "123456789\n1234567890\n12345678901\n",
                  3,
                  {}},
        rows_case{"line of 12 characters keeps one", "123456789012\n", 1, {"0"}},
        // Before: the short line made the next record be taken whole, ":03000000010203".
        rows_case{"short line is a line of its own", "abc\n" + rec3 + "\n", 2, {"010203"}},
        // Before: the 109-character line also made the next record be taken whole.
        rows_case{"line of 109 characters",
                  ":64000000" + letters.substr(0, 100) + "\n" + rec3 + "\n",
                  2,
                  {letters.substr(0, 98), "010203"}},
        // Before: cut after 100 characters, the rest read as a line of its own.
        rows_case{
            "long line is read whole", ":6F000000" + letters + "\n", 1, {letters.substr(0, 109)}},
        rows_case{
            "record of 255 bytes is read whole", record(0, 0, digits510) + "\r\n", 1, {digits510}},
        // Before: each gave its digits, "0000" and "0000D748".
        rows_case{"address records give nothing",
                  record(4, 0, "0000") + "\n" + rec3 + "\n" + record(5, 0, "0000D748") + "\n",
                  3,
                  {"010203"}},
        rows_case{
            "head of another type gives nothing even when malformed", ":01000002xyz\n", 1, {}},
        // Before, where the processor had AVX2: an empty row between the two, so a separator
        // too many in the program.
        rows_case{"record of count 0 gives nothing",
                  ":0100000041BE\n:00000100FF\n:0100010042BC\n:00000001FF\n",
                  4,
                  {"41", "42"}},
        // Before, where the processor had AVX2: 70,000 empty rows, a program too large.
        rows_case{"records of count 0 cost nothing",
                  [] {
                    std::string s = rec16 + "\n";
                    for (int i = 0; i < 70000; ++i) s += ":00001000F0\n";
                    return s + end_record + "\n";
                  }(),
                  70002,
                  {data32}},
        rows_case{"carriage returns alone make one long line",
                  rec3 + "\r" + end_record + "\r",
                  1,
                  {"010203F7\r:00000001F"}},
        rows_case{"leading spaces count in the head", "  " + rec3 + "\n", 1, {"00010203"}},
        rows_case{"zero byte ends the data text",
                  std::string(":0300000001020\0"
                              "311\n",
                              19),
                  1,
                  {"010"}},
        rows_case{"high bytes are kept",
                  ":03000000\xD6\xFF\x80"
                  "AB\n",
                  1,
                  {"\xD6\xFF\x80"}},
        // At the edges of the reader's 64 KiB blocks: records, a long line and runs of
        // blank lines across them.
        rows_case{"records across a block edge",
                  testing::hex_file(std::vector<std::size_t>(1500, 16)), 1501,
                  std::vector<std::string>(1500, data32)},
        rows_case{"long line across a block edge",
                  std::string(65530, '\n') + "123456789" + letters + "\r\n",
                  65531,
                  {letters.substr(0, 109)}},
        rows_case{
            "ctrl-z ends a long run", std::string(20001, '\n') + "\x1A" + rec3 + "\n", 20001, {}},
        rows_case{"crlf run across a block edge",
                  [] {
                    std::string s;
                    for (int i = 0; i < 40001; ++i) s += "\r\n";
                    return s + rec3 + "\r\n";
                  }(),
                  40002,
                  {"010203"}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

// The faults of `input` as "kind@first_line*lines" words, in the order of the kinds.
std::string faults_of(const std::string& input) {
  memory_source in(input, 7);
  row_table table;
  EXPECT_EQ(read_rows(in, table, 1 << 20, '\0'), read_status::ok);
  if (!table.faults.any_record) return "not intel hex";
  static const char* const names[] = {"not_record", "malformed", "bad_checksum", "address_gap",
                                      "high_base",  "after_end", "no_end"};
  std::string found;
  for (std::size_t i = 0; i < fault_kinds; ++i) {
    const fault_lines& k = table.faults.kinds[i];
    if (k.lines == 0) continue;
    if (!found.empty()) found += ' ';
    found += names[i];
    found += '@' + std::to_string(k.first_line) + '*' + std::to_string(k.lines);
    if (k.expected + k.found != 0) {
      char values[40];
      (void)std::snprintf(values, sizeof values, "(%llX,%llX)",
                          static_cast<unsigned long long>(k.expected),
                          static_cast<unsigned long long>(k.found));
      found += values;
    }
  }
  return found;
}

TEST(read_rows, finds_each_kind_of_fault) {
  const std::string eof = end_record + "\n";
  const std::string a = record(0, 0xD748, data32), b = record(0, 0xD758, data32);
  struct {
    std::string input;
    std::string faults;
  } const cases[] = {
      // Files one program from one origin makes: no fault.
      {a + "\r\n" + b + "\r\n" + eof, ""},
      {record(4, 0, "0000") + "\n" + a + "\n\n" + b + "\n" + record(5, 0, "0000D748") + "\n" + eof,
       ""},
      {record(0, 0xD748, "0a0b0f") + "\n" + record(3, 0, "0000D748") + "\n" + eof, ""},
      {"\tld a,1\n\n", "not intel hex"},
      // One row per kind.
      {a + "\n   \nnop\n" + b + "\n" + eof, "not_record@2*2"},
      {a + " \n" + rec3 + "1\n:1\n" + eof, "malformed@1*3"},
      {std::string(":").append(600, 'F') + "\n" + eof, "malformed@1*1"},  // more than 255 bytes
      {a + "\n" + b + "00\n" + eof, "malformed@2*1"},  // digits past the checksum
      {":03000000010203F8\n" + eof, "bad_checksum@1*1"},
      {b + "\n" + a + "\n" + b + "\n" + record(0, 0xD800, "00") + "\n" + eof,
       "address_gap@2*2(D768,D748)"},
      {record(2, 0, "1000") + "\n" + a + "\n" + record(4, 0, "0001") + "\n" + eof,
       "high_base@1*2(10000,0)"},
      {a + "\n" + eof + b + "\n" + eof, "after_end@3*2"},
      {a + "\n" + b + "\n\n", "no_end@3*1"},
      {a + "\n" + b, "no_end@2*1"},
      {a + "\n" + end_record + "\r", "malformed@2*1 no_end@2*1"},  // the CR is no line end
  };
  for (const auto& c : cases) EXPECT_EQ(faults_of(c.input), c.faults) << c.input;
}

TEST(read_rows, blank_lines_are_counted_not_stored) {
  for (const char* line_end : {"\n", "\r\n"}) {
    std::string input;
    for (int i = 0; i < 300000; ++i) input += line_end;
    memory_source in(input);
    row_table table;
    ASSERT_EQ(read_rows(in, table, 1 << 20, '\0'), read_status::ok);
    EXPECT_EQ(table.rows, 300000U);
    EXPECT_LT(table.text.capacity(), 70000U);
  }
}

TEST(read_rows, limit_is_inclusive) {
  // One row of six digits takes seven bytes of text; one of 32 digits 33.
  struct {
    std::string input;
    std::size_t limit;
    read_status status;
  } const cases[] = {{rec3, 7, read_status::ok},
                     {rec3, 6, read_status::too_large},
                     {rec16 + "\n", 33, read_status::ok},
                     {rec16 + "\n", 32, read_status::too_large}};
  for (const auto& c : cases) {
    const std::string input = c.input + "\n" + end_record + "\n";
    memory_source in(input);
    row_table table;
    EXPECT_EQ(read_rows(in, table, c.limit, '\0'), c.status) << "limit " << c.limit;
  }
}

TEST(read_rows, refuses_a_line_that_never_ends) {
  // One line of 'x' that goes on for a MiB, which a reader without the bound reads whole.
  struct endless final : byte_source {
    std::size_t served = 0;
    std::ptrdiff_t read(char* buf, std::size_t size) override {
      size = std::min(size, (std::size_t{1} << 20) - served);
      std::memset(buf, 'x', size);
      served += size;
      return static_cast<std::ptrdiff_t>(size);
    }
  } in;
  row_table table;
  EXPECT_EQ(read_rows(in, table, 1000, '\0'), read_status::too_large);
  EXPECT_LE(in.served, std::size_t{1} << 17);
}

TEST(read_rows, stops_at_the_limit_and_at_a_read_error) {
  // The source fails after its data: reading on past the limit would report that instead.
  const std::string input = testing::hex_file(std::vector<std::size_t>(10, 16));
  testing::failing_source in(input), again(input);
  row_table table, whole;
  EXPECT_EQ(read_rows(in, table, std::size_t{5} * 33, '\0'), read_status::too_large);
  EXPECT_EQ(table.non_empty, 5U);
  EXPECT_EQ(read_rows(again, whole, 1 << 20, '\0'), read_status::read_error);
}

}  // namespace
}  // namespace tarnwick::hexreader
