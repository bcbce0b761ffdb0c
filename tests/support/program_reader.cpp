#include "program_reader.h"

#include "ti86/file_format.h"

namespace tarnwick::testing {

program_fields read_program(std::string_view file) {
  program_fields f;
  std::vector<std::string>& problems = f.problems;
  const auto expect = [&problems](bool ok, const char* what) {
    if (!ok) problems.emplace_back(what);
  };
  std::size_t at = 0;
  const auto take = [&file, &at](std::size_t n) {
    const std::string_view part = file.substr(at, n);
    at += part.size();
    return part;
  };
  const auto byte = [&take] { return static_cast<std::uint8_t>(take(1)[0]); };
  // The low byte first: two statements, since the operands of | run in no set order.
  const auto word = [&byte] {
    const unsigned low = byte();
    return static_cast<std::uint16_t>(low | byte() << 8);
  };
  if (file.size() < ti86::file_overhead) {
    problems.push_back("a file of " + std::to_string(file.size()) + " bytes, short of any program");
    return f;
  }
  f.signature = take(ti86::signature.size());
  f.marker = take(ti86::marker.size());
  f.time_text = take(ti86::time_text_length);
  f.comment_padding = take(ti86::comment_length - ti86::time_text_length);
  f.data_length = word();
  const std::size_t data_start = at;
  f.variable_header_length = word();
  f.variable_length = word();
  f.type = byte();
  f.name_length = byte();
  f.name = take(ti86::name_length);
  f.variable_length_again = word();
  f.program_length = word();
  const std::size_t p = f.program_length;
  if (file.size() != p + ti86::file_overhead) {
    problems.push_back("a file of " + std::to_string(file.size()) + " bytes for a program of " +
                       std::to_string(p));
    return f;
  }
  f.body = take(p);
  unsigned sum = 0;
  for (const char c : file.substr(data_start, at - data_start))
    sum += static_cast<unsigned char>(c);
  f.checksum = word();

  expect(f.signature == ti86::signature, "signature is not **TI86**");
  expect(f.marker == ti86::marker, "marker is not 1A 0A 00");
  expect(f.comment_padding.find_first_not_of('\0') == std::string_view::npos,
         "comment is not padded with zero bytes");
  expect(f.data_length == p + ti86::variable_entry_length, "data section length is not P + 18");
  expect(f.variable_header_length == ti86::variable_header_length,
         "variable header length is not 12");
  expect(f.variable_length == p + 2, "variable data length is not P + 2");
  expect(f.variable_length_again == f.variable_length, "second variable data length differs");
  expect(f.type == ti86::program_type, "variable type is not 0x12");
  expect(f.name_length == ti86::name_length, "name length is not 8");
  expect(f.checksum == (sum & 0xFFFF), "checksum is not the data section's byte sum");
  return f;
}

}  // namespace tarnwick::testing
