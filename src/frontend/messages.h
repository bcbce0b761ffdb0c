// The messages that report a failed conversion, shared by every front end.
#pragma once

#include <string>
#include <string_view>

#include "hexreader/row_table.h"

namespace tarnwick {

// `name` as the console shows it: each control character (bytes 0x00-0x1F and 0x7F, and
// U+0080-U+009F where the bytes are valid UTF-8) as `?`, so that no name can move the
// cursor, colour the text or forge a line.
std::string shown_name(std::string_view name);

// The one-line message for converting `name` that ended with `status`; empty for ok.
std::string failure_message(read_status status, std::string_view name);

// The message refusing to convert `name` because its output would be the input file itself.
std::string overwrite_message(std::string_view name);

// The message for a conversion of `name` that ran out of memory.
std::string out_of_memory_message(std::string_view name);

}  // namespace tarnwick
