#include "ti86/time_text.h"

#include <string_view>

namespace tarnwick::ti86 {
namespace {

constexpr std::string_view day_names = "SunMonTueWedThuFriSat";
constexpr std::string_view month_names = "JanFebMarAprMayJunJulAugSepOctNovDec";

// Appends `value` in `digits` decimal digits, zero-padded.
void put_decimal(std::string& out, long long value, int digits) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out += text;
}

bool in_range(long long value, long long lowest, long long highest) {
  return value >= lowest && value <= highest;
}

// True when each field of `t` is in its range (a leap second included) and the year has at
// most four digits, so that none can index past the name tables or print a minus sign.
bool fits_the_form(const std::tm& t) {
  return in_range(t.tm_wday, 0, 6) && in_range(t.tm_mon, 0, 11) && in_range(t.tm_mday, 1, 31) &&
         in_range(t.tm_hour, 0, 23) && in_range(t.tm_min, 0, 59) && in_range(t.tm_sec, 0, 60) &&
         in_range(1900LL + t.tm_year, 0, 9999);
}

}  // namespace

std::string format_time_text(const std::optional<std::tm>& local) {
  if (!local || !fits_the_form(*local)) return std::string(unknown_time_text);
  std::string out;
  out.reserve(unknown_time_text.size());
  out += day_names.substr(static_cast<std::size_t>(local->tm_wday) * 3, 3);
  out += ' ';
  out += month_names.substr(static_cast<std::size_t>(local->tm_mon) * 3, 3);
  out += ' ';
  put_decimal(out, local->tm_mday, 2);
  out += ' ';
  put_decimal(out, local->tm_hour, 2);
  out += ':';
  put_decimal(out, local->tm_min, 2);
  out += ':';
  put_decimal(out, local->tm_sec, 2);
  out += ' ';
  put_decimal(out, 1900LL + local->tm_year, 4);
  return out;
}

std::tm calendar_time(int year, int month, int day, int hour, int minute, int second, int weekday) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_wday = weekday;
  t.tm_isdst = -1;
  return t;
}

}  // namespace tarnwick::ti86
