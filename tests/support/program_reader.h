// A .86p read back field by field, as ti86/file_format.h lays it out, for the tests and the
// fuzzers: one decoder, so that no check reads header bytes or sums the checksum by hand.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::testing {

// The fields of one file; the views point into the file's bytes.
struct program_fields {
  std::string_view signature, marker, time_text, comment_padding;
  std::uint16_t data_length = 0, variable_header_length = 0, variable_length = 0;
  std::uint8_t type = 0, name_length = 0;
  std::string_view name;  // all its bytes, padding included
  std::uint16_t variable_length_again = 0, program_length = 0;
  std::string_view body;
  std::uint16_t checksum = 0;
  std::vector<std::string> problems;  // each field that disagrees with the others; none is well
};

// Reads `file`, checking each fixed field, each length against the body and the checksum.
program_fields read_program(std::string_view file);
// The fields would point into a string that is gone.
program_fields read_program(std::string&& file) = delete;

}  // namespace tarnwick::testing
