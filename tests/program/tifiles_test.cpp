// Files written by the built program, read back with libtifiles as calculator link software
// reads them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "golden.h"
#include "process_posix.h"
#include "program_reader.h"
#include "test_support.h"
#include "ti86/file_format.h"

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

std::string hex4(unsigned value) {
  char text[8];
  (void)std::snprintf(text, sizeof text, "%04X", value);
  return text;
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

// What is wrong with the file at `path`, read by the tests' decoder and by libtifiles, for a
// program variable named `name` holding `body`; empty when nothing is.
std::vector<std::string> problems_in(const std::string& path, const std::string& name,
                                     const std::string& body) {
  const std::string file = read_file(path);
  const testing::program_fields fields = testing::read_program(file);
  std::vector<std::string> problems = fields.problems;
  if (!problems.empty()) return problems;
  if (fields.name != name + std::string(fields.name.size() - name.size(), '\0')) {
    problems.push_back("name bytes \"" + std::string(fields.name) + "\", not \"" + name +
                       "\" and zeros");
  }
  if (fields.body != body) problems.push_back("program body differs from the input's records");

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
  const std::string_view name_text = fields.name.substr(0, fields.name.find('\0'));
  if (entry.name != name_text) {
    problems.push_back("libtifiles: variable name \"" + std::string(entry.name) +
                       "\", the file holds \"" + std::string(name_text) + "\"");
  }
  // libtifiles hands over the variable data with its leading program length word: the file's
  // bytes from the program length, just ahead of the body, to the checksum.
  if (std::string_view(reinterpret_cast<const char*>(entry.data), entry.size) !=
      std::string_view(fields.body.data() - 2, fields.body.size() + 2)) {
    problems.push_back("libtifiles: variable data of " + std::to_string(entry.size) +
                       " bytes differs from the file's");
  }
  // libtifiles sums the variable with the name length byte taken as the name's text length and
  // with only the name's text, so a name shorter than 8 characters makes its sum smaller than
  // the file's by exactly 8 less that length. A mismatch does not fail its read (it only logs a
  // warning), hence the sums are compared here.
  const auto libtifiles_sum =
      static_cast<std::uint16_t>(fields.checksum - (fields.name.size() - name_text.size()));
  if (content->stored_checksum != fields.checksum) {
    problems.push_back("libtifiles: stored checksum " + hex4(content->stored_checksum) +
                       ", the file holds " + hex4(fields.checksum));
  }
  if (content->checksum != libtifiles_sum) {
    problems.push_back("libtifiles: computed checksum " + hex4(content->checksum) + ", expected " +
                       hex4(libtifiles_sum));
  }
  return problems;
}

// Converts `input`, holding `text`, in `dir` and returns the output's path.
std::string convert(const temp_dir& dir, const std::string& input, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(dir / input).parent_path());
  write_file(dir / input, text);
  const process_result r = run_process({TARNWICK_EXE, input}, dir.path());
  EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0 && r.out.ends_with("Success!\n"))
      << r.out;
  return dir / (input.substr(0, input.size() - 4) + ".86p");
}

using tarnwick::testing::t_hex;

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
      {"two_records", "prog.hex", testing::hex_file({16, 16}), "prog.86p"},
      {"empty", "empty.hex", "", "empty.86"},
      {"largest", "limit.hex", testing::largest_input(), "limit.86"},
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
    EXPECT_EQ(body.size(), ti86::max_program_length);
  }
  EXPECT_EQ(problems_in(output, c.name, body), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(conversions, tifiles_read, ::testing::ValuesIn(conversions()),
                         [](const ::testing::TestParamInfo<conversion>& info) {
                           return info.param.label;
                         });

}  // namespace
}  // namespace tarnwick
