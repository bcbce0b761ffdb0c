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

// Keeps `value` in [0, n) so that a broken-down time with fields out of range cannot index
// past the name tables or print a minus sign.
long long wrap(long long value, long long n) {
  return ((value % n) + n) % n;
}

}  // namespace

std::string format_time_text(const std::tm& local) {
  std::string out;
  out.reserve(24);
  out += day_names.substr(static_cast<std::size_t>(wrap(local.tm_wday, 7)) * 3, 3);
  out += ' ';
  out += month_names.substr(static_cast<std::size_t>(wrap(local.tm_mon, 12)) * 3, 3);
  out += ' ';
  put_decimal(out, wrap(local.tm_mday, 100), 2);
  out += ' ';
  put_decimal(out, wrap(local.tm_hour, 100), 2);
  out += ':';
  put_decimal(out, wrap(local.tm_min, 100), 2);
  out += ':';
  put_decimal(out, wrap(local.tm_sec, 100), 2);
  out += ' ';
  put_decimal(out, wrap(1900LL + local.tm_year, 10000), 4);
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
