// The row table: the data digits of the record lines, and what will not make the program claimed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "hexreader/byte_source.h"

namespace tarnwick::hexreader {

// The kinds of line that warn, in the order of their checks. A record is a line starting with
// ':'; one of the right form has hex digits throughout, as many as its byte count gives.
enum class fault : unsigned char {
  not_record,    // a line that is neither a record nor blank
  malformed,     // a record not of the right form
  bad_checksum,  // a record of the right form whose bytes do not sum to zero
  address_gap,   // a data record not at the address where the previous one ended
  high_base,     // an extended address record setting a base other than zero
  after_end,     // a record after the end-of-file record
  no_end,        // no end-of-file record: its line is the last line
};
inline constexpr std::size_t fault_kinds = 7;

// One kind's findings: the first line with it (from 1; 0 when none), how many in all, and for
// address_gap the address expected and the address found, for high_base the base set.
struct fault_lines {
  std::uint64_t first_line = 0, lines = 0, expected = 0, found = 0;
};

struct file_faults {
  bool any_record = false;  // some line starts with ':'
  std::array<fault_lines, fault_kinds> kinds;
  const fault_lines& operator[](fault f) const { return kinds[static_cast<std::size_t>(f)]; }
};

// What the reader keeps of the input: empty rows are counted, never stored.
struct row_table {
  std::uint64_t rows = 0, non_empty = 0, chars = 0;  // lines read, rows kept, their characters
  // What the caller put there, then the rows kept in input order, each with the row end after.
  std::string text;
  file_faults faults;  // complete only when the whole input was read
};

enum class read_status {
  ok,          // the whole input was read
  too_large,   // `text` would pass the caller's limit; the rest of the input was not read
  read_error,  // the input could not be read to its end
};

// Reads the whole input, a Windows text stream (CR LF is one line end, a lone CR an ordinary
// character, Ctrl-Z ends the input), into `table`, whose counts start at zero. A line gives the
// characters after its first nine, cut at their first zero byte, less their last two (the record
// checksum); nothing if its first nine are a record head of a type other than 00. Each row kept
// goes to `table.text` with `row_end` after it, until the rows or a line would pass `max_text`.
read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end);

}  // namespace tarnwick::hexreader
