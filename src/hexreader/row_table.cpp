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
// Bytes one iteration may look at: a head, a row and their line ends, each CR LF at most.
constexpr std::size_t iteration_span = head_length + 2 + row_length + 2;

// Fills the table row by row; counts live in locals so the scanning loop keeps them in
// registers.
class row_builder {
 public:
  row_builder(row_table& table, std::size_t max_text, char row_end)
      : table_(table), max_text_(max_text), row_end_(row_end) {}
  row_builder(const row_builder&) = delete;
  row_builder& operator=(const row_builder&) = delete;
  ~row_builder() { table_.rows += rows_; }

  // Adds one row read as `len` characters at `row`; false if the text would pass the limit.
  bool add(const char* row, std::size_t len) {
    ++rows_;
    if (len <= checksum_digits) return true;
    const std::size_t m = strnlen(row, len);
    if (m <= checksum_digits) return true;
    const std::size_t kept = m - checksum_digits;
    if (table_.text.size() + kept + 1 > max_text_) return false;
    table_.text.append(row, kept);
    table_.text.push_back(row_end_);
    ++table_.non_empty;
    table_.chars += kept;
    return true;
  }

 private:
  row_table& table_;
  std::size_t max_text_;
  char row_end_;
  std::uint64_t rows_ = 0;
};

// Reads one iteration in place from `p`, which has at least iteration_span bytes after it,
// following the same rules as line_source::read_line. Gives the position after it.
const char* read_in_place(const char* p, row_builder& rows, bool& fits) {
  std::size_t n = 0;
  while (n < head_length && p[n] != '\n' && !(p[n] == '\r' && p[n + 1] == '\n')) ++n;
  p += n;
  if (n < head_length) p += *p == '\r' ? 2 : 1;

  const char* const row = p;
  std::size_t len = 0;
  if (*p == '\n') {
    p += 1;
  } else if (const auto* lf = static_cast<const char*>(std::memchr(p, '\n', row_length))) {
    len = static_cast<std::size_t>(lf - p);
    if (row[len - 1] == '\r') --len;
    p = lf + 1;
  } else if (p[row_length - 1] == '\r' && p[row_length] == '\n') {
    len = row_length - 1;
    p += row_length + 1;
  } else {
    len = row_length;
    p += row_length;
  }
  fits = rows.add(row, len);
  return p;
}

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end) {
  line_source lines(in);
  row_builder rows(table, max_text, row_end);
  char head[head_length];
  char row[row_length];
  bool fits = true;
  while (!lines.at_end()) {
    // Iterations lying wholly inside the block read so far are scanned in place.
    const std::string_view block = lines.buffered();
    if (block.size() > iteration_span) {
      const char* p = block.data();
      const char* const stop = p + block.size() - iteration_span;
      while (p < stop && fits) p = read_in_place(p, rows, fits);
      lines.consume(static_cast<std::size_t>(p - block.data()));
      if (!fits) return read_status::too_large;
    }
    // Near the end of the block, one iteration through the general reads, which refill it.
    lines.read_line(head, head_length);
    const std::size_t taken = lines.read_line(row, row_length);
    if (!rows.add(row, taken)) return read_status::too_large;
  }
  return lines.read_failed() ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick
