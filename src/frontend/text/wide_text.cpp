#include "frontend/text/wide_text.h"

#include <cstddef>

namespace tarnwick::frontend::text {
namespace {

constexpr char32_t replacement = 0xfffd;

bool is_high_surrogate(char32_t c) {
  return c >= 0xd800 && c <= 0xdbff;
}

bool is_low_surrogate(char32_t c) {
  return c >= 0xdc00 && c <= 0xdfff;
}

void append_utf8(std::string& out, char32_t c) {
  const auto byte = [&out](char32_t b) { out += static_cast<char>(b); };
  if (c < 0x80) {
    byte(c);
  } else if (c < 0x800) {
    byte(0xc0 | c >> 6);
    byte(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    byte(0xe0 | c >> 12);
    byte(0x80 | (c >> 6 & 0x3f));
    byte(0x80 | (c & 0x3f));
  } else {
    byte(0xf0 | c >> 18);
    byte(0x80 | (c >> 12 & 0x3f));
    byte(0x80 | (c >> 6 & 0x3f));
    byte(0x80 | (c & 0x3f));
  }
}

void append_utf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xd800 + (c >> 10));
    out += static_cast<char16_t>(0xdc00 + (c & 0x3ff));
  }
}

}  // namespace

std::size_t decode_utf8(std::string_view text, char32_t& c) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  char32_t smallest = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  }
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    smallest = 0x80;
    c = lead & 0x1f;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    smallest = 0x800;
    c = lead & 0x0f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    smallest = 0x10000;
    c = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xc0) != 0x80) return 0;
    c = c << 6 | (next & 0x3f);
  }
  return c >= smallest && c <= 0x10ffff ? length : 0;
}

bool is_valid_utf8(std::string_view text) {
  while (!text.empty()) {
    char32_t c = 0;
    const std::size_t length = decode_utf8(text, c);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xd800) << 10) + (text[i + 1] - 0xdc00);
      ++i;
    }
    append_utf8(out, c);
  }
  return out;
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t c = 0;
    const std::size_t length = decode_utf8(text, c);
    append_utf16(out, length == 0 ? replacement : c);
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return out;
}

std::string crlf_line(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 4);
  for (const char c : text) {
    if (c == '\n') line += '\r';
    line += c;
  }
  line += "\r\n";
  return line;
}

std::u16string extended_length_path(std::u16string_view full_path) {
  if (full_path.starts_with(u"\\\\?\\") || full_path.starts_with(u"\\\\.\\")) {
    return std::u16string(full_path);
  }
  if (full_path.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + std::u16string(full_path.substr(2));
  return u"\\\\?\\" + std::u16string(full_path);
}

}  // namespace tarnwick::frontend::text
