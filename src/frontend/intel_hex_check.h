// A first look at a file's text, for the page to warn about what is no Intel HEX at all.
#pragma once

#include <string_view>

namespace tarnwick::frontend {

// True when a line of `text`, as far as the converter reads it, starts with ':'.
bool looks_like_intel_hex(std::string_view text);

}  // namespace tarnwick::frontend
