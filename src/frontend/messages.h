// The messages that report a failed conversion, shared by every front end.
#pragma once

#include <string>
#include <string_view>

#include "hexreader/row_table.h"

namespace tarnwick {

// The one-line message for converting `name` that ended with `status`; empty for ok.
std::string failure_message(read_status status, std::string_view name);

// The message refusing to convert `name` because its output would be the input file itself.
std::string overwrite_message(std::string_view name);

}  // namespace tarnwick
