#include "frontend/convert.h"

#include "ti86/program_file.h"
#include "ti86/variable_name.h"

namespace tarnwick::frontend {

conversion convert(hexreader::byte_source& in, std::string_view output_name,
                   std::string_view time_text) {
  conversion result;
  // The rows are read into the file itself, after its start.
  hexreader::row_table table;
  ti86::write_header(table.text, time_text);
  ti86::begin_program(table.text);
  result.status = hexreader::read_rows(in, table, ti86::max_row_text, ti86::line_separator);
  if (result.status != hexreader::read_status::ok) return result;
  result.faults = table.faults;
  // Text with no record in it is something else named by mistake, an assembly source or a
  // binary, whose program would crash the calculator; an empty file, or one of blank lines
  // alone, is only an empty program.
  result.not_intel_hex =
      !table.faults.any_record && table.faults[hexreader::fault::not_record].lines > 0;
  if (result.not_intel_hex) return result;
  ti86::write_program(table.text, ti86::make_variable_name(output_name));
  result.image = std::move(table.text);
  return result;
}

}  // namespace tarnwick::frontend
