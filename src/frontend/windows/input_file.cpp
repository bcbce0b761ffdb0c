#include "frontend/windows/input_file.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

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
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE) return 0;
    read_error_ = error;
    return -1;
  }

  file_identity identity() const override {
    // The volume serial number and the file index together name one file.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file_, &info) == 0) return {};
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }

  failure read_failure() const override {
    return {failure::cause::system, static_cast<int>(read_error_)};
  }

 private:
  HANDLE file_;
  DWORD read_error_ = 0;
};

}  // namespace

opened_input open_input_file(const std::string& name) {
  const std::wstring path = system_path(name);
  if (path.empty()) return {nullptr, {failure::cause::system, ERROR_INVALID_NAME}};
  // A device (aux.hex is AUX) could wait forever for its first byte.
  if (is_device_path(path)) return {nullptr, {failure::cause::not_regular_file}};
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened, so it counts as no input.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {nullptr, {failure::cause::system, static_cast<int>(GetLastError())}};
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return {nullptr, {failure::cause::not_regular_file}};
  }
  return {std::make_unique<windows_input_file>(file), {}};
}

}  // namespace tarnwick::frontend::windows
