#include "hexreader/row_table.h"

#include <cstring>

#include "hexreader/line_source.h"

namespace tarnwick {
namespace {

// The two bounded reads of one row: the record head, then the data text.
constexpr std::size_t head_length = 9;
constexpr std::size_t row_length = 100;
// Digits of the record checksum that end every data text.
constexpr std::size_t checksum_digits = 2;

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text) {
  line_source lines(in);
  char head[head_length];
  char row[row_length];
  while (!lines.at_end()) {
    lines.read_line(head, head_length);
    const std::size_t taken = lines.read_line(row, row_length);
    ++table.rows;
    const std::size_t m = strnlen(row, taken);
    if (m <= checksum_digits) continue;
    const std::size_t kept = m - checksum_digits;
    if (table.text.size() + kept + 1 > max_text) return read_status::too_large;
    table.text.append(row, kept);
    table.text.push_back('\0');
    ++table.non_empty;
    table.chars += kept;
  }
  return lines.read_failed() ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick
