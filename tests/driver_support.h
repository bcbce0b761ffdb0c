// The driver run in process, with a console that records and a clock that stands still.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/console.h"

namespace tarnwick::testing {

// Records what the driver shows, and the order of clearing, lines and the key wait.
class recording_console final : public console {
 public:
  void clear() override { events.push_back("<clear>"); }
  void write_line(std::string_view text) override { events.emplace_back(text); }
  void wait_key() override { events.push_back("<key>"); }
  std::vector<std::string> events;
};

// The time the fixed clock gives, as the file's time text.
inline constexpr std::string_view fixed_time = "Mon Dec 07 04:09:03 2026";
std::tm fixed_clock();

// What the console shows when `run` is given `args` (UTF-8) after the program's name.
std::vector<std::string> run_with(const std::vector<std::string>& args);

// What a conversion of `in` into `out` shows, `last` being its final line.
std::vector<std::string> converted(const std::string& in, const std::string& out,
                                   const std::string& last = "Success!");

// The 53 bytes every file made with the fixed clock starts with.
std::string fixed_header();

// One data record of 16 bytes, and its 32 digits.
inline const std::string data32 = "214601360121470136007EFE09D21901";
inline const std::string rec16 = ":10000000" + data32 + "5A";

}  // namespace tarnwick::testing
