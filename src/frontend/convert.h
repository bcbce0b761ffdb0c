// The whole conversion in memory: Intel HEX text in, the bytes of a program file out.
#pragma once

#include <string>
#include <string_view>

#include "hexreader/byte_source.h"
#include "hexreader/row_table.h"

namespace tarnwick::frontend {

// The complete bytes of a program file, or why there are none.
struct conversion {
  hexreader::read_status status = hexreader::read_status::ok;
  bool not_intel_hex = false;     // text without one record line, refused: no image
  std::string image;              // empty unless status is ok and the text is Intel HEX
  hexreader::file_faults faults;  // what the lines hold that will not make the program they claim
};

// Converts the Intel HEX text read from `in` into the program file named `output_name`,
// stamped with `time_text`. Pure: touches nothing but `in`.
conversion convert(hexreader::byte_source& in, std::string_view output_name,
                   std::string_view time_text);

}  // namespace tarnwick::frontend
