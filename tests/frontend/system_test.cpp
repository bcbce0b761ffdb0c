// The platform's own system through the driver, on real files: what the fake cannot show.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver_support.h"

namespace tarnwick::testing {
namespace {

TEST(platform_system, real_files) {
  struct {
    const char* what;
    void (*make)(const temp_dir& dir);  // besides t.hex, which every case has
    std::string last;                   // the console's last line
    std::string output;                 // t.86p afterwards, "" for none or a folder
  } const cases[] = {
      {"new output", [](const temp_dir&) {}, "Success!", fixed_header() + t_86p_from_53},
      {"existing output replaced",
       [](const temp_dir& d) { write_file(d / "t.86p", std::string(5000, 'x')); }, "Success!",
       fixed_header() + t_86p_from_53},
      {"output is a folder", [](const temp_dir& d) { make_dir(d / "t.86p"); }, "Error writing ",
       ""},
      {"output is a hard link to the input",
       [](const temp_dir& d) { std::filesystem::create_hard_link(d / "t.hex", d / "t.86p"); },
       "Error converting ", t_hex},
  };
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / "t.hex", t_hex);
    c.make(dir);
    const auto shown = run_with({dir / "t.hex"});
    ASSERT_EQ(shown.size(), 5U) << c.what;
    EXPECT_EQ(shown[4].substr(0, c.last.size()), c.last) << c.what;
    EXPECT_EQ(read_file(dir / "t.86p"), c.output) << c.what;
    EXPECT_EQ(read_file(dir / "t.hex"), t_hex) << c.what;
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"})) << c.what;
  }
  // A folder is no input.
  const temp_dir dir;
  make_dir(dir / "f.hex");
  EXPECT_EQ(run_with({dir / "f.hex"}).back(), "Error opening " + dir / "f.hex" + "!");
}

}  // namespace
}  // namespace tarnwick::testing
