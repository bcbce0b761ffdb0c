#include "frontend/convert.h"

#include "ti86/program_file.h"
#include "ti86/variable_name.h"

namespace tarnwick::frontend {

conversion convert(hexreader::byte_source& in, std::string_view output_name,
                   std::string_view time_text) {
  conversion result;
  hexreader::row_table table;
  result.status = hexreader::read_rows(in, table, ti86::max_row_text, ti86::line_separator);
  if (result.status != hexreader::read_status::ok) return result;
  result.faults = table.faults;
  result.image.reserve(ti86::file_overhead + ti86::program_length(table));
  ti86::write_header(result.image, time_text);
  ti86::write_program(result.image, table, ti86::make_variable_name(output_name));
  return result;
}

}  // namespace tarnwick::frontend
