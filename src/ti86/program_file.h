// Writing the TI-86 program file: the header first, the program after the input is read,
// into the same string, so that the program's rows are never copied.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ti86/file_format.h"
#include "ti86/variable_name.h"

namespace tarnwick::ti86 {

// The most row text (rows with their separators) a program can carry: each separator but the
// last stays in the body, whose fixed start takes the rest.
inline constexpr std::size_t max_row_text = max_program_length - (body_start.size() - 1);

// Where the rows start: after the header, D, the variable entry and the body's fixed start.
inline constexpr std::size_t rows_offset =
    header_length + 2 + variable_entry_length + body_start.size();

// Appends the 53-byte header: signature, marker and the comment holding `time_text`.
void write_header(std::string& out, std::string_view time_text);

// Appends, after the header, room for D and the variable entry, then the body's fixed start.
// The rows follow, each with a line_separator after it.
void begin_program(std::string& file);

// Completes `file`, which holds the header, begin_program's bytes and then at most
// max_row_text bytes of rows: fills in D and the variable entry, drops the last separator and
// appends the checksum.
void write_program(std::string& file, const variable_name& name);

}  // namespace tarnwick::ti86
