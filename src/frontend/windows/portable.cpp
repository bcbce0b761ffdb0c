// The Windows front end's pure pieces, with no call to Windows.
#include "frontend/utf8.h"
#include "frontend/windows/platform.h"

namespace tarnwick::frontend::windows {
namespace {

// The Windows virtual-key codes the key wait names.
namespace vk {
constexpr std::uint16_t page_up = 0x21, down = 0x28, insert = 0x2d, del = 0x2e, f1 = 0x70,
                        f12 = 0x7b;
}  // namespace vk

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

bool ends_key_wait(const input_record& record) {
  if (record.kind != input_kind::key || !record.key_down) return false;
  if (record.character != 0) return true;
  const std::uint16_t key = record.virtual_key;
  // Page Up, Page Down, End, Home and the four arrows have the codes from page_up to down.
  return (key >= vk::page_up && key <= vk::down) || key == vk::insert || key == vk::del ||
         (key >= vk::f1 && key <= vk::f12);
}

bool console_window_is_own(std::size_t console_processes, bool output_is_console) {
  // A shell that started the program shares its console and keeps the window open; no
  // console at all counts no process.
  return console_processes == 1 && output_is_console;
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
    const std::size_t length = utf8::decode(text, c);
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

}  // namespace tarnwick::frontend::windows
