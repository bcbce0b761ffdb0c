// The local time on POSIX systems.
#pragma once

#include <ctime>

namespace tarnwick::frontend::posix {

// The local date and time now, in the time zone TZ names, or the system's.
std::tm local_time_now();

}  // namespace tarnwick::frontend::posix
