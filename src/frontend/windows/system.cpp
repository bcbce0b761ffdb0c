// The Windows system: the console and the key wait, the files, the clock.
#include "frontend/system.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "frontend/output_name.h"
#include "frontend/windows/platform.h"
#include "ti86/time_text.h"

namespace tarnwick::frontend {
namespace windows {

std::wstring widen(std::string_view utf8) {
  const std::u16string utf16 = utf8_to_utf16(utf8);
  return {utf16.begin(), utf16.end()};
}

std::string narrow(std::wstring_view utf16) {
  return utf16_to_utf8(std::u16string(utf16.begin(), utf16.end()));
}

std::wstring system_path(const std::string& name) {
  const std::wstring wide = widen(name);
  if (wide.empty()) return {};
  // The full path also turns every `/` into `\`, which the prefixed form no longer does.
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return {};
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);  // the size needed, its terminating zero included
  }
  const std::u16string extended = extended_length_path(std::u16string(full.begin(), full.end()));
  return {extended.begin(), extended.end()};
}

bool is_device_path(std::wstring_view path) {
  return path.starts_with(L"\\\\.\\");
}

bool write_all(void* file, std::string_view data) {
  while (!data.empty()) {
    const auto size = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1U << 30));
    DWORD written = 0;
    if (WriteFile(file, data.data(), size, &written, nullptr) == 0 || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

namespace {

// The console input and its mode before the key wait, for the control handler to put back.
HANDLE waiting_input = INVALID_HANDLE_VALUE;
DWORD saved_input_mode = 0;

BOOL WINAPI restore_input_mode(DWORD /*event*/) {
  SetConsoleMode(waiting_input, saved_input_mode);
  return FALSE;  // then the default handling ends the process, as it would have
}

// What the decision needs of `record`; any other kind of event counts as a focus event.
input_record portable_record(const INPUT_RECORD& record) {
  switch (record.EventType) {
    case KEY_EVENT: {
      const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
      return {input_kind::key, key.bKeyDown != 0, key.wVirtualKeyCode,
              static_cast<char16_t>(key.uChar.UnicodeChar)};
    }
    case MOUSE_EVENT:
      return {input_kind::mouse};
    case WINDOW_BUFFER_SIZE_EVENT:
      return {input_kind::buffer_size};
    case MENU_EVENT:
      return {input_kind::menu};
    default:
      return {input_kind::focus};
  }
}

// Reads input records from the console, with processed input off so that Ctrl+C is a key,
// until one ends the wait. Returns at once when the process has no console. The console's
// input mode is restored afterwards, also when a control event ends the process.
void wait_for_key() {
  const HANDLE input =
      CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode) == 0) {
    CloseHandle(input);
    return;
  }
  waiting_input = input;
  saved_input_mode = mode;
  SetConsoleCtrlHandler(restore_input_mode, TRUE);
  // A key typed before the prompt is still in the buffer and counts, as it would at a
  // terminal.
  const DWORD raw =
      mode & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
  if (SetConsoleMode(input, raw) != 0) {
    INPUT_RECORD record{};
    DWORD count = 0;
    while (ReadConsoleInputW(input, &record, 1, &count) != 0 && count == 1 &&
           !ends_key_wait(portable_record(record))) {
    }
  }
  SetConsoleMode(input, mode);
  SetConsoleCtrlHandler(restore_input_mode, FALSE);
  CloseHandle(input);
}

// Fills the screen buffer with spaces in its current colours and puts the cursor home.
void clear_screen(HANDLE output) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(output, &info) == 0) return;
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  const COORD home{0, 0};
  DWORD done = 0;
  FillConsoleOutputCharacterW(output, L' ', cells, home, &done);
  FillConsoleOutputAttribute(output, info.wAttributes, cells, home, &done);
  SetConsoleCursorPosition(output, home);
}

// Standard output or error: the console window, written in UTF-16 so that every name shows
// whatever the code page, or a redirection, which holds UTF-8 lines with CR LF line ends, as
// the scripts that read a Windows program's output expect.
class console_output {
 public:
  // `which`: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
  explicit console_output(DWORD which) : output_(GetStdHandle(which)) {
    DWORD mode = 0;
    is_console_ = GetConsoleMode(output_, &mode) != 0;
  }

  // Fills the window with spaces and puts the cursor home; nothing when redirected.
  void clear() {
    if (is_console_) clear_screen(output_);
  }

  // Writes `line_text` (UTF-8) and a line end.
  void write_line(std::string_view line_text) {
    const std::string line = crlf_line(line_text);
    if (is_console_) {
      const std::wstring wide = widen(line);
      DWORD written = 0;
      WriteConsoleW(output_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
      // A failure means nobody reads the output; the conversion goes on regardless.
      (void)write_all(output_, line);
    }
  }

  // True when the window is the program's own, as after a drop on it in Explorer.
  bool is_own_window() const {
    // Only the count matters, so a list of two is enough to tell one process from more.
    DWORD processes[2] = {};
    return console_window_is_own(GetConsoleProcessList(processes, 2), is_console_);
  }

 private:
  HANDLE output_;
  bool is_console_ = false;
};

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

// Opens the file `name` (UTF-8) for reading. No file, with the reason, when it cannot be
// opened, or is a folder or anything but a disk file (a device such as AUX, or a pipe).
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

  std::optional<std::tm> local_time() override {
    // The system's own local time; the C library's would follow a TZ variable instead.
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return ti86::calendar_time(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                               now.wDayOfWeek);
  }

 private:
  console_output output_{STD_OUTPUT_HANDLE};
  console_output errors_{STD_ERROR_HANDLE};
};

}  // namespace
}  // namespace windows

std::unique_ptr<system> make_platform_system() {
  return std::make_unique<windows::windows_system>();
}

}  // namespace tarnwick::frontend
