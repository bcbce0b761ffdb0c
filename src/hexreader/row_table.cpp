#include "hexreader/row_table.h"

#include <algorithm>
#include <array>
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

// The value of each character as a hex digit, 0x100 for one that is none.
constexpr std::array<std::uint16_t, 256> hex_values = [] {
  std::array<std::uint16_t, 256> v{};
  for (unsigned c = 0; c < 256; ++c) {
    v[c] = static_cast<std::uint16_t>(c >= '0' && c <= '9'   ? c - '0'
                                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                             : 0x100);
  }
  return v;
}();

// The byte that the two digits at `s` give; above 0xFF when either is none.
unsigned pair_value(const char* s) {
  return static_cast<unsigned>(hex_values[static_cast<unsigned char>(s[0])] << 4 |
                               hex_values[static_cast<unsigned char>(s[1])]);
}

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

// A high bit for each of the characters in `w` that is no hex digit. A character below 0x80 is
// compared without a carry into the next; one above is no digit anyway.
std::uint64_t not_digits(std::uint64_t w) {
  const std::uint64_t digit = (w + 0x50 * ones) & ~(w + 0x46 * ones);  // '0' to '9'
  const std::uint64_t folded = w | 0x20 * ones;
  const std::uint64_t letter = (folded + 0x1F * ones) & ~(folded + 0x19 * ones);  // 'a' to 'f'
  return (w | ~(digit | letter)) & 0x80 * ones;
}

// The values of the hex digits in `w`, each in its byte: a letter has 0x40 set.
std::uint64_t digit_values(std::uint64_t w) {
  return (w & 0x0F * ones) + (w >> 6 & ones) * 9;
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
        used_(table.text.size()),
        limit_(used_ + std::min(max_text, SIZE_MAX - used_)),
        row_end_(row_end) {
    table_.text.reserve(used_ + std::min(max_text, block) + 1);
  }
  bool full() const { return full_; }

  // Takes the records of the right form at `p` and after it, each with its line end before
  // `end`, and returns where the first other line starts. Each digit is read once, its value
  // feeding the head's fields and the checksum. Zeros stand past `end`, where a head and a
  // record's last word are read.
  const char* take_records(const char* p, const char* const end) {
    std::uint64_t rows = table_.rows;
    while (p[0] == ':') {
      const unsigned count = pair_value(p + 1), high = pair_value(p + 3), low = pair_value(p + 5),
                     type = pair_value(p + 7);
      unsigned bad_pairs = count | high | low | type;
      const std::size_t n = 2 * std::size_t{count} + head_length + checksum_digits;
      if (bad_pairs > 0xFF || n >= static_cast<std::size_t>(end - p)) break;
      // A CR at the end holds a zero after it.
      const std::size_t eol = p[n] == '\n' ? 1 : p[n] == '\r' && p[n + 1] == '\n' ? 2 : 0;
      if (eol == 0) break;
      const unsigned address = high << 8 | low;
      unsigned sum = count + high + low + type;
      // The digits after the head, a word at a time; the values of the first digits of the
      // bytes, and of the second, are summed in 16-bit lanes. The last digits, fewer than a
      // word, a pair at a time.
      const char* const record_end = p + n;
      const char* d = p + head_length;
      std::uint64_t bad = 0, firsts = 0, seconds = 0;
      for (const char* const stop = d + 8 * ((record_end - d) / 8); d < stop; d += 8) {
        const std::uint64_t w = load8(d);
        bad |= not_digits(w);
        const std::uint64_t v = digit_values(w);
        firsts += v & even_bytes;
        seconds += v >> 8 & even_bytes;
      }
      std::uint64_t sums = (firsts << 4) + seconds;
      sums += sums >> 32;
      sum += static_cast<unsigned>(sums + (sums >> 16));
      unsigned last = 0;
      for (; d < record_end; d += 2) {
        const unsigned v = pair_value(d);
        bad_pairs |= v;
        sum += v;
        last = last << 8 | v;
      }
      if (bad != 0 || bad_pairs > 0xFF) break;
      ++rows;
      if (end_seen_) note(fault::after_end, rows);
      if ((sum & 0xFF) != 0) note(fault::bad_checksum, rows);
      if (type == 0 && count > 0) {
        const std::uint64_t at = base_ + address;
        if (placed_ && next_ != at) note(fault::address_gap, rows, next_, at);
        placed_ = true;
        next_ = at + count;
        if (!keep(p + head_length, 2 * std::size_t{count})) break;
      }
      end_seen_ = end_seen_ || type == 1;
      if ((type == 2 || type == 4) && count == 2) {  // its two data bytes, before the checksum
        base_ = std::uint64_t{last >> 8 & 0xFFFF} << (type == 2 ? 4 : 16);
        if (base_ != 0) note(fault::high_base, rows, base_);
      }
      p = record_end + eol;
    }
    table_.faults.any_record = table_.faults.any_record || rows != table_.rows;
    table_.rows = rows;
    return p;
  }

  // Takes one line of `length` characters at `s`, followed by its line end of `line_end`
  // characters, and by zeros or more characters.
  void take_line(const char* s, std::size_t length, std::size_t line_end) {
    if (length >= head_length && s[0] == ':' &&
        (take_records(s, s + length + line_end) != s || full_)) {
      return;
    }
    ++table_.rows;
    if (length == 0) return;  // blank
    if (s[0] == ':') {
      table_.faults.any_record = true;
      if (end_seen_) note(fault::after_end, table_.rows);
      note(fault::malformed, table_.rows);
    } else {
      note(fault::not_record, table_.rows);
    }
    // A record head of a type other than 00 gives nothing.
    if (length < head_length ||
        (s[0] == ':' && not_digits(load8(s + 1)) == 0 && (s[7] != '0' || s[8] != '0'))) {
      return;
    }
    const char* const data = s + head_length;
    const auto* zero = static_cast<const char*>(std::memchr(data, '\0', length - head_length));
    const std::size_t n =
        zero != nullptr ? static_cast<std::size_t>(zero - data) : length - head_length;
    if (n > checksum_digits) keep(data, n - checksum_digits);
  }

  // Ends the reading: the missing end-of-file record, and the text cut to the rows kept.
  void finish() {
    if (table_.faults.any_record && !end_seen_) note(fault::no_end, table_.rows);
    table_.text.resize(used_);
  }

 private:
  void note(fault f, std::uint64_t line, std::uint64_t expected = 0, std::uint64_t found = 0) {
    fault_lines& k = table_.faults.kinds[static_cast<std::size_t>(f)];
    if (k.lines++ == 0) k = {line, 1, expected, found};
  }

  // Appends `n` characters at `s` and the row end; false when the text would pass its limit.
  bool keep(const char* s, std::size_t n) {
    if (n >= limit_ - used_) return !(full_ = true);
    // The text grows in steps short of the 2 KiB from which zeroing takes a slow-starting
    // string instruction.
    std::string& text = table_.text;
    if (text.size() <= used_ + n) {
      text.resize(std::max(used_ + n + 1, std::min(text.size() + 1984, text.capacity())));
    }
    char* const out = text.data() + used_;
    std::memcpy(out, s, n);
    out[n] = row_end_;
    used_ += n + 1;
    ++table_.non_empty;
    table_.chars += n;
    return true;
  }

  row_table& table_;
  std::size_t used_;         // bytes of the text kept, the caller's first
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
  const auto take_open = [&] {
    const std::size_t length = open.size();
    open += '\n';
    open.resize(length + slack);
    lines.take_line(open.data(), length, 1);
    open.clear();
  };
  bool passing = false, done = false, failed = false;
  while (!done && !lines.full()) {
    std::size_t got = 0;
    while (got < block && !done) {
      const std::ptrdiff_t n = in.read(buffer.get() + got, block - got);
      done = n <= 0;
      failed = n < 0;
      got += done ? 0 : static_cast<std::size_t>(n);
    }
    std::memset(buffer.get() + got, 0, slack);
    const char* p = buffer.get();
    const char* const end = p + got;
    while (p < end && !lines.full()) {
      if (open.empty() && !passing) {
        if (p[0] == ':') {
          const char* const after = lines.take_records(p, end);
          if (after != p || lines.full()) {
            p = after;
            continue;
          }
        }
        if (p[0] == '\n' || p[0] == '\r') {  // blank lines, all LF or all CR LF, are only counted
          const bool crlf = p[0] == '\r';
          const std::size_t n = run_length(p, static_cast<std::size_t>(end - p),
                                           crlf ? "\r\n\r\n\r\n\r\n" : "\n\n\n\n\n\n\n\n") >>
                                crlf;
          table.rows += n;
          p += n << crlf;
          if (n > 0) continue;
        }
      }
      const auto* lf =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      const char* stop = lf != nullptr ? lf : end;
      // Ctrl-Z ends the input. It is looked for only here: the lines taken above hold none.
      const auto* z =
          static_cast<const char*>(std::memchr(p, 0x1A, static_cast<std::size_t>(stop - p)));
      if (z != nullptr) {
        stop = z;
        lf = nullptr;
        done = true;
        failed = false;
      }
      if (passing) {
        passing = lf == nullptr;
      } else if (lf != nullptr && open.empty()) {
        const bool cr = lf > p && lf[-1] == '\r';
        lines.take_line(p, static_cast<std::size_t>(lf - p) - cr, 1 + cr);
      } else {
        open.append(p, std::min(static_cast<std::size_t>(stop - p), most - open.size()));
        if (lf != nullptr || open.size() == most) {
          if (lf != nullptr && open.size() < most && !open.empty() && open.back() == '\r') {
            open.pop_back();
          }
          take_open();
          passing = lf == nullptr;
        }
      }
      if (z != nullptr) break;
      p = lf != nullptr ? lf + 1 : end;
    }
  }
  if (!open.empty() && !lines.full()) take_open();
  lines.finish();
  if (lines.full()) return read_status::too_large;
  return failed ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick::hexreader
