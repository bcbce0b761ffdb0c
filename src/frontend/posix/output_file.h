// Replacing the output file on POSIX systems, so that it is never left half-written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frontend/system.h"

namespace tarnwick::frontend::posix {

// Makes `path` hold exactly `data`, unless the file it reaches is `input`. Links in `path`'s
// last part are followed one at a time, and the file found at the end is the one compared
// with `input` and replaced; a dangling link is replaced itself. A new file is written unnamed
// where the system can (Linux) and named once whole; an existing one is replaced by a
// temporary file in its folder, flushed and swapped in. Nothing when done; otherwise why not,
// with no temporary file left and an existing file keeping its old content, except where only
// the flush of the folder failed, after the new file was in place. A new file gets what an
// ordinary create gives; a replaced one keeps its permission bits. A read-only file, anything
// that is not a regular file, a link that cannot be followed and a link another user owns in
// a sticky, world-writable folder are left alone.
std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                    file_identity input);

}  // namespace tarnwick::frontend::posix
