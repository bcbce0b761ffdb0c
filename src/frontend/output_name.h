// The output file's name, derived from the input's.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::frontend {

// The characters that end a folder's name in a path: POSIX's, and Windows' with its drive
// colon.
inline constexpr std::string_view posix_separators = "/";
inline constexpr std::string_view windows_separators = "/\\:";

// The input name less its last four characters (its extension, unexamined), plus ".86p".
// Characters are code points where the name is valid UTF-8 and bytes otherwise, and the cut
// stops at the last of `separators`, so the output lands next to the input.
std::string make_output_name(std::string_view input_name, std::string_view separators);

// True when the two names differ at most in the case of ASCII letters, as a case-folding
// file system would take them for one file.
bool same_name_apart_from_case(std::string_view a, std::string_view b);

}  // namespace tarnwick::frontend
