// The Windows console: standard output, and the keyboard for the single key wait.
#pragma once

#include <windows.h>

#include <string_view>

namespace tarnwick::frontend::windows {

// Standard output: the console window, written in UTF-16 so that every name shows whatever
// the code page, or a redirection, which holds UTF-8 lines with CR LF line ends, as the
// scripts that read a Windows program's output expect.
class console_output {
 public:
  // `which`: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
  explicit console_output(DWORD which = STD_OUTPUT_HANDLE);
  // Fills the window with spaces and puts the cursor home; nothing when redirected.
  void clear();
  // Writes `line_text` (UTF-8) and a line end.
  void write_line(std::string_view line_text);
  // True when the window is the program's own, as after a drop on it in Explorer.
  bool is_own_window() const;

 private:
  HANDLE output_;
  bool is_console_ = false;
};

// Reads input records from the console, with processed input off so that Ctrl+C is a key,
// until one ends the wait. Returns at once when the process has no console. The console's
// input mode is restored afterwards, also when a control event ends the process.
void wait_for_key();

}  // namespace tarnwick::frontend::windows
