// Replacing the output file on Windows, so that it is never left half-written.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::frontend::windows {

// Makes `path` (UTF-8) hold exactly `data`: writes a temporary file in the same folder,
// flushes it to disk and moves it onto `path`, written through. Gives false when any step
// failed; the temporary file is then removed and an existing file at `path` keeps its old
// content. A replaced file keeps its hidden, system and archive attributes. A read-only file,
// a folder and a device name are left alone.
bool replace_file(const std::string& path, std::string_view data);

}  // namespace tarnwick::frontend::windows
