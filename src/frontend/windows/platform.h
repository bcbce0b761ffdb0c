// The Windows front end's own pieces. The pure ones, in portable.cpp, build and are tested on
// every platform; the others call Windows and are shared by the platform's files and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "frontend/system.h"

namespace tarnwick::frontend::windows {

// The kinds of record a Windows console delivers.
enum class input_kind { key, mouse, buffer_size, menu, focus };

// What the key wait needs of one console input record.
struct input_record {
  input_kind kind = input_kind::key;
  bool key_down = false;
  std::uint16_t virtual_key = 0;  // the Windows virtual-key code
  char16_t character = 0;         // the UTF-16 unit the key yields, 0 for none
};

// True for a key press that yields a character (Ctrl+C included) or is one of F1-F12, the
// arrows, Home, End, Page Up, Page Down, Insert and Delete. Releases, other events and
// modifier or lock keys pressed alone do not end the wait.
bool ends_key_wait(const input_record& record);

// True when the console serves this process alone and standard output is that console: the
// window is the program's own, which Windows closes as the program ends.
bool console_window_is_own(std::size_t console_processes, bool output_is_console);

// UTF-16 to UTF-8. A surrogate without its partner, which Windows allows in names, becomes
// its own three-byte sequence (as WTF-8 does), so that every name survives the round trip.
std::string utf16_to_utf8(std::u16string_view text);

// UTF-8 (and the surrogates utf16_to_utf8 writes) to UTF-16; each byte that starts no valid
// sequence becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

// `text` and a line end, each newline written as CR LF.
std::string crlf_line(std::string_view text);

// A full path (drive or UNC, as GetFullPathName gives it) with the prefix that lifts the 260
// character limit; a path that already has a prefix, or names a device, is left as it is.
std::u16string extended_length_path(std::u16string_view full_path);

// Names as the system takes and gives them, from and to UTF-8.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The file system's name for `name` (UTF-8; `/` and `\` both separate folders): its full
// path with the long-path prefix, so that no 260 character limit applies. Empty when `name`
// is no path at all.
std::wstring system_path(const std::string& name);

// True when the system path reaches a device (AUX, COM1, NUL...) rather than a file.
bool is_device_path(std::wstring_view path);

// Writes every byte of `data` to the file or pipe HANDLE `file` (a void pointer, so that this
// header needs no <windows.h>), retrying short writes; false on an error.
bool write_all(void* file, std::string_view data);

// Makes `path` (UTF-8) hold exactly `data`, unless the file of that name is `input`: writes a
// temporary file in the same folder, flushes it to disk and moves it onto `path`, written
// through. Nothing when done; otherwise why not, with the temporary file removed and an
// existing file at `path` keeping its old content. A replaced file keeps its hidden, system
// and archive attributes. A read-only file, a folder and a device name are left alone.
std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                    file_identity input);

}  // namespace tarnwick::frontend::windows
