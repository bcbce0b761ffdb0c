#include "hexreader/row_table.h"

#include <algorithm>
#include <cstring>

#include "hexreader/line_source.h"

namespace tarnwick::hexreader {
namespace {

// The two bounded reads of one row: the record head, then the data text.
constexpr std::size_t head_length = 9;
constexpr std::size_t row_length = 100;
// Digits of the record checksum that end every data text.
constexpr std::size_t checksum_digits = 2;
// Bytes one iteration may look at: a head, a row and their line ends, each CR LF at most.
constexpr std::size_t iteration_span = head_length + 2 + row_length + 2;

// Fills the table row by row. The row count lives here, not in the table, so the scanning
// loop keeps it in a register; the table gets it when the reading ends.
class row_builder {
 public:
  row_builder(row_table& table, std::size_t max_text, char row_end)
      : table_(table), max_text_(max_text), row_end_(row_end) {
    // Room for a typical program at once: growing the text would copy it over and over.
    table.text.reserve(std::min(max_text, std::size_t{64} * 1024));
  }
  row_builder(const row_builder&) = delete;
  row_builder& operator=(const row_builder&) = delete;
  ~row_builder() { table_.rows += rows_; }

  // Counts a row that is empty as read.
  void add_empty() { ++rows_; }

  // Adds one row read as `len` characters at `row`, where no zero byte comes before
  // `first_zero`. False if the text would pass the limit.
  bool add(const char* row, std::size_t len, const char* first_zero) {
    ++rows_;
    if (len <= checksum_digits) return true;
    const std::size_t m = row + len > first_zero
                              ? static_cast<std::size_t>(std::find(row, row + len, '\0') - row)
                              : len;
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

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end) {
  line_source lines(in);
  row_builder rows(table, max_text, row_end);
  char head[head_length];
  char row[row_length];
  while (!lines.at_end()) {
    // Iterations lying wholly inside the block read so far are scanned in place, by the
    // same rules as line_source::read_line: a CR LF is one line end.
    const std::string_view block = lines.buffered();
    if (block.size() > iteration_span) {
      const char* p = block.data();
      const char* const stop = p + block.size() - iteration_span;
      const char* const first_zero = lines.first_zero();
      while (p < stop) {
        for (const char* const head_end = p + head_length; p != head_end; ++p) {
          if (*p == '\n') {
            ++p;
            break;
          }
          if (*p == '\r' && p[1] == '\n') {
            p += 2;
            break;
          }
        }
        if (*p == '\n') {
          ++p;
          rows.add_empty();
          continue;
        }
        const char* const row = p;
        std::size_t len = row_length;
        if (const auto* lf = static_cast<const char*>(std::memchr(p, '\n', row_length))) {
          len = static_cast<std::size_t>(lf - p);
          if (row[len - 1] == '\r') --len;
          p = lf + 1;
        } else if (p[row_length - 1] == '\r' && p[row_length] == '\n') {
          len = row_length - 1;
          p += row_length + 1;
        } else {
          p += row_length;
        }
        if (!rows.add(row, len, first_zero)) return read_status::too_large;
      }
      lines.consume(static_cast<std::size_t>(p - block.data()));
    }
    // Near the end of the block, one iteration through the general reads, which refill it.
    lines.read_line(head, head_length);
    const std::size_t taken = lines.read_line(row, row_length);
    if (!rows.add(row, taken, row)) return read_status::too_large;
  }
  return lines.read_failed() ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick::hexreader
