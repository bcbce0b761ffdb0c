#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "frontend/windows/output_file.h"
#include "frontend/windows/path.h"
#include "test_support.h"

namespace tarnwick::frontend::windows {
namespace {

using tarnwick::testing::make_dir;
using tarnwick::testing::read_file;
using tarnwick::testing::temp_dir;
using tarnwick::testing::write_file;

// Replacing t.86p in a folder prepared by `prepare`, the file held open by another handle
// without sharing during the replacement where `hold` says so.
TEST(replace_file, cases) {
  struct {
    const char* what;
    std::function<void(const std::string& path)> prepare;
    bool hold;
    bool replaced;
  } const cases[] = {
      {"new file", [](const std::string&) {}, false, true},
      {"replaced file", [](const std::string& path) { write_file(path, "old"); }, false, true},
      {"read-only file",
       [](const std::string& path) {
         write_file(path, "old");
         SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_READONLY);
       },
       false, false},
      {"folder", [](const std::string& path) { make_dir(path); }, false, false},
      {"held open without sharing", [](const std::string& path) { write_file(path, "old"); }, true,
       false},
  };
  for (const auto& c : cases) {
    const temp_dir dir;
    const std::string path = dir / "t.86p";
    c.prepare(path);
    const std::string before = read_file(path);
    const HANDLE held = c.hold ? CreateFileW(widen(path).c_str(), GENERIC_READ, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
    ASSERT_EQ(held != INVALID_HANDLE_VALUE, c.hold) << c.what;
    EXPECT_EQ(replace_file(path, "new"), c.replaced) << c.what;
    if (c.hold) CloseHandle(held);
    EXPECT_EQ(read_file(path), c.replaced ? "new" : before) << c.what;
    // No temporary file is left, whatever happened.
    EXPECT_EQ(testing::list_dir(dir.path()), std::vector<std::string>{"t.86p"}) << c.what;
    SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace
}  // namespace tarnwick::frontend::windows
