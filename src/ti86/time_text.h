// The time stamp written into the file's comment.
#pragma once

#include <ctime>
#include <string>

namespace tarnwick::ti86 {

// Formats `local` as "Www Mmm DD hh:mm:ss YYYY", always 24 characters, with English names
// and a zero-padded day whatever the locale. A year outside 0-9999 keeps its last four digits.
std::string format_time_text(const std::tm& local);

// The date and time as the calendar gives them (the year in full, the month 1-12, the weekday
// 0-6 from Sunday) in the fields format_time_text reads, which count from 1900 and from 0.
std::tm calendar_time(int year, int month, int day, int hour, int minute, int second, int weekday);

}  // namespace tarnwick::ti86
