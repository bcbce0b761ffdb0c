#include <windows.h>

#include "frontend/clock.h"

namespace tarnwick {

std::tm local_time_now() {
  // The system's own local time; the C library's would follow a TZ variable instead.
  SYSTEMTIME now{};
  GetLocalTime(&now);
  std::tm local{};
  local.tm_year = now.wYear - 1900;
  local.tm_mon = now.wMonth - 1;
  local.tm_mday = now.wDay;
  local.tm_hour = now.wHour;
  local.tm_min = now.wMinute;
  local.tm_sec = now.wSecond;
  local.tm_wday = now.wDayOfWeek;
  local.tm_isdst = -1;
  return local;
}

}  // namespace tarnwick
