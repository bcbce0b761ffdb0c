#include "hexreader/row_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t head_length = 9;      // ':', byte count, address and type
constexpr std::size_t checksum_digits = 2;  // the record checksum, which ends every row
constexpr std::size_t block = std::size_t{64} * 1024;
// Zeros past the bytes read, where a record head or a line end is looked for.
constexpr std::size_t slack = 16;

// Characters are taken eight at a time, one in each byte of a word, the first in the lowest.
constexpr std::uint64_t ones = 0x0101010101010101;
constexpr std::uint64_t even_bytes = 0x00FF00FF00FF00FF;

std::uint64_t load8(const char* s) {
  std::uint64_t w;
  std::memcpy(&w, s, 8);
  if constexpr (std::endian::native == std::endian::big) {
    std::uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i, w >>= 8) swapped = swapped << 8 | (w & 0xFF);
    w = swapped;
  }
  return w;
}

// Digits summed a word at a time: in each byte, the low nibbles of its characters and how
// many were letters, and a high bit for each character that is no hex digit.
struct digit_sums {
  std::uint64_t low = 0, letters = 0, bad = 0;
};

// Adds the eight characters in `w` to `s`; returns the four bytes they give, one in each
// 16-bit lane. A character below 0x80 is compared without a carry into the next; one above is
// bad anyway.
std::uint64_t add_digits(std::uint64_t w, digit_sums& s) {
  const std::uint64_t digit = (w + 0x50 * ones) & ~(w + 0x46 * ones);  // '0' to '9'
  const std::uint64_t folded = w | 0x20 * ones;
  const std::uint64_t letter = (folded + 0x1F * ones) & ~(folded + 0x19 * ones);  // 'a' to 'f'
  s.bad |= w | ~(digit | letter);
  const std::uint64_t low = w & 0x0F * ones, letters = letter >> 7 & ones;
  s.low += low;
  s.letters += letters;
  const std::uint64_t v = low + letters * 9;
  return (v & even_bytes) << 4 | (v >> 8 & even_bytes);
}

bool any_bad(const digit_sums& s) {
  return (s.bad & 0x80 * ones) != 0;
}

// The sum of the bytes that the digits of up to 17 words added to `s` give; below 0x10000.
unsigned byte_sum(const digit_sums& s) {
  const std::uint64_t v = s.low + 9 * s.letters;  // each byte at most 17 * 15
  return static_cast<unsigned>(
      ((((v & even_bytes) << 4) + (v >> 8 & even_bytes)) * 0x0001000100010001) >> 48);
}

// The length of the run of `pattern`'s two characters over and over at `s`, at most `n`.
std::size_t run_length(const char* s, std::size_t n, const char (&pattern)[9]) {
  const std::uint64_t want = load8(pattern);
  std::size_t i = 0;
  while (i + 8 <= n && load8(s + i) == want) i += 8;
  while (i < n && s[i] == pattern[i % 2]) ++i;
  return i;
}

class line_reader {
 public:
  line_reader(row_table& table, std::size_t max_text, char row_end)
      : table_(table),
        limit_(table.text.size() + std::min(max_text, SIZE_MAX - table.text.size())),
        row_end_(row_end) {
    table_.text.reserve(table.text.size() + std::min(max_text, block) + 1);
  }
  bool full() const { return full_; }

  // Takes the record of the right form that starts the `room` characters at `s`, if one
  // does: with `in_place`, one followed by a line end, which may stand in the zeros after
  // `room`; otherwise one of exactly `room` characters. Each digit is decoded once, its value
  // feeding the head's fields and the checksum. Returns the characters taken with the line
  // end, or 0. `other_type`: `s` starts with a record head of a type other than 00.
  std::size_t take_record(const char* s, std::size_t room, bool in_place, bool& other_type) {
    digit_sums sums;
    const std::uint64_t head = add_digits(load8(s + 1), sums);
    const auto count = static_cast<unsigned>(head & 0xFF), type = static_cast<unsigned>(head >> 48);
    other_type = !any_bad(sums) && type != 0;
    const std::size_t n = 2 * std::size_t{count} + head_length + checksum_digits;
    if (any_bad(sums) || n > room || (!in_place && n != room)) return 0;
    const std::size_t eol = !in_place                          ? 0
                            : s[n] == '\n'                     ? 1
                            : s[n] == '\r' && s[n + 1] == '\n' ? 2
                                                               : 0;
    if (in_place && eol == 0) return 0;
    // The words between the head and the last, 15 at a time.
    const char* const end = s + n;
    const char* d = s + head_length;
    unsigned sum = 0;
    while (end - d > 8) {
      const char* const stop = d + 8 * std::min<std::ptrdiff_t>(15, (end - d - 1) / 8);
      for (; d < stop; d += 8) add_digits(load8(d), sums);
      if (end - d > 8) {
        sum += byte_sum(sums);
        sums.low = sums.letters = 0;
      }
    }
    // The last word ends with the record; its characters summed already count as '0's.
    const std::uint64_t summed = (std::uint64_t{1} << 8 * (8 - (end - d))) - 1;
    const std::uint64_t last = add_digits((load8(end - 8) & ~summed) | ('0' * ones & summed), sums);
    sum += byte_sum(sums);
    if (any_bad(sums)) return 0;
    ++table_.rows;
    table_.faults.any_record = true;
    if (end_seen_) note(fault::after_end);
    if ((sum & 0xFF) != 0) note(fault::bad_checksum);
    if (type == 0 && count > 0) {
      const std::uint64_t at = base_ + ((head >> 8 & 0xFF00) | (head >> 32 & 0xFF));
      if (placed_ && next_ != at) note(fault::address_gap, next_, at);
      placed_ = true;
      next_ = at + count;
      keep(s + head_length, 2 * std::size_t{count});
    }
    end_seen_ = end_seen_ || type == 1;
    if ((type == 2 || type == 4) && count == 2) {  // its two data bytes end the last word
      base_ = ((last >> 8 & 0xFF00) | (last >> 32 & 0xFF)) << (type == 2 ? 4 : 16);
      if (base_ != 0) note(fault::high_base, base_);
    }
    return n + eol;
  }

  // Takes one line of `length` characters, its line end left out.
  void take_line(const char* s, std::size_t length) {
    bool other_type = false;
    if (length >= head_length && s[0] == ':' && take_record(s, length, false, other_type) > 0) {
      return;
    }
    ++table_.rows;
    if (length == 0) return;  // blank
    if (s[0] == ':') {
      table_.faults.any_record = true;
      if (end_seen_) note(fault::after_end);
      note(fault::malformed);
    } else {
      note(fault::not_record);
    }
    if (length < head_length || other_type) return;
    const char* const data = s + head_length;
    const auto* zero = static_cast<const char*>(std::memchr(data, '\0', length - head_length));
    const std::size_t n =
        zero != nullptr ? static_cast<std::size_t>(zero - data) : length - head_length;
    if (n > checksum_digits) keep(data, n - checksum_digits);
  }

  // Ends the reading: the missing end-of-file record.
  void finish() {
    if (table_.faults.any_record && !end_seen_) note(fault::no_end);
  }

 private:
  void note(fault f, std::uint64_t expected = 0, std::uint64_t found = 0) {
    fault_lines& k = table_.faults.kinds[static_cast<std::size_t>(f)];
    if (k.lines++ == 0) k = {table_.rows, 1, expected, found};
  }

  // Appends `n` characters at `s` and the row end, unless the text would pass its limit. A
  // character follows them in the line: copied with them, it makes room for the row end.
  void keep(const char* s, std::size_t n) {
    std::string& text = table_.text;
    if (n >= limit_ - text.size()) {
      full_ = true;
      return;
    }
    text.append(s, n + 1).back() = row_end_;
    ++table_.non_empty;
    table_.chars += n;
  }

  row_table& table_;
  const std::size_t limit_;  // the most the text may hold
  const char row_end_;
  bool full_ = false;
  bool end_seen_ = false;
  bool placed_ = false;                // a data record has given `next_`
  std::uint64_t base_ = 0, next_ = 0;  // the address base, and where the data goes on
};

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end) {
  line_reader lines(table, max_text, row_end);
  const std::unique_ptr<char[]> buffer(new char[block + slack]);
  // A line that a block leaves open, whole while shorter than `most`. At that length it is
  // longer than any record and gives more text than fits, or text cut at a zero byte, or
  // nothing, whatever follows; so it is taken then, and the rest of it passed over.
  const std::size_t most = std::max(std::min(max_text, SIZE_MAX - 1024) + 16, std::size_t{1024});
  std::string open;
  bool passing = false, done = false, failed = false;
  while (!done && !lines.full()) {
    std::size_t got = 0;
    while (got < block && !done) {
      const std::ptrdiff_t n = in.read(buffer.get() + got, block - got);
      done = n <= 0;
      failed = n < 0;
      got += done ? 0 : static_cast<std::size_t>(n);
    }
    if (const void* z = std::memchr(buffer.get(), 0x1A, got)) {  // Ctrl-Z ends the input
      got = static_cast<std::size_t>(static_cast<const char*>(z) - buffer.get());
      done = true;
      failed = false;
    }
    std::memset(buffer.get() + got, 0, slack);
    const char* p = buffer.get();
    const char* const end = p + got;
    while (p < end && !lines.full()) {
      const auto left = static_cast<std::size_t>(end - p);
      if (open.empty() && !passing) {
        if (p[0] == '\n' || p[0] == '\r') {  // blank lines, all LF or all CR LF, are only counted
          const bool crlf = p[0] == '\r';
          const std::size_t n =
              run_length(p, left, crlf ? "\r\n\r\n\r\n\r\n" : "\n\n\n\n\n\n\n\n") >> crlf;
          table.rows += n;
          p += n << crlf;
          if (n > 0) continue;
        }
        // A record of the right form ends where its byte count says.
        bool other_type = false;
        if (p[0] == ':') {
          if (const std::size_t n = lines.take_record(p, left, true, other_type); n > 0) {
            p += n;
            continue;
          }
        }
      }
      const auto* lf = static_cast<const char*>(std::memchr(p, '\n', left));
      if (passing) {
        passing = lf == nullptr;
      } else if (lf != nullptr && open.empty()) {
        lines.take_line(p, static_cast<std::size_t>(lf - p) - (lf > p && lf[-1] == '\r'));
      } else {
        const auto n = static_cast<std::size_t>((lf != nullptr ? lf : end) - p);
        open.append(p, std::min(n, most - open.size()));
        if (lf != nullptr || open.size() == most) {
          if (lf != nullptr && open.size() < most && !open.empty() && open.back() == '\r') {
            open.pop_back();
          }
          lines.take_line(open.data(), open.size());
          passing = lf == nullptr;
          open.clear();
        }
      }
      p = lf != nullptr ? lf + 1 : end;
    }
  }
  if (!open.empty() && !lines.full()) lines.take_line(open.data(), open.size());
  lines.finish();
  if (lines.full()) return read_status::too_large;
  return failed ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick::hexreader
