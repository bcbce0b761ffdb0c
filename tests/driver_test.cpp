#include "frontend/driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "driver_support.h"
#include "test_support.h"

namespace {

// While not zero, allocations of at least this many bytes fail, as where memory runs out.
std::size_t failing_allocations_from = 0;

}  // namespace

void* operator new(std::size_t size) {
  if (failing_allocations_from != 0 && size >= failing_allocations_from) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t /*size*/) noexcept {
  std::free(p);
}

namespace tarnwick {
namespace {

using testing::converted;
using testing::data32;
using testing::from_hex;
using testing::list_dir;
using testing::make_dir;
using testing::read_file;
using testing::rec16;
using testing::run_with;
using testing::temp_dir;
using testing::write_file;

TEST(run, usage_then_one_key) {
  EXPECT_EQ(run_with({}), (std::vector<std::string>{"<clear>", banner() + "\n", "Proper usage:\n",
                                                    "\ttarnwick [filename(.hex)]", "<key>"}));
}

TEST(run, golden_files) {
  struct {
    const char* input_name;
    std::string input;
    std::string output_name;
    std::string expected;  // from offset 53 on
  } const cases[] = {
      {"t.hex", ":03000000010203F7\r\n:00000001FF\r\n", "t.86p",
       from_hex("21 00 0C 00 11 00 12 08 74 2E 38 36 70 00 00 00 11 00 0F 00"
                "00 41 73 6D 50 72 67 6D D6 30 31 30 32 30 33 8A 06")},
      {"prog.hex",
       rec16 + "\r\n:10001000" + "2A4B3C5D6E7F8091A2B3C4D5E6F70819" + "C3\r\n:00000001FF\r\n",
       "prog.86p",
       from_hex("5C 00 0C 00 4C 00 12 08 70 72 6F 67 2E 38 36 70 4C 00 4A 00"
                "00 41 73 6D 50 72 67 6D D6") +
           data32 + "\xD6" + "2A4B3C5D6E7F8091A2B3C4D5E6F70819" + from_hex("14 16")},
  };
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / c.input_name, c.input);
    EXPECT_EQ(run_with({dir / c.input_name}), converted(dir / c.input_name, dir / c.output_name));
    EXPECT_EQ(read_file(dir / c.output_name), testing::fixed_header() + c.expected) << c.input_name;
  }
}

TEST(run, further_arguments_are_ignored) {
  const temp_dir dir;
  write_file(dir / "t.hex", rec16 + "\n");
  EXPECT_EQ(run_with({dir / "t.hex", "x.hex", "y.hex"}), converted(dir / "t.hex", dir / "t.86p"));
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"}));
}

TEST(run, unopenable_input) {
  const temp_dir dir;
  ASSERT_TRUE(make_dir(dir / "folder.hex"));
  const std::pair<std::string, std::string> names_shown[] = {
      {dir / "missing.hex", dir / "missing.hex"},
      {"", ""},
      {dir / "folder.hex", dir / "folder.hex"},
      // Escape codes, control characters, and a forged line.
      {"\x1b]0;pwned\a\x7f\xc2\x9f\xc2\xa0\xff\nSuccess", "?]0;pwned???\xc2\xa0\xff?Success"}};
  for (const auto& [name, shown] : names_shown) {
    EXPECT_EQ(run_with({name}), (std::vector<std::string>{"<clear>", banner() + "\n",
                                                          "Error opening " + shown + "!"}));
  }
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"folder.hex"}));
}

TEST(run, existing_output_is_replaced) {
  const temp_dir dir;
  write_file(dir / "t.hex", ":03000000010203F7\n");
  write_file(dir / "t.86p", std::string(5000, 'x'));
  EXPECT_EQ(run_with({dir / "t.hex"}), converted(dir / "t.hex", dir / "t.86p"));
  EXPECT_EQ(read_file(dir / "t.86p").size(), 90U);
}

TEST(run, refuses_to_overwrite_the_input) {
  const std::string refusal = ": output would overwrite the input!";
  const std::string content = ":03000000010203F7\n";
  struct {
    const char* what;
    std::string input;
    std::string output;
    void (*make)(const temp_dir&, const std::string& content);
  } const cases[] = {
      {"same name", "t.86p", "t.86p",
       [](const temp_dir& d, const std::string& c) { write_file(d / "t.86p", c); }},
      // One file where letter case folds, whatever this file system does.
      {"other letter case", "t.86P", "t.86p",
       [](const temp_dir& d, const std::string& c) { write_file(d / "t.86P", c); }},
      {"hard link", "t.hex", "t.86p",
       [](const temp_dir& d, const std::string& c) {
         write_file(d / "t.hex", c);
         std::filesystem::create_hard_link(d / "t.hex", d / "t.86p");
       }},
  };
  for (const auto& c : cases) {
    const temp_dir dir;
    c.make(dir, content);
    const auto files = list_dir(dir.path());
    EXPECT_EQ(run_with({dir / c.input}), converted(dir / c.input, dir / c.output,
                                                   "Error converting " + dir / c.input + refusal))
        << c.what;
    EXPECT_EQ(read_file(dir / c.input), content) << c.what;
    EXPECT_EQ(list_dir(dir.path()), files) << c.what;
  }
}

TEST(run, names_show_without_control_characters) {
  // Those a file's name may hold on every system: DEL and a C1 control.
  const temp_dir dir;
  const std::string name = "a\x7f\xc2\x9b";
  write_file(dir / (name + ".hex"), rec16 + "\n");
  EXPECT_EQ(run_with({dir / (name + ".hex")}), converted(dir / "a??.hex", dir / "a??.86p"));
  EXPECT_TRUE(testing::file_exists(dir / (name + ".86p")));
}

TEST(run, program_size_limit) {
  // 1985 records of 32 digits and one of 3 give a body of exactly 65517 bytes.
  const auto input = [](const std::string& last_digits) {
    std::string text;
    for (int i = 0; i < 1985; ++i) text += rec16 + "\r\n";
    return text + ":02000000" + last_digits + "00\r\n:00000001FF\r\n";
  };
  const std::string at_limit = input("ABC");
  const std::string over = input("ABCD");

  const temp_dir dir;
  write_file(dir / "big.hex", at_limit);
  EXPECT_EQ(run_with({dir / "big.hex"}), converted(dir / "big.hex", dir / "big.86p"));
  EXPECT_EQ(read_file(dir / "big.86p").size(), 65517U + 75U);

  write_file(dir / "big.hex", over);
  write_file(dir / "big.86p", "old");
  EXPECT_EQ(run_with({dir / "big.hex"}),
            converted(dir / "big.hex", dir / "big.86p",
                      "Error converting " + dir / "big.hex" + ": program too large!"));
  EXPECT_EQ(read_file(dir / "big.86p"), "old");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"big.86p", "big.hex"}));
}

TEST(run, unwritable_output) {
  const temp_dir dir;
  write_file(dir / "t.hex", rec16 + "\n");
  ASSERT_TRUE(make_dir(dir / "t.86p"));
  EXPECT_EQ(run_with({dir / "t.hex"}),
            converted(dir / "t.hex", dir / "t.86p", "Error writing " + dir / "t.86p" + "!"));
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"}));
  EXPECT_EQ(list_dir(dir / "t.86p"), std::vector<std::string>{});
}

TEST(run, out_of_memory_keeps_the_old_output) {
  const temp_dir dir;
  write_file(dir / "t.hex", rec16 + "\n");
  write_file(dir / "t.86p", "old");
  failing_allocations_from = std::size_t{32} * 1024;  // the input's read buffer is larger
  const auto shown = run_with({dir / "t.hex"});
  failing_allocations_from = 0;
  EXPECT_EQ(shown, converted(dir / "t.hex", dir / "t.86p",
                             "Error converting " + dir / "t.hex" + ": out of memory!"));
  EXPECT_EQ(read_file(dir / "t.86p"), "old");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"}));
}

TEST(run, clock_is_read_before_the_input) {
  // The clock rewrites the input: only a run that reads the clock first converts the new text.
  const temp_dir dir;
  write_file(dir / "t.hex", ":03000000010203F7\n");
  const std::string input = dir / "t.hex";
  const char* const argv[] = {"tarnwick", input.c_str()};
  testing::recording_console con;
  run(2, argv, con, [&] {
    write_file(input, rec16 + "\n");
    return testing::fixed_clock();
  });
  EXPECT_EQ(read_file(dir / "t.86p").size(), 116U);
}

}  // namespace
}  // namespace tarnwick
