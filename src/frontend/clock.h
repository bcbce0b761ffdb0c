// The clock the program stamps its files with. One implementation per platform.
#pragma once

#include <ctime>

namespace tarnwick {

// The local date and time now, in the system's time zone (or the one TZ names, where the
// platform honours it).
std::tm local_time_now();

}  // namespace tarnwick
