// The page's way into the converter: plain C functions over the core the program uses. The
// page converts one file at a time and reads the result back before the next.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "frontend/convert.h"
#include "frontend/messages.h"
#include "frontend/output_name.h"
#include "frontend/version.h"
#include "ti86/file_format.h"
#include "ti86/time_text.h"
#include "ti86/variable_name.h"

namespace {

namespace frontend = tarnwick::frontend;

// Stands for the input's name in the messages the page gets, so that the page can set the
// name apart from the text around it. No shown name holds it: control characters show as '?'.
constexpr char name_mark[] = "\x01";

// The last file handled: its names, and either its image or the message refusing it.
struct page_result {
  std::string shown_name;
  std::string output_name;
  std::string calculator_name;
  std::string image;
  std::string message;
  std::string reason;  // the program's words for why, where it is one of its own refusals
  std::string warning;
};
page_result last;

// Starts the result for the file `name`, with the names the program would give it.
void start(const char* name) {
  last = page_result{};
  last.shown_name = frontend::shown_name(name);
  last.output_name = frontend::make_output_name(name, frontend::posix_separators);
  const tarnwick::ti86::variable_name variable =
      tarnwick::ti86::make_variable_name(last.output_name);
  last.calculator_name.assign(variable.begin(), std::find(variable.begin(), variable.end(), '\0'));
}

}  // namespace

extern "C" {

// Converts the `size` bytes at `data`, the content of the file `name` (UTF-8), stamped with the
// local time given as JavaScript's Date gives it (full year, month 0-11, weekday 0 = Sunday).
// Returns 1 when there is an image, 0 when there is a message instead.
EMSCRIPTEN_KEEPALIVE int tarnwick_convert(const char* name, const char* data, std::size_t size,
                                          int year, int month, int day, int hours, int minutes,
                                          int seconds, int weekday) {
  start(name);
  // The page knows files by name alone, so only the name can show that the output would be
  // the input: the program's rule for that, with its message.
  if (frontend::same_name_apart_from_case(name, last.output_name)) {
    last.message = frontend::overwrite_message(name_mark);
    last.reason = frontend::own_reason(frontend::failure::cause::same_file);
    return 0;
  }
  const std::tm local =
      tarnwick::ti86::calendar_time(year, month + 1, day, hours, minutes, seconds, weekday);
  const std::string_view text(data, size);
  tarnwick::hexreader::memory_source input(text);
  frontend::conversion result =
      frontend::convert(input, last.output_name, tarnwick::ti86::format_time_text(local));
  last.image = std::move(result.image);
  if (result.status != tarnwick::hexreader::read_status::ok) {
    last.message = frontend::failure_message(result.status, name_mark);
    // Memory never fails a read: the one refusal here is the size.
    last.reason = frontend::own_reason(frontend::failure::cause::too_large);
    return 0;
  }
  if (result.not_intel_hex) {
    last.message = frontend::not_intel_hex_message(name_mark);
    last.reason = frontend::own_reason(frontend::failure::cause::not_intel_hex);
    return 0;
  }
  for (const std::string& line : frontend::warning_lines(result.faults, name_mark)) {
    last.warning += (last.warning.empty() ? "" : "\n") + line;
  }
  return 1;
}

// Records that the browser could not read the file `name`, as a read error.
EMSCRIPTEN_KEEPALIVE void tarnwick_unreadable(const char* name) {
  start(name);
  last.message = frontend::failure_message(tarnwick::hexreader::read_status::read_error, name_mark);
}

// The mark that stands for the name in the message and the warning.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_name_mark() {
  return name_mark;
}

// The last file's name as the messages show it, UTF-8.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_shown_name() {
  return last.shown_name.c_str();
}

// The last file's output name, UTF-8.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_output_name() {
  return last.output_name.c_str();
}

// The name the program has on the calculator, without its padding.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_calculator_name() {
  return last.calculator_name.c_str();
}

// The message refusing the last file, UTF-8; empty when it was converted.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_message() {
  return last.message.c_str();
}

// Why the last file was refused, UTF-8; empty when it was converted or the reason is unknown.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_reason() {
  return last.reason.c_str();
}

// The warnings for the last file, one a line, as the program shows them; empty when none.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_warning() {
  return last.warning.c_str();
}

// The bytes of the last file's program file and their count.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_image() {
  return last.image.data();
}
EMSCRIPTEN_KEEPALIVE std::size_t tarnwick_image_size() {
  return last.image.size();
}

// The length of the last file's program, and the largest the format holds.
EMSCRIPTEN_KEEPALIVE std::size_t tarnwick_program_length() {
  return last.image.empty() ? 0 : last.image.size() - tarnwick::ti86::file_overhead;
}
EMSCRIPTEN_KEEPALIVE std::size_t tarnwick_max_program_length() {
  return tarnwick::ti86::max_program_length;
}

// The program's version.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_version() {
  static const std::string version(frontend::version);
  return version.c_str();
}

}  // extern "C"
