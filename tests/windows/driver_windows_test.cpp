// The driver in process on what Windows names allow: other spellings of one file, names of
// any alphabet, and paths longer than 260 characters.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "driver_support.h"
#include "frontend/driver.h"
#include "frontend/windows/platform.h"
#include "program_reader.h"
#include "test_support.h"

namespace tarnwick::frontend::windows {
namespace {

using tarnwick::testing::converted;
using tarnwick::testing::file16;
using tarnwick::testing::list_dir;
using tarnwick::testing::read_file;
using tarnwick::testing::run_with;
using tarnwick::testing::temp_dir;
using tarnwick::testing::write_file;

TEST(run, refuses_the_input_by_another_letter_case) {
  const temp_dir dir;
  write_file(dir / "t.86p", file16);
  // T.86P opens t.86p, and its output name T.86p is the same file again.
  EXPECT_EQ(run_with({dir / "T.86P"}),
            converted(dir / "T.86P", dir / "T.86p",
                      "Error converting " + dir / "T.86P" + ": output would overwrite the input!"));
  EXPECT_EQ(read_file(dir / "t.86p"), file16);
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"t.86p"});
}

TEST(run, device_names_are_no_files) {
  // aux.hex is the device AUX, whose read would wait forever; nulabcd's output nul.86p is NUL.
  const temp_dir dir;
  write_file(dir / "nulabcd", file16);
  EXPECT_EQ(run_with({dir / "aux.hex"}),
            (std::vector<std::string>{"<clear>", banner() + "\n",
                                      "Error opening " + dir / "aux.hex" + "!"}));
  tarnwick::testing::platform_files sys;
  EXPECT_EQ(sys.run({dir / "nulabcd"}),
            converted(dir / "nulabcd", dir / "nul.86p", "Error writing " + dir / "nul.86p" + "!"));
  EXPECT_EQ(sys.errors,
            std::vector<std::string>{"tarnwick: " + dir / "nul.86p" + ": not a regular file"});
  EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"nulabcd"});
}

TEST(run, non_ascii_names) {
  const temp_dir dir;
  // Cyrillic, a Latin letter with a diaeresis, the euro sign and a character beyond 16 bits.
  const std::string name = "\xd0\xbf\xd1\x80\xd0\xbe\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80";
  write_file(dir / (name + ".hex"), file16);
  EXPECT_EQ(run_with({dir / (name + ".hex")}),
            converted(dir / (name + ".hex"), dir / (name + ".86p")));
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{name + ".86p", name + ".hex"}));
  // The variable is named by the first eight bytes of the output name.
  const std::string bytes = read_file(dir / (name + ".86p"));
  EXPECT_EQ(testing::read_program(bytes).name, name.substr(0, 8));
}

// Wine needs no prefix to go past 260 characters, so the names the program uses are checked
// for it here.
TEST(system_path, full_and_prefixed) {
  struct {
    std::string name;
    std::wstring path;
  } const cases[] = {
      {"C:/dir/prog.hex", L"\\\\?\\C:\\dir\\prog.hex"},
      {"C:\\dir\\sub/../prog.hex", L"\\\\?\\C:\\dir\\prog.hex"},
      {"\\\\server\\share\\prog.hex", L"\\\\?\\UNC\\server\\share\\prog.hex"},
      {"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(system_path(c.name), c.path) << c.name;
}

TEST(run, names_longer_than_260_characters) {
  const temp_dir dir;
  // Made with the prefixed form, which alone reaches that far whatever the system allows.
  std::string folder = dir.path();
  std::string prefixed = "\\\\?\\" + dir.path();
  for (const char c : {'a', 'b'}) {
    folder += "/" + std::string(120, c);
    prefixed += "\\" + std::string(120, c);
    ASSERT_NE(CreateDirectoryW(widen(prefixed).c_str(), nullptr), 0);
  }
  const std::string base = std::string(100, 'p');
  write_file(prefixed + "\\" + base + ".hex", file16);
  const std::string input = folder + "/" + base + ".hex";
  ASSERT_GT(input.size(), 360U);
  EXPECT_EQ(run_with({input}), converted(input, folder + "/" + base + ".86p"));
  EXPECT_EQ(read_file(prefixed + "\\" + base + ".86p").size(), 116U);
  // Removed here, as the test folder's own clean-up uses ordinary paths.
  DeleteFileW(widen(prefixed + "\\" + base + ".86p").c_str());
  DeleteFileW(widen(prefixed + "\\" + base + ".hex").c_str());
  RemoveDirectoryW(widen(prefixed).c_str());
  RemoveDirectoryW(widen(prefixed.substr(0, prefixed.rfind('\\'))).c_str());
}

}  // namespace
}  // namespace tarnwick::frontend::windows
