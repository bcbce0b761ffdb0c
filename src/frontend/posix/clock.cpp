#include "frontend/posix/clock.h"

#include <time.h>

namespace tarnwick::frontend::posix {

std::tm local_time_now() {
  const std::time_t now = std::time(nullptr);
  // localtime_r need not look at TZ; tzset makes sure it is honoured.
  ::tzset();
  std::tm local{};
  ::localtime_r(&now, &local);
  return local;
}

}  // namespace tarnwick::frontend::posix
