// Any bytes through read_rows: the table must be consistent in itself, equal a plain model of
// the README's reading rules and warnings, and not depend on how the input is cut into reads.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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

// The lines of the Windows text of `raw`: the last one ends at a line feed or at the end.
std::vector<std::string_view> model_lines(const std::string& text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t lf = std::min(text.find('\n', start), text.size());
    lines.push_back(std::string_view(text).substr(start, lf - start));
    start = lf + 1;
  }
  return lines;
}

bool hex_digits(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// The table and faults the README's rules give for `raw`, read without a limit.
row_table model_rows(std::string_view raw) {
  const std::string text = windows_text(raw);
  row_table table;
  auto& faults = table.faults;
  const auto note = [&](fault f, std::uint64_t expected = 0, std::uint64_t found = 0) {
    fault_lines& k = faults.kinds[static_cast<std::size_t>(f)];
    if (k.lines++ == 0) k = {table.rows, 1, expected, found};
  };
  bool end_seen = false, placed = false;
  std::uint64_t base = 0, next = 0;
  for (const std::string_view line : model_lines(text)) {
    ++table.rows;
    if (!line.empty() && line[0] != ':') note(fault::not_record);
    if (!line.empty() && line[0] == ':') {
      faults.any_record = true;
      if (end_seen) note(fault::after_end);
      std::vector<unsigned> bytes;
      const std::string_view digits = line.substr(1);
      if (digits.size() % 2 == 0 && hex_digits(digits)) {
        for (std::size_t i = 0; i < digits.size(); i += 2) {
          bytes.push_back(
              static_cast<unsigned>(std::stoul(std::string(digits.substr(i, 2)), nullptr, 16)));
        }
      }
      if (bytes.size() < 5 || bytes.size() != 5 + bytes[0]) {
        note(fault::malformed);
      } else {
        unsigned sum = 0;
        for (const unsigned b : bytes) sum += b;
        if (sum % 256 != 0) note(fault::bad_checksum);
        const unsigned count = bytes[0], type = bytes[3];
        if (type == 0 && count > 0) {
          const std::uint64_t at = base + (bytes[1] << 8 | bytes[2]);
          if (placed && at != next) note(fault::address_gap, next, at);
          placed = true;
          next = at + count;
        }
        end_seen = end_seen || type == 1;
        if ((type == 2 || type == 4) && count == 2) {
          base = std::uint64_t{bytes[4] << 8 | bytes[5]} << (type == 2 ? 4 : 16);
          if (base != 0) note(fault::high_base, base);
        }
      }
    }
    // The conversion: the characters after the ninth, cut at a zero byte, less two; nothing
    // from a record head of another type than 00, nor from a record of count 0.
    if (line.size() < 9) continue;
    if (line[0] == ':' && hex_digits(line.substr(1, 8)) && line.substr(7, 2) != "00") continue;
    std::string_view row = line.substr(9);
    row = row.substr(0, row.find('\0'));
    if (row.size() <= 2) continue;
    row.remove_suffix(2);
    table.text.append(row);
    table.text.push_back('\0');
    ++table.non_empty;
    table.chars += row.size();
  }
  if (faults.any_record && !end_seen) note(fault::no_end);
  return table;
}

bool same_faults(const file_faults& a, const file_faults& b) {
  if (a.any_record != b.any_record) return false;
  for (std::size_t i = 0; i < fault_kinds; ++i) {
    const fault_lines &x = a.kinds[i], &y = b.kinds[i];
    if (x.first_line != y.first_line || x.lines != y.lines || x.expected != y.expected ||
        x.found != y.found) {
      return false;
    }
  }
  return true;
}

bool same_table(const row_table& a, const row_table& b) {
  return a.rows == b.rows && a.non_empty == b.non_empty && a.chars == b.chars && a.text == b.text &&
         same_faults(a.faults, b.faults);
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
