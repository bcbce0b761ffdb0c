// Writing the TI-86 program file: the header first, the program after the input is read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "hexreader/row_table.h"
#include "ti86/file_format.h"
#include "ti86/variable_name.h"

namespace tarnwick::ti86 {

// The most row text (rows with their zero bytes) a program can carry: each zero byte but
// the last becomes a separator, and the body's fixed start takes the rest.
inline constexpr std::size_t max_row_text = max_program_length - (body_start.size() - 1);

// The program body's length P for `table`.
std::size_t program_length(const hexreader::row_table& table);

// Appends the 53-byte header: signature, marker and the comment holding `time_text`.
void write_header(std::string& out, std::string_view time_text);

// Appends D, the data section (variable entry and program body) and its checksum.
// `table.text` must be read with line_separator as its row end, and be at most max_row_text
// bytes.
void write_program(std::string& out, const hexreader::row_table& table, const variable_name& name);

}  // namespace tarnwick::ti86
