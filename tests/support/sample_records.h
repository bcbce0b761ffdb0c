// The sample records and the Intel HEX files made of them, each written once; header-only and
// free of GoogleTest, so that the benchmarks share them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

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
// after the other from address 0 on, and the end-of-file record. No line of it warns, unless
// `at_zero` puts every record at address 0.
inline std::string hex_file(const std::vector<std::size_t>& sizes, bool at_zero = false) {
  std::string text;
  unsigned address = 0;
  for (const std::size_t size : sizes) {
    std::string data;
    while (data.size() < 2 * size) data += data32;
    text += record(0, address, data.substr(0, 2 * size)) + "\r\n";
    address += at_zero ? 0 : static_cast<unsigned>(size);
  }
  return text + end_record + "\r\n";
}

// The largest input: 1985 records whose body is exactly the largest a file holds (65517 bytes);
// `over`, 1986 records and one byte more.
inline std::string largest_input(bool over = false, bool at_zero = false) {
  std::vector<std::size_t> sizes(1984, 16);
  sizes.push_back(over ? 17 : 18);
  if (over) sizes.push_back(1);
  return hex_file(sizes, at_zero);
}

}  // namespace tarnwick::testing
