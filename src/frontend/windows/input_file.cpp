#include "frontend/windows/input_file.h"

#include <windows.h>

#include <algorithm>

#include "frontend/windows/path.h"

namespace tarnwick::frontend::windows {
namespace {

class windows_input_file final : public input_file {
 public:
  explicit windows_input_file(HANDLE file) : file_(file) {}
  windows_input_file(const windows_input_file&) = delete;
  windows_input_file& operator=(const windows_input_file&) = delete;
  ~windows_input_file() override { CloseHandle(file_); }

  std::ptrdiff_t read(char* buf, std::size_t size) override {
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
    DWORD got = 0;
    if (ReadFile(file_, buf, wanted, &got, nullptr) != 0) return got;
    // A pipe whose writer has finished reports its end as this error.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }

  bool is_same_file(const std::string& name) const override {
    const std::wstring path = system_path(name);
    if (path.empty()) return false;
    // Asking for attributes only conflicts with no other opener's sharing; the backup flag
    // lets a folder of that name be opened too.
    const HANDLE other = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    // The volume serial number and the file index together name one file.
    BY_HANDLE_FILE_INFORMATION in{};
    BY_HANDLE_FILE_INFORMATION out{};
    const bool same = GetFileInformationByHandle(file_, &in) != 0 &&
                      GetFileInformationByHandle(other, &out) != 0 &&
                      in.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
                      in.nFileIndexHigh == out.nFileIndexHigh &&
                      in.nFileIndexLow == out.nFileIndexLow;
    CloseHandle(other);
    return same;
  }

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<input_file> open_input_file(const std::string& name) {
  const std::wstring path = system_path(name);
  // A device (aux.hex is AUX) could wait forever for its first byte.
  if (path.empty() || is_device_path(path)) return nullptr;
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened, so it counts as no input.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return nullptr;
  }
  return std::make_unique<windows_input_file>(file);
}

}  // namespace tarnwick::frontend::windows
