#include "driver_support.h"

#include <gtest/gtest.h>

#include "frontend/driver.h"

namespace tarnwick::testing {

std::tm fixed_clock() {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = 4;
  t.tm_min = 9;
  t.tm_sec = 3;
  t.tm_wday = 1;
  return t;
}

std::vector<std::string> run_with(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"tarnwick"};
  for (const auto& a : args) argv.push_back(a.c_str());
  recording_console con;
  EXPECT_EQ(run(static_cast<int>(argv.size()), argv.data(), con, fixed_clock), 0);
  return con.events;
}

std::vector<std::string> converted(const std::string& in, const std::string& out,
                                   const std::string& last) {
  return {"<clear>", banner() + "\n", "Converting " + in + "\n", "Outputting " + out + "\n", last};
}

std::string fixed_header() {
  return std::string("**TI86**\x1A\n\0", 11) + std::string(fixed_time) + std::string(18, '\0');
}

}  // namespace tarnwick::testing
