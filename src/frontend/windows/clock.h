// The local time on Windows.
#pragma once

#include <ctime>
#include <optional>

namespace tarnwick::frontend::windows {

// The local date and time now, in the system's time zone.
std::optional<std::tm> local_time_now();

}  // namespace tarnwick::frontend::windows
