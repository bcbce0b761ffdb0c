// The bytes and lines the tests expect, each written once: the worked example t.hex and its
// file, the header the fixed clock gives and the lines of a conversion (the sample records are
// in sample_records.h).
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/messages.h"
#include "sample_records.h"
#include "test_support.h"
#include "ti86/time_text.h"

namespace tarnwick::testing {

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
