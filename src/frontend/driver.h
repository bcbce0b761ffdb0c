// The run of the program: the console dialogue and the order of the work.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "frontend/console.h"
#include "hexreader/byte_source.h"
#include "hexreader/row_table.h"

namespace tarnwick {

// The complete bytes of a program file, or why there are none.
struct conversion {
  read_status status = read_status::ok;
  std::string image;  // empty unless status is ok
};

// Converts the Intel HEX text read from `in` into the program file named `output_name`,
// stamped with `time_text`. Pure: touches nothing but `in`.
conversion convert(byte_source& in, std::string_view output_name, std::string_view time_text);

// Gives the local time of the conversion.
using local_clock = std::function<std::tm()>;

// Runs the program on its command line; the console and the clock are the caller's.
// Files are read and written directly. The exit status: always 0.
int run(int argc, const char* const argv[], console& con, const local_clock& now);

}  // namespace tarnwick
