// The Windows system: the console, the files, the clock.
#include "frontend/system.h"

#include <windows.h>

#include <string>

#include "frontend/output_name.h"
#include "frontend/windows/clock.h"
#include "frontend/windows/console.h"
#include "frontend/windows/input_file.h"
#include "frontend/windows/output_file.h"
#include "frontend/windows/path.h"

namespace tarnwick::frontend {
namespace windows {
namespace {

// The system's words for the error `code`, in the user's language, without the line end
// FormatMessage adds; the number where it has none.
std::string system_error_text(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(code);
  return narrow(text);
}

class windows_system final : public system {
 public:
  void clear_screen() override { output_.clear(); }
  void write_line(std::string_view text) override { output_.write_line(text); }
  void write_error_line(std::string_view text) override { errors_.write_line(text); }
  void wait_key() override { wait_for_key(); }
  bool window_closes_at_exit() override { return output_.is_own_window(); }

  std::string_view folder_separators() const override { return windows_separators; }

  opened_input open_input(const std::string& name) override { return open_input_file(name); }

  std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                      const input_file& input) override {
    return windows::replace_file(path, data, input.identity());
  }

  std::string error_text(int code) override { return system_error_text(static_cast<DWORD>(code)); }

  std::optional<std::tm> local_time() override { return local_time_now(); }

 private:
  console_output output_;
  console_output errors_{STD_ERROR_HANDLE};
};

}  // namespace
}  // namespace windows

std::unique_ptr<system> make_platform_system() {
  return std::make_unique<windows::windows_system>();
}

}  // namespace tarnwick::frontend
