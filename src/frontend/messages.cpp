#include "frontend/messages.h"

#include <array>
#include <cstddef>
#include <cstdio>

#include "frontend/utf8.h"
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
  const bool bytes = !utf8::is_valid(name);
  std::string shown;
  shown.reserve(name.size());
  while (!name.empty()) {
    char32_t c = static_cast<unsigned char>(name[0]);
    const std::size_t taken = bytes ? 1 : utf8::decode(name, c);
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

std::string not_intel_hex_message(std::string_view name) {
  return converting_error(name, "not Intel HEX");
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
    case failure::cause::not_intel_hex:
      return "no line is an Intel HEX record; assemble the source to Intel HEX first (pasmo "
             "--hex prog.asm prog.hex) and convert the .hex file";
    case failure::cause::system:
      break;
  }
  return {};
}

std::string not_intel_hex_warning(std::string_view name) {
  return concat("Warning: ", name,
                " does not look like Intel HEX: no line starts with ':'. Running the program "
                "made from it may crash the calculator. Assemble again, and name the .hex file "
                "the assembler wrote.");
}

namespace {

std::string hex_address(std::uint64_t address) {
  char text[24];
  (void)std::snprintf(text, sizeof text, "%04llX", static_cast<unsigned long long>(address));
  return text;
}

// What is wrong with a line of kind `f`, and what it does to the program, after `out`.
void append_fault_text(std::string& out, hexreader::fault f, const hexreader::fault_lines& k) {
  using hexreader::fault;
  switch (f) {
    case fault::not_record:
      out += "not an Intel HEX record; its characters after the ninth go into the program";
      return;
    case fault::malformed:
      out +=
          "a record whose characters are not all hex digits, or not as many as its byte "
          "count gives; what it puts in the program is not its data";
      return;
    case fault::bad_checksum:
      out += "a record whose checksum is wrong; its data may be damaged";
      return;
    case fault::address_gap:
      out += "data at address ";
      out += hex_address(k.found);
      out += " does not follow on from the data before it, which ends at ";
      out += hex_address(k.expected);
      out +=
          "; the program is put together without the gap, so the bytes from here on are not "
          "where the assembler put them";
      return;
    case fault::high_base:
      out += "an extended address record sets the base address ";
      out += hex_address(k.expected);
      out +=
          "; the data after it belongs there, not at the addresses its records name, and no "
          "TI-86 program runs there";
      return;
    case fault::after_end:
      out += "a record after the end-of-file record; it still goes into the program";
      return;
    case fault::no_end:
      out += "no end-of-file record: the file may be cut short";
      return;
  }
}

// What to do about a line of kind `f`: a sentence that ends its warning.
std::string_view next_step(hexreader::fault f) {
  using hexreader::fault;
  switch (f) {
    case fault::not_record:
      return "Delete such lines, or make the HEX file again.";
    case fault::malformed:
    case fault::bad_checksum:
      return "The line was changed or damaged after the assembler wrote it: assemble again.";
    case fault::address_gap:
      return "Give the program one origin, or fill the gap when making the HEX file.";
    case fault::high_base:
      return "Assemble for the TI-86's memory (org 0D748h).";
    case fault::after_end:
      return "The file may be two files joined: make it again from one program.";
    case fault::no_end:
      return "Assemble or copy it again, whole.";
  }
  return {};
}

}  // namespace

std::vector<std::string> warning_lines(const hexreader::file_faults& faults,
                                       std::string_view name) {
  if (!faults.any_record) return {not_intel_hex_warning(name)};
  std::vector<std::string> lines;
  // The kinds found, each in turn the one whose first line is the earliest left.
  std::array<bool, hexreader::fault_kinds> told{};
  for (;;) {
    std::size_t next = hexreader::fault_kinds;
    for (std::size_t i = 0; i < hexreader::fault_kinds; ++i) {
      const hexreader::fault_lines& k = faults.kinds[i];
      if (k.lines > 0 && !told[i] &&
          (next == hexreader::fault_kinds || k.first_line < faults.kinds[next].first_line)) {
        next = i;
      }
    }
    if (next == hexreader::fault_kinds) return lines;
    told[next] = true;
    const hexreader::fault_lines& k = faults.kinds[next];
    std::string line = "Warning: ";
    line += name;
    line += " line ";
    line += std::to_string(k.first_line);
    line += ": ";
    append_fault_text(line, static_cast<hexreader::fault>(next), k);
    if (k.lines > 1) {
      line += " (";
      line += std::to_string(k.lines);
      line += " lines in all)";
    }
    line += ". ";
    line += next_step(static_cast<hexreader::fault>(next));
    lines.push_back(std::move(line));
  }
}

}  // namespace tarnwick::frontend
