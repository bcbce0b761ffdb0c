// The bytes and lines the tests expect, each written once: the worked example t.hex and its
// file, the sample records, the header the fixed clock gives and the lines of a conversion.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/messages.h"
#include "test_support.h"
#include "ti86/time_text.h"

namespace tarnwick::testing {

// One record of 3 data bytes, and the end-of-file record.
inline const std::string rec3 = ":03000000010203F7";
inline const std::string end_record = ":00000001FF";

// One data record of 16 bytes, and its 32 digits.
inline const std::string data32 = "214601360121470136007EFE09D21901";
inline const std::string rec16 = ":10000000" + data32 + "41";
// A whole file of that record, which converts without a warning.
inline const std::string file16 = rec16 + "\n" + end_record + "\n";

// The record of `type` at `address` carrying the bytes `data` (hex digits, any case), with
// its checksum.
inline std::string record(unsigned type, unsigned address, const std::string& data) {
  unsigned sum = static_cast<unsigned>(data.size() / 2) + (address >> 8) + address + type;
  for (std::size_t i = 0; i < data.size(); i += 2)
    sum += std::stoul(data.substr(i, 2), nullptr, 16);
  // The head has room for any unsigned in each field, as GCC's check asks on 32-bit targets.
  char head[1 + 3 * 8 + 1], checksum[3];
  (void)std::snprintf(head, sizeof head, ":%02X%04X%02X", static_cast<unsigned>(data.size() / 2),
                      address & 0xFFFF, type);
  (void)std::snprintf(checksum, sizeof checksum, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
  return head + data + checksum;
}

// A whole file, CR LF: data records of `sizes` bytes (the 16 of data32 over and over), one
// after the other from address 0 on, and the end-of-file record. No line of it warns.
inline std::string hex_file(const std::vector<std::size_t>& sizes) {
  std::string text;
  unsigned address = 0;
  for (const std::size_t size : sizes) {
    std::string data;
    while (data.size() < 2 * size) data += data32;
    text += record(0, address, data.substr(0, 2 * size)) + "\r\n";
    address += static_cast<unsigned>(size);
  }
  return text + end_record + "\r\n";
}

// The worked example: t.hex with CR LF line ends, and the bytes of t.86p from offset 53 on
// (L = 1, S = 6, P = 15, V = 17, D = 33).
inline const std::string t_hex = rec3 + "\r\n" + end_record + "\r\n";
inline const std::string t_86p_from_53 = from_hex(
    "21 00 0C 00 11 00 12 08 74 2E 38 36 70 00 00 00 11 00 0F 00"
    "00 41 73 6D 50 72 67 6D D6 30 31 30 32 30 33 8A 06");

// The clock that stands still, and the time text it gives.
inline std::tm fixed_clock() {
  return ti86::calendar_time(2026, 12, 7, 4, 9, 3, 1);
}
inline constexpr std::string_view fixed_time = "Mon Dec 07 04:09:03 2026";

// The 53 bytes every file made with the fixed clock starts with.
inline std::string fixed_header() {
  return std::string("**TI86**\x1A\n\0", 11) + std::string(fixed_time) + std::string(18, '\0');
}

// What the console shows of a conversion of `in` into `out`, `last` being its final line.
inline std::vector<std::string> converted(const std::string& in, const std::string& out,
                                          const std::string& last = "Success!") {
  return {"<clear>", frontend::banner() + "\n", "Converting " + in + "\n",
          "Outputting " + out + "\n", last};
}

}  // namespace tarnwick::testing
