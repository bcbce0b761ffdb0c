// The output file's name, derived from the input's.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The input name less its last four characters (its extension, unexamined), plus ".86p".
// A folder part stays in front, so the output lands next to the input.
std::string make_output_name(std::string_view input_name);

}  // namespace tarnwick
