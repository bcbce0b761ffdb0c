#include "frontend/messages.h"

namespace tarnwick {

std::string failure_message(read_status status, std::string_view name) {
  switch (status) {
    case read_status::too_large:
      return "Error converting " + std::string(name) + ": program too large!";
    case read_status::read_error:
      return "Error reading " + std::string(name) + "!";
    case read_status::ok:
      break;
  }
  return {};
}

}  // namespace tarnwick
