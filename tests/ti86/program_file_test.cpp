#include "ti86/program_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "golden.h"
#include "program_reader.h"
#include "test_support.h"
#include "ti86/time_text.h"
#include "ti86/variable_name.h"

namespace tarnwick::ti86 {
namespace {

using tarnwick::testing::fixed_header;
using tarnwick::testing::fixed_time;
using tarnwick::testing::from_hex;
using tarnwick::testing::t_86p_from_53;

// The whole file for `rows`, named `name`.
std::string file_of(std::initializer_list<std::string> rows, const std::string& name = "x.86p") {
  std::string file;
  write_header(file, fixed_time);
  begin_program(file);
  for (const auto& r : rows) file += r + line_separator;
  write_program(file, make_variable_name(name));
  return file;
}

TEST(write_program, writes_exact_bytes) {
  struct {
    std::string file;
    std::string expected;  // the bytes after the fixed header
  } const cases[] = {
      // The worked example: one record of three bytes.
      {file_of({"010203"}, "t.86p"), t_86p_from_53},
      {file_of({}, "t.86p"), from_hex("1B 00 0C 00 0B 00 12 08 74 2E 38 36 70 00 00 00 0B 00 09 00"
                                      "00 41 73 6D 50 72 67 6D D6 52 05")},
      // Bytes of 0x80 and above count with their unsigned value in the checksum.
      {file_of({"ab", "\xFF\xFF"}, "\xE9\xE9.86p"),
       from_hex("20 00 0C 00 10 00 12 08 E9 E9 2E 38 36 70 00 00 10 00 0E 00"
                "00 41 73 6D 50 72 67 6D D6 61 62 D6 FF FF 56 0A")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.file, fixed_header() + c.expected);
}

// The exact bytes above fix every field for small bodies; here the largest body the 16-bit data
// section length allows, whose lengths and checksum sum are near their 16-bit limits.
TEST(write_program, largest_body_keeps_its_fields_in_16_bits) {
  const std::string file = file_of({std::string(max_row_text - 1, 'F')});
  const auto fields = tarnwick::testing::read_program(file);
  EXPECT_EQ(fields.problems, std::vector<std::string>{});
  EXPECT_EQ(fields.program_length, max_program_length);
}

TEST(make_variable_name, takes_the_base_name) {
  struct {
    std::string output_name;
    std::string name;  // all 8 bytes
  } const cases[] = {
      {"prog.86p", "prog.86p"},
      {"program12.86p", "program1"},
      {"C:\\calc\\prog.86p", "prog.86p"},
      {"C:prog.86p", "prog.86p"},
      {"calc/prog.86p", "prog.86p"},
      {"[calc]prog.86p", "prog.86p"},
      {"a/b\\c]d:e.86p", std::string("e.86p\0\0\0", 8)},
      {"my prog.86p", std::string("my\0\0\0\0\0\0", 8)},
      {" lead.86p", std::string(8, '\0')},
      {"Caps\xE9.86p", "Caps\xE9.86"},
  };
  for (const auto& c : cases) {
    const variable_name name = make_variable_name(c.output_name);
    EXPECT_EQ(std::string(name.data(), name.size()), c.name) << c.output_name;
  }
}

TEST(format_time_text, twenty_four_characters_day_zero_padded) {
  const std::string unknown(unknown_time_text);
  struct {
    std::optional<std::tm> time;
    std::string text;
  } const cases[] = {
      {calendar_time(2026, 12, 7, 4, 9, 3, 1), "Mon Dec 07 04:09:03 2026"},
      {calendar_time(0, 1, 1, 0, 0, 0, 6), "Sat Jan 01 00:00:00 0000"},
      {calendar_time(9999, 12, 31, 23, 59, 59, 5), "Fri Dec 31 23:59:59 9999"},
      {calendar_time(1999, 12, 31, 23, 59, 60, 5), "Fri Dec 31 23:59:60 1999"},
      // What the form cannot show: no reading, five digits, a field out of its range.
      {std::nullopt, unknown},
      {calendar_time(10000, 1, 1, 0, 0, 0, 6), unknown},
      {calendar_time(5547, 1, 0, 0, 0, 0, 3), unknown},
      {calendar_time(2026, 1, 1, 24, 0, 0, 4), unknown},
      {calendar_time(2026, 1, 1, 0, 60, 0, 4), unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(format_time_text(c.time), c.text);
}

}  // namespace
}  // namespace tarnwick::ti86
