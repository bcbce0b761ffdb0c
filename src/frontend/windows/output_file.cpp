// Replacing the output file on Windows, so that it is never left half-written.
#include <windows.h>

#include <cstdint>

#include "frontend/temporary_name.h"
#include "frontend/windows/platform.h"

namespace tarnwick::frontend::windows {
namespace {

// Set once the temporary file is renamed or removed; a console control event waits for it.
HANDLE file_settled = nullptr;

BOOL WINAPI wait_for_file(DWORD /*event*/) {
  WaitForSingleObject(file_settled, INFINITE);
  return FALSE;  // then the default handling ends the process, as it would have at once
}

// Holds back the end that Ctrl+C, Ctrl+Break or a closed console window would bring while a
// temporary file exists, so that the process ends only after the file is renamed or removed.
class control_hold {
 public:
  control_hold() {
    // One event for the process: a handler still waiting on it must never see it closed.
    if (file_settled == nullptr) file_settled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(file_settled);
    SetConsoleCtrlHandler(wait_for_file, TRUE);
  }
  control_hold(const control_hold&) = delete;
  control_hold& operator=(const control_hold&) = delete;
  ~control_hold() {
    SetEvent(file_settled);
    SetConsoleCtrlHandler(wait_for_file, FALSE);
  }
};

// Creates a new, empty file in `dir` (ending in `\`) under an unused name named after the
// output `base`, or in the short form where the long one cannot be made; the full name goes
// to `name`.
HANDLE create_temporary(const std::wstring& dir, const std::wstring& base, std::wstring& name) {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const std::uint64_t seed = static_cast<std::uint64_t>(now.QuadPart) ^
                             (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32);
  HANDLE file = INVALID_HANDLE_VALUE;
  frontend::create_temporary(narrow(base), seed, [&](const std::string& candidate) {
    name = dir + widen(candidate);
    file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file != INVALID_HANDLE_VALUE) return creation::created;
    return GetLastError() == ERROR_FILE_EXISTS ? creation::exists : creation::failed;
  });
  return file;
}

// The failure GetLastError names; read at once, before another call can change it.
failure system_error(DWORD code = GetLastError()) {
  return {failure::cause::system, static_cast<int>(code)};
}

// Refuses `target` where it is `input`, also through a link, and where what is there cannot
// be looked at: it is then never taken for another file.
std::optional<failure> check_not_input(const std::wstring& target, file_identity input) {
  const HANDLE file = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return {};  // a new file
    return system_error();
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  const failure error = system_error();
  CloseHandle(file);
  if (!known) return error;
  const file_identity found{
      info.dwVolumeSerialNumber,
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  if (found == input) return failure{failure::cause::same_file};
  return {};
}

}  // namespace

std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                    file_identity input) {
  const std::wstring target = system_path(path);
  if (target.empty()) return system_error(ERROR_INVALID_NAME);
  // A name such as nul.86p or com1.86p reaches a device, never a file.
  if (is_device_path(target)) return failure{failure::cause::not_regular_file};
  const std::size_t slash = target.rfind(L'\\');
  if (slash == std::wstring::npos || slash + 1 == target.size()) {
    return system_error(ERROR_INVALID_NAME);
  }
  const std::wstring dir = target.substr(0, slash + 1);
  const std::wstring base = target.substr(slash + 1);
  if (const auto error = check_not_input(target, input)) return error;

  const DWORD old = GetFileAttributesW(target.c_str());
  const bool existed = old != INVALID_FILE_ATTRIBUTES;
  if (existed && (old & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return failure{failure::cause::not_regular_file};
  }
  // Windows refuses to move a file onto a read-only one, but Wine run as root does not: the
  // attribute is checked here so that it protects the file everywhere.
  if (existed && (old & FILE_ATTRIBUTE_READONLY) != 0) return system_error(ERROR_ACCESS_DENIED);

  const control_hold hold;
  std::wstring temp_name;
  const HANDLE temp = create_temporary(dir, base, temp_name);
  if (temp == INVALID_HANDLE_VALUE) return system_error();
  std::optional<failure> error;
  if (!write_all(temp, data) || FlushFileBuffers(temp) == 0) error = system_error();
  if (CloseHandle(temp) == 0 && !error) error = system_error();
  if (!error && existed) {
    // A replaced file stays hidden, a system file or marked for backup, as it was.
    constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if ((old & kept) != 0 && SetFileAttributesW(temp_name.c_str(), old & kept) == 0) {
      error = system_error();
    }
  }
  // A file that another program holds open without sharing it makes the move fail.
  if (!error && MoveFileExW(temp_name.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    error = system_error();
  }
  if (error) DeleteFileW(temp_name.c_str());
  return error;
}

}  // namespace tarnwick::frontend::windows
