#include "frontend/messages.h"

#include <cstddef>

#include "frontend/text/wide_text.h"
#include "frontend/version.h"

namespace tarnwick::frontend {
namespace {

std::string converting_error(std::string_view name, std::string_view reason) {
  return "Error converting " + std::string(name) + ": " + std::string(reason) + "!";
}

std::string concat(std::string_view a, std::string_view b, std::string_view c = {}) {
  std::string text(a);
  text += b;
  text += c;
  return text;
}

}  // namespace

std::string shown_name(std::string_view name) {
  std::string shown;
  shown.reserve(name.size());
  while (!name.empty()) {
    char32_t c = 0;
    const std::size_t length = text::decode_utf8(name, c);
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

std::string banner() {
  return concat("- Tarnwick (", version, ") -");
}

std::string opening_error(std::string_view name) {
  return concat("Error opening ", name, "!");
}

std::string converting_line(std::string_view name) {
  return concat("Converting ", name);
}

std::string outputting_line(std::string_view output_name) {
  return concat("Outputting ", output_name);
}

std::string writing_error(std::string_view output_name) {
  return concat("Error writing ", output_name, "!");
}

std::string failure_message(hexreader::read_status status, std::string_view name) {
  switch (status) {
    case hexreader::read_status::too_large:
      return converting_error(name, "program too large");
    case hexreader::read_status::read_error:
      return concat("Error reading ", name, "!");
    case hexreader::read_status::ok:
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

std::string reason_line(std::string_view name, std::string_view reason) {
  return concat("tarnwick: ", name, concat(": ", reason));
}

std::string_view own_reason(failure::cause why) {
  switch (why) {
    case failure::cause::not_regular_file:
      return "not a regular file";
    case failure::cause::link_in_shared_folder:
      return "a link another user owns in a shared folder";
    case failure::cause::link_loop:
      return "a link loop";
    case failure::cause::same_file:
      return "the same file as the input";
    case failure::cause::output_changed:
      return "replaced by something else while the output was written";
    case failure::cause::too_large:
      return "larger than a .86p file can hold";
    case failure::cause::out_of_memory:
      return "not enough memory";
    case failure::cause::system:
      break;
  }
  return {};
}

std::string not_intel_hex_warning(std::string_view name) {
  return concat("Warning: ", name,
                " does not look like Intel HEX: no line starts with ':'. Running the program "
                "made from it may crash the calculator.");
}

}  // namespace tarnwick::frontend
