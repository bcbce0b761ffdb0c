#include "frontend/intel_hex_check.h"

#include <cstddef>

namespace tarnwick::frontend {

bool looks_like_intel_hex(std::string_view text) {
  // The converter reads nothing after a Ctrl-Z, and a lone CR ends no line.
  text = text.substr(0, text.find('\x1a'));
  std::size_t start = 0;
  while (start < text.size()) {
    if (text[start] == ':') return true;
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
  return false;
}

}  // namespace tarnwick::frontend
