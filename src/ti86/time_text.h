// The time stamp written into the file's comment.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::ti86 {

// The stamp for a time that form cannot show: no reading at all, a year outside 0-9999 or a
// field out of its range. The start of 1970, as a clock that was never set shows.
inline constexpr std::string_view unknown_time_text = "Thu Jan 01 00:00:00 1970";

// Formats `local` as "Www Mmm DD hh:mm:ss YYYY", always 24 characters, with English names
// and a zero-padded day whatever the locale; unknown_time_text where it cannot.
std::string format_time_text(const std::optional<std::tm>& local);

// The date and time as the calendar gives them (the year in full, the month 1-12, the weekday
// 0-6 from Sunday) in the fields format_time_text reads, which count from 1900 and from 0.
std::tm calendar_time(int year, int month, int day, int hour, int minute, int second, int weekday);

}  // namespace tarnwick::ti86
