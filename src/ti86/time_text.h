// The time stamp written into the file's comment.
#pragma once

#include <ctime>
#include <string>

namespace tarnwick::ti86 {

// Formats `local` as "Www Mmm DD hh:mm:ss YYYY", always 24 characters, with English names
// and a zero-padded day whatever the locale. A year outside 0-9999 keeps its last four digits.
std::string format_time_text(const std::tm& local);

}  // namespace tarnwick::ti86
