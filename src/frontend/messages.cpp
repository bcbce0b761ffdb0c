#include "frontend/messages.h"

namespace tarnwick {
namespace {

std::string converting_error(std::string_view name, std::string_view reason) {
  return "Error converting " + std::string(name) + ": " + std::string(reason) + "!";
}

}  // namespace

std::string failure_message(read_status status, std::string_view name) {
  switch (status) {
    case read_status::too_large:
      return converting_error(name, "program too large");
    case read_status::read_error:
      return "Error reading " + std::string(name) + "!";
    case read_status::ok:
      break;
  }
  return {};
}

std::string overwrite_message(std::string_view name) {
  return converting_error(name, "output would overwrite the input");
}

}  // namespace tarnwick
