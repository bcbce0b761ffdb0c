#include "frontend/utf8.h"

namespace tarnwick::frontend::utf8 {

int sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead <= 0xdf) return 2;
  if (lead >= 0xe0 && lead <= 0xef) return 3;
  if (lead >= 0xf0 && lead <= 0xf4) return 4;
  return 0;
}

bool is_continuation(unsigned char byte) {
  return (byte & 0xc0) == 0x80;
}

std::size_t decode(std::string_view text, char32_t& c) {
  // The lead's own bits of the code point, and the smallest code point each length may carry:
  // anything less is an overlong form.
  constexpr unsigned char lead_bits[] = {0, 0x7f, 0x1f, 0x0f, 0x07};
  constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const auto lead = static_cast<unsigned char>(text[0]);
  const auto length = static_cast<std::size_t>(sequence_length(lead));
  if (length == 0 || text.size() < length) return 0;
  c = lead & lead_bits[length];
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if (!is_continuation(next)) return 0;
    c = c << 6 | (next & 0x3f);
  }
  return c >= smallest[length] && c <= 0x10ffff ? length : 0;
}

bool is_valid(std::string_view text) {
  while (!text.empty()) {
    char32_t c = 0;
    const std::size_t length = decode(text, c);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

}  // namespace tarnwick::frontend::utf8
