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
  // A name that is not UTF-8 is shown byte by byte, as an 8-bit terminal reads it, where the
  // bytes 0x80-0x9F are the C1 controls themselves (0x9B is CSI, as ESC [ is).
  const bool bytes = !text::is_valid_utf8(name);
  std::string shown;
  shown.reserve(name.size());
  while (!name.empty()) {
    char32_t c = static_cast<unsigned char>(name[0]);
    const std::size_t taken = bytes ? 1 : text::decode_utf8(name, c);
    const bool control = c < 0x20 || (c >= 0x7f && c <= 0x9f);
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

std::string not_intel_hex_warning(std::string_view name) {
  return concat("Warning: ", name,
                " does not look like Intel HEX: no line starts with ':'. Running the program "
                "made from it may crash the calculator.");
}

}  // namespace tarnwick::frontend
