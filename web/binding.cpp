// The page's way into the converter: plain C functions over the core the program uses. The
// page converts one file at a time and reads the result back before the next.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "frontend/convert.h"
#include "frontend/messages.h"
#include "frontend/output_name.h"
#include "ti86/file_format.h"
#include "ti86/time_text.h"

namespace {

namespace frontend = tarnwick::frontend;

// The last file handled: its output name, and either its image or the message refusing it.
struct page_result {
  std::string output_name;
  std::string image;
  std::string message;
};
page_result last;

}  // namespace

extern "C" {

// Converts the `size` bytes at `data`, the content of the file `name` (UTF-8), stamped with the
// local time given as JavaScript's Date gives it (full year, month 0-11, weekday 0 = Sunday).
// Returns 1 when there is an image, 0 when there is a message instead.
EMSCRIPTEN_KEEPALIVE int tarnwick_convert(const char* name, const char* data, std::size_t size,
                                          int year, int month, int day, int hours, int minutes,
                                          int seconds, int weekday) {
  const std::tm local =
      tarnwick::ti86::calendar_time(year, month + 1, day, hours, minutes, seconds, weekday);
  last.output_name = frontend::make_output_name(name, frontend::posix_separators);
  tarnwick::hexreader::memory_source input(std::string_view(data, size));
  frontend::conversion result =
      frontend::convert(input, last.output_name, tarnwick::ti86::format_time_text(local));
  last.image = std::move(result.image);
  last.message = frontend::failure_message(result.status, frontend::shown_name(name));
  return result.status == tarnwick::hexreader::read_status::ok ? 1 : 0;
}

// Records that the browser could not read the file `name`, as a read error.
EMSCRIPTEN_KEEPALIVE void tarnwick_unreadable(const char* name) {
  last.output_name = frontend::make_output_name(name, frontend::posix_separators);
  last.image.clear();
  last.message = frontend::failure_message(tarnwick::hexreader::read_status::read_error,
                                           frontend::shown_name(name));
}

// The last file's output name, UTF-8.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_output_name() {
  return last.output_name.c_str();
}

// The message refusing the last file, UTF-8; empty when it was converted.
EMSCRIPTEN_KEEPALIVE const char* tarnwick_message() {
  return last.message.c_str();
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

}  // extern "C"
