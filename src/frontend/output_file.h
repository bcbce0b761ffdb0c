// Writing the output file so that it is never left half-written.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Makes `path` hold exactly `data`: writes a temporary file in the same folder, flushes it
// to disk and renames it onto `path`. Gives false when any step failed; the temporary file
// is then removed and an existing file at `path` keeps its old content. A new file gets the
// permissions an ordinary create would; a replaced one keeps its permission bits (POSIX) or
// its attributes (Windows). A read-only file or a folder at `path` is left alone.
bool replace_file(const std::string& path, std::string_view data);

}  // namespace tarnwick
