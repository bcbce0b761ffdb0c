#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frontend/windows/platform.h"
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
    std::optional<failure> result;  // nothing where the file is replaced
  } const cases[] = {
      {"new file", [](const std::string&) {}, false, std::nullopt},
      {"replaced file", [](const std::string& path) { write_file(path, "old"); }, false,
       std::nullopt},
      {"read-only file",
       [](const std::string& path) {
         write_file(path, "old");
         SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_READONLY);
       },
       false, failure{failure::cause::system, ERROR_ACCESS_DENIED}},
      {"folder", [](const std::string& path) { make_dir(path); }, false,
       failure{failure::cause::not_regular_file}},
      {"held open without sharing", [](const std::string& path) { write_file(path, "old"); }, true,
       failure{failure::cause::system, ERROR_ACCESS_DENIED}},
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
    EXPECT_EQ(replace_file(path, "new", {}), c.result) << c.what;
    if (c.hold) CloseHandle(held);
    EXPECT_EQ(read_file(path), c.result ? before : "new") << c.what;
    // No temporary file is left, whatever happened.
    EXPECT_EQ(testing::list_dir(dir.path()), std::vector<std::string>{"t.86p"}) << c.what;
    SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace
}  // namespace tarnwick::frontend::windows
