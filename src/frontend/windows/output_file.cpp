#include "frontend/windows/output_file.h"

#include <windows.h>

#include <cstdint>

#include "frontend/temporary_name.h"
#include "frontend/windows/path.h"
#include "frontend/windows/write_all.h"

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
  std::uint64_t seed = static_cast<std::uint64_t>(now.QuadPart) ^
                       (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32);
  std::string owner = narrow(base);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = dir + widen(temporary_name(owner, seed));
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (GetLastError() == ERROR_FILE_EXISTS) continue;
    if (owner.empty()) break;
    owner.clear();  // too long a name, most likely
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool replace_file(const std::string& path, std::string_view data) {
  const std::wstring target = system_path(path);
  // A name such as nul.86p or com1.86p reaches a device, never a file.
  if (is_device_path(target)) return false;
  const std::size_t slash = target.rfind(L'\\');
  if (slash == std::wstring::npos || slash + 1 == target.size()) return false;
  const std::wstring dir = target.substr(0, slash + 1);
  const std::wstring base = target.substr(slash + 1);

  const DWORD old = GetFileAttributesW(target.c_str());
  const bool existed = old != INVALID_FILE_ATTRIBUTES;
  // Windows refuses to move a file onto a read-only one, but Wine run as root does not: the
  // attribute is checked here so that it protects the file everywhere.
  if (existed && (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;

  const control_hold hold;
  std::wstring temp_name;
  const HANDLE temp = create_temporary(dir, base, temp_name);
  if (temp == INVALID_HANDLE_VALUE) return false;
  bool ok = write_all(temp, data) && FlushFileBuffers(temp) != 0;
  ok = CloseHandle(temp) != 0 && ok;
  if (ok && existed) {
    // A replaced file stays hidden, a system file or marked for backup, as it was.
    constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if ((old & kept) != 0) ok = SetFileAttributesW(temp_name.c_str(), old & kept) != 0;
  }
  // A file that another program holds open without sharing it makes the move fail.
  ok = ok && MoveFileExW(temp_name.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) DeleteFileW(temp_name.c_str());
  return ok;
}

}  // namespace tarnwick::frontend::windows
