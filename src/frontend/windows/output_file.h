// Replacing the output file on Windows, so that it is never left half-written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frontend/system.h"

namespace tarnwick::frontend::windows {

// Makes `path` (UTF-8) hold exactly `data`, unless the file of that name is `input`: writes a
// temporary file in the same folder, flushes it to disk and moves it onto `path`, written
// through. Nothing when done; otherwise why not, with the temporary file removed and an
// existing file at `path` keeping its old content. A replaced file keeps its hidden, system
// and archive attributes. A read-only file, a folder and a device name are left alone.
std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                    file_identity input);

}  // namespace tarnwick::frontend::windows
