// The input file on Windows.
#pragma once

#include <string>

#include "frontend/system.h"

namespace tarnwick::frontend::windows {

// Opens the file `name` (UTF-8) for reading. No file, with the reason, when it cannot be
// opened, or is a folder or anything but a disk file (a device such as AUX, or a pipe).
opened_input open_input_file(const std::string& name);

}  // namespace tarnwick::frontend::windows
