// The input file on POSIX systems.
#pragma once

#include <string>

#include "frontend/system.h"

namespace tarnwick::frontend::posix {

// Opens the file `name` for reading: a regular file, a pipe or a device. No file, with the
// errno that says why, when it cannot be opened or is a folder (EISDIR).
opened_input open_input_file(const std::string& name);

}  // namespace tarnwick::frontend::posix
