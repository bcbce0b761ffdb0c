// Writing the output file so that it is never left half-written. One implementation per
// platform.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The characters that end a folder's name in this platform's paths.
extern const std::string_view folder_separators;

// Makes `path` hold exactly `data`: writes a temporary file in the same folder, flushes it
// to disk, renames it onto `path` and makes the rename durable. Gives false when any step
// failed; the temporary file is then removed and an existing file at `path` keeps its old
// content. A new file gets the permissions an ordinary create would; a replaced one keeps its
// permission bits (POSIX) or its attributes (Windows). Where `path` is a link the file it
// leads to is replaced, and a dangling link is replaced itself. A read-only file, and anything
// that is not a regular file (a folder, a device, a pipe), is left alone, as is a link that
// cannot be followed.
bool replace_file(const std::string& path, std::string_view data);

}  // namespace tarnwick
