// Files written by the built program, read back with libtifiles as calculator link software
// reads them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "golden.h"
#include "process_posix.h"
#include "test_support.h"

// ticonv.h, which tifiles.h includes, spells C's `restrict`, a word C++ does not have.
#define restrict __restrict__
#include <tifiles.h>
#undef restrict

namespace tarnwick {
namespace {

using testing::process_result;
using testing::read_file;
using testing::run_process;
using testing::temp_dir;
using testing::write_file;

class tifiles_library final : public ::testing::Environment {
 public:
  void SetUp() override { tifiles_library_init(); }
  void TearDown() override { tifiles_library_exit(); }
};

::testing::Environment* const library [[maybe_unused]] =
    ::testing::AddGlobalTestEnvironment(new tifiles_library);

// Offsets in the file, as the README lays it out.
constexpr std::size_t data_section_length_at = 53;
constexpr std::size_t variable_header_length_at = 55;
constexpr std::size_t variable_length_at = 57;
constexpr std::size_t name_length_at = 60;
constexpr std::size_t name_at = 61;
constexpr std::size_t name_size = 8;
constexpr std::size_t variable_length_again_at = 69;
constexpr std::size_t program_length_at = 71;
constexpr std::size_t file_overhead = 75;

std::uint16_t word_at(const std::string& file, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(file[at]) |
                                    static_cast<unsigned char>(file[at + 1]) << 8);
}

std::string hex4(unsigned value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(value >> shift) & 0xF];
  return s;
}

// The program body for input made of well-formed records: the start bytes, then the data
// digits of each line with a D6 between two non-empty ones.
std::string body_of(std::string_view hex_text) {
  std::string body("\0AsmPrgm\xD6", 9);
  bool first = true;
  while (!hex_text.empty()) {
    const std::size_t end = hex_text.find('\n');
    std::string_view line = hex_text.substr(0, end);
    hex_text.remove_prefix(end == std::string_view::npos ? hex_text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() <= 11) continue;
    if (!first) body += '\xD6';
    body += line.substr(9, line.size() - 11);
    first = false;
  }
  return body;
}

using content_ptr = std::unique_ptr<FileContent, decltype(&tifiles_content_delete_regular)>;

// What is wrong with the file at `path`, read by libtifiles, for a program variable named
// `name` holding `body`; empty when nothing is.
std::vector<std::string> problems_in(const std::string& path, const std::string& name,
                                     const std::string& body) {
  std::vector<std::string> problems;
  const std::string file = read_file(path);
  if (file.size() < file_overhead) return {"a file of " + std::to_string(file.size()) + " bytes"};

  // libtifiles reads past the marker without looking at it.
  if (file.compare(8, 3, std::string_view("\x1A\x0A\x00", 3)) != 0) {
    problems.push_back("no 1A 0A 00 after the signature");
  }
  if (!tifiles_file_is_ti(path.c_str())) problems.push_back("libtifiles: not a TI file");
  if (!tifiles_file_is_regular(path.c_str())) problems.push_back("libtifiles: not a variable file");
  if (const CalcModel model = tifiles_file_get_model(path.c_str()); model != CALC_TI86) {
    problems.push_back(std::string("libtifiles: file of model ") + tifiles_model_to_string(model));
  }
  content_ptr content(tifiles_content_create_regular(CALC_TI86), &tifiles_content_delete_regular);
  if (const int err = tifiles_file_read_regular(path.c_str(), content.get()); err != 0) {
    // A failed read has freed the content already.
    (void)content.release();
    char* message = nullptr;
    tifiles_error_get(err, &message);
    problems.push_back("libtifiles: read error " + std::to_string(err) + ": " +
                       (message != nullptr ? message : ""));
    tifiles_error_free(message);
    return problems;
  }
  if (content->model != CALC_TI86) {
    problems.push_back(std::string("libtifiles: content of model ") +
                       tifiles_model_to_string(content->model));
  }
  if (content->num_entries != 1 || content->entries[0] == nullptr) {
    problems.push_back("libtifiles: " + std::to_string(content->num_entries) + " variables");
    return problems;
  }
  const VarEntry& entry = *content->entries[0];
  if (entry.type != 0x12) problems.push_back("libtifiles: variable type " + hex4(entry.type));

  const std::string name_bytes = file.substr(name_at, name_size);
  const std::string name_text = name_bytes.substr(0, name_bytes.find('\0'));
  if (entry.name != name_text) {
    problems.push_back("libtifiles: variable name \"" + std::string(entry.name) +
                       "\", the file holds \"" + name_text + "\"");
  }
  if (name_bytes != name + std::string(name_size - name.size(), '\0')) {
    problems.push_back("name bytes \"" + name_bytes + "\", not \"" + name + "\" and zeros");
  }
  if (static_cast<unsigned char>(file[name_length_at]) != name_size) {
    problems.push_back("name length byte " + std::to_string(file[name_length_at]));
  }

  // libtifiles hands over the variable data with its leading program length word, so it is the
  // file's bytes from the program length to the checksum.
  const std::string data(reinterpret_cast<const char*>(entry.data), entry.size);
  if (file.size() != file_overhead + word_at(file, program_length_at)) {
    problems.push_back("a file of " + std::to_string(file.size()) + " bytes for a program of " +
                       std::to_string(word_at(file, program_length_at)));
  }
  if (data != file.substr(program_length_at, file.size() - 2 - program_length_at)) {
    problems.push_back("libtifiles: variable data of " + std::to_string(data.size()) +
                       " bytes differs from the file's");
  }
  if (data.size() < 2 || word_at(data, 0) != data.size() - 2 || data.substr(2) != body) {
    problems.push_back("program body differs from the input's records");
  }
  // libtifiles reads past the data section length's low byte and the second variable length's
  // high byte; all four fields must still agree with the variable it read.
  if (word_at(file, data_section_length_at) != entry.size + 16 ||
      word_at(file, variable_header_length_at) != 12 ||
      word_at(file, variable_length_at) != entry.size ||
      word_at(file, variable_length_again_at) != entry.size) {
    problems.push_back("length fields disagree with the variable libtifiles read");
  }

  // libtifiles sums the variable with the name length byte taken as the name's text length and
  // with only the name's text, so a name shorter than 8 characters makes its sum smaller than
  // the file's by exactly 8 less that length. A mismatch does not fail its read (it only logs a
  // warning), hence the sums are compared here.
  const std::uint16_t stored = word_at(file, file.size() - 2);
  unsigned libtifiles_sum = 0;
  for (std::size_t i = variable_header_length_at; i < file.size() - 2; ++i) {
    if (i == name_length_at || (i >= name_at + name_text.size() && i < name_at + name_size)) {
      continue;
    }
    libtifiles_sum += static_cast<unsigned char>(file[i]);
  }
  libtifiles_sum = (libtifiles_sum + name_text.size()) & 0xFFFF;
  if (content->stored_checksum != stored) {
    problems.push_back("libtifiles: stored checksum " + hex4(content->stored_checksum) +
                       ", the file holds " + hex4(stored));
  }
  if (content->checksum != libtifiles_sum) {
    problems.push_back("libtifiles: computed checksum " + hex4(content->checksum) + ", expected " +
                       hex4(libtifiles_sum));
  }
  if (static_cast<std::uint16_t>(stored - libtifiles_sum) != name_size - name_text.size()) {
    problems.push_back("checksum " + hex4(stored) + " against libtifiles' " + hex4(libtifiles_sum) +
                       " for a name of " + std::to_string(name_text.size()) + " characters");
  }
  return problems;
}

bool converted(const process_result& r) {
  const std::string success = "Success!\n";
  return WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0 && r.out.size() >= success.size() &&
         r.out.compare(r.out.size() - success.size(), success.size(), success) == 0;
}

// Converts `input`, holding `text`, in `dir` and returns the output's path.
std::string convert(const temp_dir& dir, const std::string& input, const std::string& text) {
  const std::string path = dir / input;
  for (std::size_t slash = input.find('/'); slash != std::string::npos;
       slash = input.find('/', slash + 1)) {
    ::mkdir((dir / input.substr(0, slash)).c_str(), 0755);
  }
  write_file(path, text);
  const process_result r = run_process({TARNWICK_EXE, input}, dir.path());
  EXPECT_TRUE(converted(r)) << r.out;
  return dir / (input.substr(0, input.size() - 4) + ".86p");
}

using tarnwick::testing::t_hex;
const std::string record16 = tarnwick::testing::rec16 + "\r\n";
const std::string end_record = tarnwick::testing::end_record + "\r\n";

std::string repeated(const std::string& s, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += s;
  return out;
}

struct conversion {
  std::string label;
  std::string input;  // path relative to the run's folder
  std::string text;
  std::string name;  // the variable's name
};

// Every conversion, the bundled example's text read when the tests run.
std::vector<conversion> conversions() {
  return {
      {"example", "hello.hex", read_file(TARNWICK_EXAMPLES "/hello.hex"), "hello.86"},
      {"one_record", "t.hex", t_hex, "t.86p"},
      {"two_records", "prog.hex", record16 + record16 + end_record, "prog.86p"},
      {"empty", "empty.hex", "", "empty.86"},
      // 1985 rows of 32 digits and one of 3 make a body of exactly 65517 bytes.
      {"largest", "limit.hex", repeated(record16, 1985) + ":02000000ABC00\r\n" + end_record,
       "limit.86"},
      {"name_with_space", "my prog.hex", t_hex, "my"},
      {"long_name", "program12.hex", t_hex, "program1"},
      {"folder_part", "sub/dir/p.hex", t_hex, "p.86p"},
  };
}

void PrintTo(const conversion& c, std::ostream* out) {
  *out << c.label;
}

class tifiles_read : public ::testing::TestWithParam<conversion> {};

TEST_P(tifiles_read, accepts_the_converted_file) {
  const conversion& c = GetParam();
  ASSERT_FALSE(c.label == "example" && c.text.empty()) << "cannot read " TARNWICK_EXAMPLES;
  const temp_dir dir;
  const std::string output = convert(dir, c.input, c.text);
  const std::string body = body_of(c.text);
  if (c.label == "largest") {
    EXPECT_EQ(body.size(), 65517U);
  }
  EXPECT_EQ(problems_in(output, c.name, body), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(conversions, tifiles_read, ::testing::ValuesIn(conversions()),
                         [](const ::testing::TestParamInfo<conversion>& info) {
                           return info.param.label;
                         });

// Each byte libtifiles or the checks above depend on, changed in a good file, is noticed; the
// comment (offsets 11 to 52) is free text to libtifiles and is left out.
TEST(tifiles_check, notices_any_changed_byte) {
  const temp_dir dir;
  const std::string output = convert(dir, "t.hex", t_hex);
  const std::string body = body_of(t_hex);
  ASSERT_EQ(problems_in(output, "t.86p", body), std::vector<std::string>{});

  const std::string good = read_file(output);
  const std::string changed_path = dir / "changed.86p";
  for (std::size_t at = 0; at < good.size(); ++at) {
    if (at >= 11 && at < 53) continue;
    std::string changed = good;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    write_file(changed_path, changed);
    EXPECT_NE(problems_in(changed_path, "t.86p", body), std::vector<std::string>{})
        << "byte " << at << " changed";
  }
}

}  // namespace
}  // namespace tarnwick
