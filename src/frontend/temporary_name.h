// The name of the temporary file an output is written to before it takes the output's name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::frontend {

// `.BASE.tarnwick-` and eight random letters or digits, hidden where a leading dot hides
// files, and naming the output BASE it belongs to, so that one left by a killed run says
// whose it is. With an empty `output_base` it is the short form, `.tarnwick-` and the eight,
// for an output whose name leaves no room. Each call advances `seed`.
std::string temporary_name(std::string_view output_base, std::uint64_t& seed);

}  // namespace tarnwick::frontend
