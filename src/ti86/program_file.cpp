#include "ti86/program_file.h"

#include <algorithm>
#include <cstdint>

#include "ti86/coding.h"

namespace tarnwick::ti86 {
namespace {

std::uint16_t word(std::size_t value) {
  return static_cast<std::uint16_t>(value);
}

// The low 16 bits of the sum of the bytes of `data`, taken as unsigned.
std::uint16_t checksum(std::string_view data) {
  std::uint16_t sum = 0;
  for (const char c : data) sum = static_cast<std::uint16_t>(sum + static_cast<unsigned char>(c));
  return sum;
}

}  // namespace

void write_header(std::string& out, std::string_view time_text) {
  out += signature;
  out += marker;
  const std::string_view stamp = time_text.substr(0, comment_length);
  out += stamp;
  out.append(comment_length - stamp.size(), '\0');
}

void begin_program(std::string& file) {
  file.append(2 + variable_entry_length, '\0');
  file += body_start;
}

void write_program(std::string& file, const variable_name& name) {
  // Each row is followed by a separator; the last one has none after it.
  if (file.size() > rows_offset) file.pop_back();
  const std::size_t data_start = header_length + 2;
  const std::size_t p = file.size() - (data_start + variable_entry_length);
  std::string fields;
  put_word(fields, word(p + variable_entry_length));
  put_word(fields, variable_header_length);
  put_word(fields, word(p + 2));
  fields.push_back(static_cast<char>(program_type));
  fields.push_back(static_cast<char>(name_length));
  fields.append(name.data(), name.size());
  put_word(fields, word(p + 2));
  put_word(fields, word(p));
  file.replace(header_length, fields.size(), fields);
  put_word(file, checksum(std::string_view(file).substr(data_start)));
}

}  // namespace tarnwick::ti86
