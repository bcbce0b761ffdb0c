#include "frontend/messages.h"

#include <cstddef>

#include "frontend/wide_text.h"

namespace tarnwick {
namespace {

std::string converting_error(std::string_view name, std::string_view reason) {
  return "Error converting " + std::string(name) + ": " + std::string(reason) + "!";
}

}  // namespace

std::string shown_name(std::string_view name) {
  std::string shown;
  shown.reserve(name.size());
  while (!name.empty()) {
    char32_t c = 0;
    const std::size_t length = decode_utf8(name, c);
    const std::size_t taken = length == 0 ? 1 : length;
    const bool control = length != 0 && (c < 0x20 || (c >= 0x7f && c <= 0x9f));
    if (control) {
      shown += '?';
    } else {
      shown += name.substr(0, taken);
    }
    name.remove_prefix(taken);
  }
  return shown;
}

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

std::string out_of_memory_message(std::string_view name) {
  return converting_error(name, "out of memory");
}

}  // namespace tarnwick
