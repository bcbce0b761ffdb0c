// The built tarnwick.exe, run as a script on Windows would run it: its output to a pipe.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "frontend/driver.h"
#include "frontend/windows/platform.h"
#include "golden.h"
#include "test_support.h"

namespace tarnwick::frontend::windows {
namespace {

using tarnwick::testing::temp_dir;
using tarnwick::testing::write_file;

struct program_result {
  std::string out;  // standard output and standard error, as written
  DWORD status = 1;
};

// Runs tarnwick.exe (from the folder ctest starts the test in) with `args` in `cwd`, with
// no console, so that no key can be read, and its output to a pipe.
program_result tarnwick(const std::vector<std::string>& args, const std::string& cwd) {
  std::wstring exe(MAX_PATH, L'\0');
  exe.resize(GetFullPathNameW(L"tarnwick.exe", MAX_PATH, exe.data(), nullptr));
  std::wstring command = L"\"" + exe + L"\"";
  for (const auto& a : args) command += L" \"" + widen(a) + L"\"";

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  program_result result;
  if (CreatePipe(&read_end, &write_end, &inherit, 0) == 0) return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  const HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                     widen(cwd).c_str(), &startup, &process);
  CloseHandle(write_end);
  CloseHandle(nothing);
  if (started != 0) {
    // The few lines it writes fit in the pipe, so it is waited for first, for a hang to show.
    if (WaitForSingleObject(process.hProcess, 10'000) == WAIT_TIMEOUT) {
      TerminateProcess(process.hProcess, 1);
      ADD_FAILURE() << "tarnwick.exe ran for 10 s";
    }
    GetExitCodeProcess(process.hProcess, &result.status);
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(read_end, buf, sizeof buf, &got, nullptr) != 0 && got > 0) {
      result.out.append(buf, got);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(read_end);
  return result;
}

TEST(program, console_text_with_crlf) {
  const std::string banner = frontend::banner() + "\r\n\r\n";
  // Cyrillic, then a character beyond 16 bits: UTF-8 on the pipe.
  const std::string name = "\xd0\xbf\xd1\x80\xd0\xbe\xf0\x9f\x98\x80";
  struct {
    std::vector<std::string> args;
    std::string out;
  } const cases[] = {
      {{"t.hex"}, banner + "Converting t.hex\r\n\r\nOutputting t.86p\r\n\r\nSuccess!\r\n"},
      {{name + ".hex"},
       banner + "Converting " + name + ".hex\r\n\r\nOutputting " + name +
           ".86p\r\n\r\nSuccess!\r\n"},
      {{"missing.hex"}, banner + "Error opening missing.hex!\r\ntarnwick: missing.hex: "},
      // With no console the key wait ends at once.
      {{}, banner + "Proper usage:\r\n\r\n\ttarnwick [filename(.hex)]\r\n"},
  };
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / "t.hex", tarnwick::testing::t_hex);
    write_file(dir / (name + ".hex"), tarnwick::testing::t_hex);
    const program_result r = tarnwick(c.args, dir.path());
    // A row ending mid-line is followed by the system's reason, which is text, not the
    // number the program shows where the system has none.
    EXPECT_EQ(c.out.ends_with('\n') ? r.out : r.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(r.out.find("error 2"), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 0U);
  }
}

}  // namespace
}  // namespace tarnwick::frontend::windows
