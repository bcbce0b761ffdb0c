#include "frontend/messages.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

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

std::string not_intel_hex_warning(std::string_view name) {
  return concat("Warning: ", name,
                " does not look like Intel HEX: no line starts with ':'. Running the program "
                "made from it may crash the calculator.");
}

namespace {

std::string hex_address(std::uint64_t address) {
  char text[24];
  (void)std::snprintf(text, sizeof text, "%04llX", static_cast<unsigned long long>(address));
  return text;
}

// What is wrong with a line of kind `f`, and what it does to the program.
std::string fault_text(hexreader::fault f, const hexreader::fault_lines& k) {
  using hexreader::fault;
  switch (f) {
    case fault::not_record:
      return "not an Intel HEX record; its characters after the ninth go into the program";
    case fault::malformed:
      return "a record whose characters are not all hex digits, or not as many as its byte "
             "count gives; what it puts in the program is not its data";
    case fault::bad_checksum:
      return "a record whose checksum is wrong; its data may be damaged";
    case fault::address_gap:
      return "data at address " + hex_address(k.found) + " does not follow on from the data " +
             "before it, which ends at " + hex_address(k.expected) +
             "; the program is put together without the gap, so the bytes from here on are not " +
             "where the assembler put them";
    case fault::high_base:
      return "an extended address record sets the base address " + hex_address(k.expected) +
             "; the data after it belongs there, not at the addresses its records name, and no " +
             "TI-86 program runs there";
    case fault::after_end:
      return "a record after the end-of-file record; it still goes into the program";
    case fault::no_end:
      return "no end-of-file record: the file may be cut short";
  }
  return {};
}

}  // namespace

std::vector<std::string> warning_lines(const hexreader::file_faults& faults,
                                       std::string_view name) {
  if (!faults.any_record) return {not_intel_hex_warning(name)};
  std::vector<std::pair<std::uint64_t, std::string>> found;
  for (std::size_t i = 0; i < hexreader::fault_kinds; ++i) {
    const hexreader::fault_lines& k = faults.kinds[i];
    if (k.lines == 0) continue;
    std::string line = "Warning: " + std::string(name) + " line " + std::to_string(k.first_line) +
                       ": " + fault_text(static_cast<hexreader::fault>(i), k);
    if (k.lines > 1) line += " (" + std::to_string(k.lines) + " lines in all)";
    found.emplace_back(k.first_line, std::move(line));
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> lines;
  for (auto& f : found) lines.push_back(std::move(f.second));
  return lines;
}

}  // namespace tarnwick::frontend
