// The row table: the data digits of every record line, kept as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hexreader/byte_source.h"

namespace tarnwick::hexreader {

// What the reader keeps of the input. Empty rows are only counted, never stored, so a file
// of any length costs memory only for the digits it carries.
struct row_table {
  std::uint64_t rows = 0;       // R: read iterations, one row each
  std::uint64_t non_empty = 0;  // L: rows whose data text is not empty
  std::uint64_t chars = 0;      // S: data characters kept over all rows
  // The non-empty rows in input order, each followed by the caller's row end byte. Its size
  // is L + S.
  std::string text;
};

enum class read_status {
  ok,          // the whole input was read
  too_large,   // `text` would pass the caller's limit; the rest of the input was not read
  read_error,  // the input could not be read to its end
};

// Reads the whole input into an empty `table`, each line as a 9-character record head that
// is skipped and a data text of up to 100 characters (ending at its first zero byte) less its
// last two (the record checksum). Each kept row is followed by `row_end` in `table.text`.
// Stops as soon as `table.text` would grow past `max_text` bytes.
read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end);

}  // namespace tarnwick::hexreader
