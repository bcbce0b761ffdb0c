// The program variable's name, taken from the output file name.
#pragma once

#include <array>
#include <string_view>

#include "ti86/file_format.h"

namespace tarnwick::ti86 {

using variable_name = std::array<char, name_length>;

// The first 8 characters of the base name of `output_name` (after the last \ / ] or :),
// ending early at a space, zero-padded. The extension stays: prog.86p names "prog.86p".
variable_name make_variable_name(std::string_view output_name);

}  // namespace tarnwick::ti86
