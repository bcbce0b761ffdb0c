#include "frontend/windows/clock.h"

#include <windows.h>

#include "ti86/time_text.h"

namespace tarnwick::frontend::windows {

std::optional<std::tm> local_time_now() {
  // The system's own local time; the C library's would follow a TZ variable instead.
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return ti86::calendar_time(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                             now.wDayOfWeek);
}

}  // namespace tarnwick::frontend::windows
