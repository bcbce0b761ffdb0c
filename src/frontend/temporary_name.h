// The name of the temporary file an output is written to before it takes the output's name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick::frontend {

// `.BASE.tarnwick-` and eight random letters or digits, hidden where a leading dot hides
// files, and naming the output BASE it belongs to, so that one left by a killed run says
// whose it is. With an empty `output_base` it is the short form, `.tarnwick-` and the eight,
// for an output whose name leaves no room. Each call advances `seed`.
std::string temporary_name(std::string_view output_base, std::uint64_t& seed);

// What one try to create a temporary file under a name came to.
enum class creation { created, exists, failed };

// Tries temporary names for the output `output_base`, starting from `seed`, with `create`
// until it makes a file: a new name after one that exists already, the short form after any
// other failure (most likely too long a name), and no more after the short form fails or
// after 100 tries. True when `create` made a file; otherwise the platform's error is the one
// the last try left.
bool create_temporary(std::string_view output_base, std::uint64_t seed,
                      const std::function<creation(const std::string& name)>& create);

}  // namespace tarnwick::frontend
