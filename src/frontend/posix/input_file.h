// The input file on POSIX systems.
#pragma once

#include <memory>
#include <string>

#include "frontend/system.h"

namespace tarnwick::frontend::posix {

// Opens the file `name` for reading: a regular file, a pipe or a device. Null when it cannot
// be opened, or is a folder.
std::unique_ptr<input_file> open_input_file(const std::string& name);

}  // namespace tarnwick::frontend::posix
