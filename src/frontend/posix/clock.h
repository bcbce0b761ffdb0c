// The local time on POSIX systems.
#pragma once

#include <ctime>
#include <optional>

namespace tarnwick::frontend::posix {

// The local date and time now, in the time zone TZ names, or the system's; nothing where the
// system cannot convert the clock's reading (a time past the largest year it holds).
std::optional<std::tm> local_time_now();

}  // namespace tarnwick::frontend::posix
