// Names on Windows: UTF-8 inside the program, UTF-16 for the system.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::frontend::windows {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The file system's name for `name` (UTF-8; `/` and `\` both separate folders): its full
// path with the long-path prefix, so that no 260 character limit applies. Empty when `name`
// is no path at all.
std::wstring system_path(const std::string& name);

// True when the system path reaches a device (AUX, COM1, NUL...) rather than a file.
bool is_device_path(std::wstring_view path);

}  // namespace tarnwick::frontend::windows
