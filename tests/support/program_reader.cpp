#include "program_reader.h"

#include "ti86/file_format.h"

namespace tarnwick::testing {
namespace {

// Takes the file's fields off its front in order, noting where it ends too soon.
class field_reader {
 public:
  field_reader(std::string_view file, std::vector<std::string>& problems)
      : rest_(file), problems_(problems) {}

  std::string_view bytes(std::size_t n, const char* field) {
    if (rest_.size() < n) {
      if (!short_) problems_.push_back(std::string("the file ends inside the ") + field);
      short_ = true;
      rest_ = {};
      return {};
    }
    const std::string_view taken = rest_.substr(0, n);
    rest_.remove_prefix(n);
    for (const char c : taken) sum_ += static_cast<unsigned char>(c);
    return taken;
  }
  // The word there, low byte first.
  std::uint16_t word(const char* field) {
    const std::string_view b = bytes(2, field);
    return b.empty() ? 0
                     : static_cast<std::uint16_t>(static_cast<unsigned char>(b[0]) |
                                                  static_cast<unsigned char>(b[1]) << 8);
  }
  std::uint8_t byte(const char* field) {
    const std::string_view b = bytes(1, field);
    return b.empty() ? 0 : static_cast<std::uint8_t>(b[0]);
  }
  void start_sum() { sum_ = 0; }
  unsigned sum() const { return sum_ & 0xFFFF; }
  std::size_t left() const { return rest_.size(); }

 private:
  std::string_view rest_;
  std::vector<std::string>& problems_;
  bool short_ = false;
  unsigned sum_ = 0;
};

}  // namespace

program_fields read_program(std::string_view file) {
  program_fields f;
  auto& problems = f.problems;
  const auto expect = [&problems](bool ok, const std::string& what) {
    if (!ok) problems.push_back(what);
  };
  field_reader in(file, problems);
  f.signature = in.bytes(ti86::signature.size(), "signature");
  f.marker = in.bytes(ti86::marker.size(), "marker");
  f.time_text = in.bytes(ti86::time_text_length, "comment");
  f.comment_padding = in.bytes(ti86::comment_length - ti86::time_text_length, "comment");
  f.data_length = in.word("data section length");
  in.start_sum();
  f.variable_header_length = in.word("variable header length");
  f.variable_length = in.word("variable data length");
  f.type = in.byte("variable type");
  f.name_length = in.byte("name length");
  f.name = in.bytes(ti86::name_length, "variable name");
  f.variable_length_again = in.word("second variable data length");
  f.program_length = in.word("program length");
  f.body = in.bytes(f.program_length, "program body");
  const unsigned sum = in.sum();
  f.checksum = in.word("checksum");
  if (!problems.empty()) return f;

  const unsigned p = f.program_length;
  expect(f.signature == ti86::signature, "signature is not **TI86**");
  expect(f.marker == ti86::marker, "marker is not 1A 0A 00");
  expect(f.comment_padding.find_first_not_of('\0') == std::string_view::npos,
         "comment is not padded with zero bytes");
  expect(f.data_length == p + ti86::variable_entry_length,
         "data section length " + std::to_string(f.data_length) + " is not P + 18");
  expect(f.variable_header_length == ti86::variable_header_length,
         "variable header length " + std::to_string(f.variable_header_length) + " is not 12");
  expect(f.variable_length == p + 2,
         "variable data length " + std::to_string(f.variable_length) + " is not P + 2");
  expect(f.variable_length_again == f.variable_length, "second variable data length " +
                                                           std::to_string(f.variable_length_again) +
                                                           " differs from the first");
  expect(f.type == ti86::program_type, "variable type " + std::to_string(f.type) + " is not 0x12");
  expect(f.name_length == ti86::name_length,
         "name length " + std::to_string(f.name_length) + " is not 8");
  expect(f.checksum == sum, "checksum " + std::to_string(f.checksum) +
                                " is not the data section's byte sum " + std::to_string(sum));
  expect(in.left() == 0, std::to_string(in.left()) + " bytes after the checksum");
  return f;
}

}  // namespace tarnwick::testing
