// Any bytes through read_rows: the table must be consistent in itself, equal a plain model of
// the README's reading rules, and not depend on how the input is cut into reads.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hexreader/byte_source.h"
#include "hexreader/row_table.h"

namespace tarnwick {
namespace {

using namespace hexreader;

using fuzz::check;

constexpr std::size_t no_limit = SIZE_MAX;

// The input as Windows text: everything before the first Ctrl-Z, less each CR before an LF.
std::string windows_text(std::string_view raw) {
  raw = raw.substr(0, raw.find('\x1A'));
  std::string text;
  text.reserve(raw.size());
  std::size_t from = 0;
  for (std::size_t cr = raw.find('\r'); cr != std::string_view::npos; cr = raw.find('\r', cr + 1)) {
    if (cr + 1 < raw.size() && raw[cr + 1] == '\n') {
      text.append(raw.substr(from, cr - from));
      from = cr + 1;
    }
  }
  text.append(raw.substr(from));
  return text;
}

// Bounded line reads over the whole text at once.
class model_lines {
 public:
  explicit model_lines(std::string_view text) : text_(text) {}

  // Up to `max` characters before the next line feed, which is consumed; running into the
  // end of the text before the limit ends the input.
  std::string_view read_line(std::size_t max) {
    if (at_end_) return {};
    const std::string_view rest = text_.substr(pos_, max);
    const std::size_t lf = rest.find('\n');
    if (lf != std::string_view::npos) {
      pos_ += lf + 1;
      return rest.substr(0, lf);
    }
    if (rest.size() < max) at_end_ = true;
    pos_ += rest.size();
    return rest;
  }

  bool at_end() const { return at_end_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool at_end_ = false;
};

// The table the README's rules give for `raw`, read without a limit.
row_table model_rows(std::string_view raw) {
  const std::string text = windows_text(raw);
  model_lines lines(text);
  row_table table;
  while (!lines.at_end()) {
    lines.read_line(9);
    std::string_view row = lines.read_line(100);
    ++table.rows;
    row = row.substr(0, row.find('\0'));
    if (row.size() <= 2) continue;
    row.remove_suffix(2);
    table.text.append(row);
    table.text.push_back('\0');
    ++table.non_empty;
    table.chars += row.size();
  }
  return table;
}

bool same_table(const row_table& a, const row_table& b) {
  return a.rows == b.rows && a.non_empty == b.non_empty && a.chars == b.chars && a.text == b.text;
}

// Checks that the counts of `table`, read with zero bytes as row ends, agree with its text.
void check_counts(const row_table& table) {
  const std::string_view text = table.text;
  check(text.empty() || text.back() == '\0', "text ends with a row's zero byte");
  std::uint64_t rows = 0;
  std::uint64_t chars = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\0', start);
    const std::size_t length = end - start;
    check(length > 0, "no stored row is empty");
    check(length <= 98, "no row is over 98 characters");
    ++rows;
    chars += length;
    start = end + 1;
  }
  check(rows == table.non_empty, "non_empty counts the stored rows");
  check(chars == table.chars, "chars is the sum of the row lengths");
  check(table.text.size() == table.non_empty + table.chars, "text size is L + S");
  check(table.non_empty <= table.rows, "stored rows are among the rows read");
}

// Reads `data` with `chunk` bytes a read at most, `max_text` as the limit and `row_end`
// after each row.
read_status read(std::string_view data, std::size_t chunk, std::size_t max_text, row_table& table,
                 char row_end = '\0') {
  memory_source source(data, chunk);
  return read_rows(source, table, max_text, row_end);
}

}  // namespace
}  // namespace tarnwick

// Input: a chunk size byte, two bytes choosing a text limit, a row end byte, a padding byte,
// then the bytes to read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnwick;
  using namespace tarnwick::hexreader;
  std::uint8_t head[5] = {};
  const std::size_t head_size = size < sizeof head ? size : sizeof head;
  if (head_size > 0) std::memcpy(head, data, head_size);
  std::string_view input(reinterpret_cast<const char*>(data) + head_size, size - head_size);
  // Now and then blank lines in front move the input across the reader's 64 KiB block
  // boundary, which a whole read meets only there.
  const bool padded = head[4] >= 0xF0;
  std::string padded_input;
  if (padded) {
    padded_input.assign(65536 - std::size_t{head[4] - 0xF0u} * 16, '\n');
    padded_input += input;
    input = padded_input;
  }
  // Blocks of 1 to 256 bytes: below and above what one row can span, so that rows are read
  // both in place and through the bounded line reads, and cut at every position. Padded
  // inputs are read in larger blocks to keep a run short.
  const std::size_t chunk = padded ? 4096 + head[0] : 1 + head[0];
  const std::size_t small_chunk = padded ? chunk : 1 + head[0] % 8;
  const char row_end = static_cast<char>(head[3]);

  row_table whole;
  check(read(input, SIZE_MAX, no_limit, whole) == read_status::ok, "a full read succeeds");
  check_counts(whole);
  check(same_table(whole, model_rows(input)), "the table follows the reading rules");

  row_table cut;
  check(read(input, chunk, no_limit, cut) == read_status::ok, "a cut read succeeds");
  check(same_table(cut, whole), "the cut into reads changes nothing");

  row_table marked;
  check(read(input, small_chunk, no_limit, marked, row_end) == read_status::ok,
        "a read with another row end succeeds");
  row_table marked_model = whole;
  for (char& c : marked_model.text) {
    if (c == '\0') c = row_end;
  }
  check(same_table(marked, marked_model), "the row end byte follows each row");

  // A limit around the text's size: refused exactly when the text would pass it, and then
  // holding the rows that fit, in order.
  const std::size_t limit =
      static_cast<std::size_t>(head[1] | head[2] << 8) % (whole.text.size() + 2);
  row_table limited;
  const read_status status = read(input, chunk, limit, limited);
  check_counts(limited);
  if (whole.text.size() <= limit) {
    check(status == read_status::ok, "a text within the limit is read");
    check(same_table(limited, whole), "a limit that is not reached changes nothing");
  } else {
    check(status == read_status::too_large, "a text past the limit is refused");
    const std::string_view kept = limited.text;
    check(kept.size() <= limit, "the rows kept fit the limit");
    check(std::string_view(whole.text).substr(0, kept.size()) == kept,
          "the rows kept are the first rows");
    const std::size_t next_end = whole.text.find('\0', kept.size());
    check(next_end + 1 > limit, "the next row would pass the limit");
  }
  return 0;
}
