// Encoding of the file's numbers: 16-bit unsigned words, low byte first.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::ti86 {

// Appends `value` to `out` as two bytes, low byte first.
inline void put_word(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace tarnwick::ti86
