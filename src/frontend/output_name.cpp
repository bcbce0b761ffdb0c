#include "frontend/output_name.h"

#include <algorithm>
#include <cstddef>

#include "frontend/utf8.h"

namespace tarnwick::frontend {
namespace {

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string make_output_name(std::string_view input_name, std::string_view separators) {
  constexpr int extension_length = 4;
  const std::size_t last_separator = input_name.find_last_of(separators);
  const std::size_t base = last_separator == std::string_view::npos ? 0 : last_separator + 1;
  const bool by_code_point = utf8::is_valid(input_name);
  std::size_t kept = input_name.size();
  for (int removed = 0; removed < extension_length && kept > base; ++removed) {
    --kept;
    while (by_code_point && kept > base &&
           utf8::is_continuation(static_cast<unsigned char>(input_name[kept]))) {
      --kept;
    }
  }
  std::string name(input_name.substr(0, kept));
  name += ".86p";
  return name;
}

bool same_name_apart_from_case(std::string_view a, std::string_view b) {
  // The web page's C++ library has no std::ranges::equal.
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

}  // namespace tarnwick::frontend
