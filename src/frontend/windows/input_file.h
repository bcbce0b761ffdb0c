// The input file on Windows.
#pragma once

#include <memory>
#include <string>

#include "frontend/system.h"

namespace tarnwick::frontend::windows {

// Opens the file `name` (UTF-8) for reading. Null when it cannot be opened, or is a folder or
// anything but a disk file (a device such as AUX, or a pipe).
std::unique_ptr<input_file> open_input_file(const std::string& name);

}  // namespace tarnwick::frontend::windows
