// The local time on Windows.
#pragma once

#include <ctime>

namespace tarnwick::frontend::windows {

// The local date and time now, in the system's time zone.
std::tm local_time_now();

}  // namespace tarnwick::frontend::windows
