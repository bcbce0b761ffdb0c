#include "frontend/windows/console.h"

#include <string>

#include "frontend/text/console_window.h"
#include "frontend/text/key_event.h"
#include "frontend/text/wide_text.h"
#include "frontend/windows/path.h"
#include "frontend/windows/write_all.h"

namespace tarnwick::frontend::windows {
namespace {

// The console input and its mode before the key wait, for the control handler to put back.
HANDLE waiting_input = INVALID_HANDLE_VALUE;
DWORD saved_input_mode = 0;

BOOL WINAPI restore_input_mode(DWORD /*event*/) {
  SetConsoleMode(waiting_input, saved_input_mode);
  return FALSE;  // then the default handling ends the process, as it would have
}

// What the decision needs of `record`; any other kind of event counts as a focus event.
text::input_record portable_record(const INPUT_RECORD& record) {
  switch (record.EventType) {
    case KEY_EVENT: {
      const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
      return {text::input_kind::key, key.bKeyDown != 0, key.wVirtualKeyCode,
              static_cast<char16_t>(key.uChar.UnicodeChar)};
    }
    case MOUSE_EVENT:
      return {text::input_kind::mouse};
    case WINDOW_BUFFER_SIZE_EVENT:
      return {text::input_kind::buffer_size};
    case MENU_EVENT:
      return {text::input_kind::menu};
    default:
      return {text::input_kind::focus};
  }
}

}  // namespace

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
           !text::ends_key_wait(portable_record(record))) {
    }
  }
  SetConsoleMode(input, mode);
  SetConsoleCtrlHandler(restore_input_mode, FALSE);
  CloseHandle(input);
}

namespace {

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

}  // namespace

console_output::console_output(DWORD which) : output_(GetStdHandle(which)) {
  DWORD mode = 0;
  is_console_ = GetConsoleMode(output_, &mode) != 0;
}

void console_output::clear() {
  if (is_console_) clear_screen(output_);
}

void console_output::write_line(std::string_view line_text) {
  const std::string line = text::crlf_line(line_text);
  if (is_console_) {
    const std::wstring wide = widen(line);
    DWORD written = 0;
    WriteConsoleW(output_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    // A failure means nobody reads the output; the conversion goes on regardless.
    (void)write_all(output_, line);
  }
}

bool console_output::is_own_window() const {
  // Only the count matters, so a list of two is enough to tell one process from more.
  DWORD processes[2] = {};
  return text::console_window_is_own(GetConsoleProcessList(processes, 2), is_console_);
}

}  // namespace tarnwick::frontend::windows
