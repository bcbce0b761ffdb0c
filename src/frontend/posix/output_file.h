// Replacing the output file on POSIX systems, so that it is never left half-written.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::frontend::posix {

// Makes `path` hold exactly `data`: writes a temporary file in the same folder, flushes it
// to disk, renames it onto `path` and flushes the folder. Gives false when any step failed;
// the temporary file is then removed and an existing file at `path` keeps its old content. A
// new file gets the permissions an ordinary create would; a replaced one keeps its permission
// bits. Where `path` is a link the file it leads to is replaced, and a dangling link is
// replaced itself. A read-only file, anything that is not a regular file (a folder, a device,
// a pipe) and a link that cannot be followed are left alone.
bool replace_file(const std::string& path, std::string_view data);

}  // namespace tarnwick::frontend::posix
