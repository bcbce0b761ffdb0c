// Writing a whole buffer to a file or pipe handle.
#pragma once

#include <windows.h>

#include <string_view>

namespace tarnwick::frontend::windows {

// Writes every byte of `data` to `file`, retrying short writes; false on an error.
bool write_all(HANDLE file, std::string_view data);

}  // namespace tarnwick::frontend::windows
