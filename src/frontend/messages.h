// Every line the program writes, each text in this one place, for every front end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frontend/system.h"
#include "hexreader/row_table.h"

namespace tarnwick::frontend {

// `name` as the console shows it: each control character (bytes 0x00-0x1F and 0x7F, and
// U+0080-U+009F where the name is valid UTF-8, the bytes 0x80-0x9F where it is not) as `?`, so
// that no name can move the cursor, colour the text or forge a line.
std::string shown_name(std::string_view name);

// "- Tarnwick (VERSION) -", the first line of every run.
std::string banner();

// The two lines of the usage, shown when no file is named.
inline constexpr std::string_view usage_heading = "Proper usage:";
inline constexpr std::string_view usage_command = "\ttarnwick [filename(.hex)]";

// The outcome of each step. Names go in as they are to be shown.
std::string opening_error(std::string_view name);
std::string converting_line(std::string_view name);
std::string outputting_line(std::string_view output_name);
inline constexpr std::string_view success_line = "Success!";
std::string writing_error(std::string_view output_name);

// The one-line message for converting `name` that ended with `status`; empty for ok.
std::string failure_message(hexreader::read_status status, std::string_view name);

// The message refusing to convert `name` because its output would be the input file itself.
std::string overwrite_message(std::string_view name);

// The message refusing to convert `name`, text in which no line is an Intel HEX record.
std::string not_intel_hex_message(std::string_view name);

// The message for a conversion of `name` that ran out of memory.
std::string out_of_memory_message(std::string_view name);

// "tarnwick: NAME: REASON", the line on the error stream that follows each failure's message
// and says why it happened.
std::string reason_line(std::string_view name, std::string_view reason);

// The program's own words for a failure of its own; empty for an error the system reported,
// whose words are the system's.
std::string_view own_reason(failure::cause why);

// The last line where the program's window closes as it ends, before a key is waited for.
inline constexpr std::string_view close_window_line = "Press any key to close this window.";

// The warning for a file `name` with no line but blank ones, which gives an empty program.
std::string not_intel_hex_warning(std::string_view name);

// The warnings for the file `name` with `faults`, one line per kind, in the order of their
// first lines: "Warning: NAME line N: WHAT"; or the one for a file that is no Intel HEX at all.
std::vector<std::string> warning_lines(const hexreader::file_faults& faults, std::string_view name);

}  // namespace tarnwick::frontend
