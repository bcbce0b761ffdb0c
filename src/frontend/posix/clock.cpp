#include "frontend/posix/clock.h"

#include <time.h>

namespace tarnwick::frontend::posix {

std::optional<std::tm> local_time_now() {
  const std::time_t now = std::time(nullptr);
  // localtime_r need not look at TZ; tzset makes sure it is honoured.
  ::tzset();
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return std::nullopt;
  return local;
}

}  // namespace tarnwick::frontend::posix
