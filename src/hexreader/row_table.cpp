#include "hexreader/row_table.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t head_length = 9;      // ':', byte count, address and type
constexpr std::size_t checksum_digits = 2;  // the record checksum, which ends every row
constexpr std::size_t block = std::size_t{64} * 1024;
constexpr std::size_t slack = 16;  // zeros after the bytes read, where a head may be looked for

// One more than the byte two characters give as hex digits, by the pair (the first in the low
// byte); 0 where they are not both digits. Filled in before main: only its digits' pages count.
std::uint16_t pair_values[0x10000];
[[maybe_unused]] const bool pair_values_filled = [] {
  constexpr std::string_view digits = "0123456789ABCDEFabcdef";  // 'a' is 10 as 'A' is
  for (unsigned a = 0; a < 22; ++a)
    for (unsigned b = 0; b < 22; ++b)
      pair_values[digits[a] | digits[b] << 8] =
          static_cast<std::uint16_t>(((a < 16 ? a : a - 6) << 4 | (b < 16 ? b : b - 6)) + 1);
  return true;
}();

// The byte that the two digits at `s` give; above 0xFF when either is none.
unsigned pair_value(const char* s) {
  return pair_values[static_cast<unsigned char>(s[0]) | static_cast<unsigned char>(s[1]) << 8] - 1U;
}

// The length of the blank lines at `s`, all LF or all CR LF, within `n`; adds them to `lines`.
std::size_t blank_lines(const char* s, std::size_t n, std::uint64_t& lines) {
  const bool crlf = s[0] == '\r';
  const char* const pattern = crlf ? "\r\n\r\n\r\n\r\n" : "\n\n\n\n\n\n\n\n";
  std::size_t i = 0;
  while (n - i >= 8 && std::memcmp(s + i, pattern, 8) == 0) i += 8;  // a word at a time
  while (i < n && s[i] == pattern[i % 2]) ++i;
  lines += i >> crlf;
  return i >> crlf << crlf;
}

struct line_reader {  // the reading's state
  row_table& table;
  const std::size_t limit;  // the most the text may hold
  const char row_end;
  std::size_t used;  // bytes of the text kept, the caller's first
  bool full = false, end_seen = false, placed = false;  // `placed`: a data record gave `next`
  std::uint64_t base = 0, next = 0;  // the address base, and where the data goes on

  // Takes the records of the right form from `p`, each with its line end before `end` (a zero
  // after a CR there), each pair decoded once; returns where the first other line starts.
  const char* take_records(const char* p, const char* const end) {
    std::uint64_t rows = table.rows;
    while (p[0] == ':') {
      unsigned bad = 0, sum = 0;
      const auto take = [&](const char* s) {  // the byte a digit pair gives, into the checksum
        const unsigned v = pair_value(s);
        bad |= v;
        sum += v;
        return v;
      };
      const unsigned count = take(p + 1), address = take(p + 3) << 8 | take(p + 5);
      const unsigned type = take(p + 7);
      const std::size_t n = head_length + 2 * std::size_t{count} + checksum_digits;
      if (bad > 0xFF || n >= static_cast<std::size_t>(end - p)) break;
      const std::size_t eol = p[n] == '\n' ? 1 : p[n] == '\r' && p[n + 1] == '\n' ? 2 : 0;
      if (eol == 0) break;
      // The pairs after the head, the first two apart: an address record's value.
      const char* d = p + head_length;
      const unsigned value = count > 0 ? take(d) << 8 | take(d + 2) : 0;
      for (d += count > 0 ? 4 : 0; d < p + n; d += 2) take(d);
      if (bad > 0xFF) break;
      ++rows;
      if (end_seen) note(fault::after_end, rows);
      if ((sum & 0xFF) != 0) note(fault::bad_checksum, rows);
      if (type == 0 && count > 0) {
        const std::uint64_t at = base + address;
        if (placed && next != at) note(fault::address_gap, rows, next, at);
        placed = true;
        next = at + count;
        if (!keep(p + head_length, 2 * std::size_t{count})) break;
      }
      end_seen = end_seen || type == 1;
      if ((type == 2 || type == 4) && count == 2) {
        base = std::uint64_t{value} << (type == 2 ? 4 : 16);
        if (base != 0) note(fault::high_base, rows, base);
      }
      p += n + eol;
    }
    table.faults.any_record = table.faults.any_record || rows != table.rows;
    table.rows = rows;
    return p;
  }

  // Takes the line of `length` characters at `s`, followed by its line end of `line_end`.
  void take_line(const char* s, std::size_t length, std::size_t line_end) {
    const bool record = length > 0 && s[0] == ':';
    if (record && (take_records(s, s + length + line_end) != s || full)) return;
    const std::uint64_t line = ++table.rows;
    if (length == 0) return;  // blank
    table.faults.any_record = table.faults.any_record || record;
    if (record && end_seen) note(fault::after_end, line);
    note(record ? fault::malformed : fault::not_record, line);
    if (length < head_length) return;
    const unsigned type = pair_value(s + 7), head = pair_value(s + 1) | pair_value(s + 3);
    if (record && (head | pair_value(s + 5) | type) <= 0xFF && type != 0) return;  // gives none
    const std::string_view data(s + head_length, length - head_length);
    const std::size_t n = std::min(data.find('\0'), data.size());  // cut at a zero byte
    if (n > checksum_digits) keep(data.data(), n - checksum_digits);
  }

  void note(fault f, std::uint64_t line, std::uint64_t expected = 0, std::uint64_t found = 0) {
    fault_lines& k = table.faults.kinds[static_cast<std::size_t>(f)];
    if (k.lines++ == 0) k = {line, 1, expected, found};
  }

  // Appends `n` characters at `s` and the row end; false when the text would pass its limit. It
  // grows in steps short of the 2 KiB from which zeroing takes a slow-starting instruction.
  bool keep(const char* s, std::size_t n) {
    if (n >= limit - used) return !(full = true);
    std::string& text = table.text;
    if (text.size() <= used + n) {
      text.resize(std::max(used + n + 1, std::min(text.size() + 1984, text.capacity())));
    }
    std::memcpy(text.data() + used, s, n);
    text[used + n] = row_end;
    used += n + 1;
    ++table.non_empty;
    return true;
  }
};

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end) {
  const std::size_t start = table.text.size();
  table.text.reserve(start + std::min(max_text, block) + 1);
  line_reader lines{table, start + std::min(max_text, SIZE_MAX - start), row_end, start};
  // A line open at a block's end moves to the front. At `most` characters, whatever follows, it
  // gives more text than fits, or text cut at a zero byte, or nothing: it is taken then.
  const std::size_t most = std::max(std::min(max_text, SIZE_MAX - 1024) + 16, std::size_t{1024});
  std::size_t size = block + slack, open = 0;
  std::unique_ptr<char[]> buffer(new char[size]);
  bool passing = false, done = false, failed = false;
  while (!done && !lines.full) {
    if (open > size / 2) {  // a long line, where the limit allows one
      std::unique_ptr<char[]> larger(new char[size *= 2]);
      std::memcpy(larger.get(), buffer.get(), open);
      buffer = std::move(larger);
    }
    std::size_t got = open;
    std::ptrdiff_t n = 1;
    while (got < size - slack && (n = in.read(buffer.get() + got, size - slack - got)) > 0) {
      got += static_cast<std::size_t>(n);
    }
    done = n <= 0;
    failed = n < 0;
    std::memset(buffer.get() + got, 0, slack);
    char* p = buffer.get();
    char* end = p + got;
    while (p < end && !lines.full) {
      // Records of the right form, and runs of blank lines, are taken at once.
      const char* after = passing ? p : lines.take_records(p, end);
      if (!passing && after == p)
        after += blank_lines(p, static_cast<std::size_t>(end - p), table.rows);
      if (after != p || lines.full) {
        p += after - p;
        continue;
      }
      auto* lf = static_cast<char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      // Ctrl-Z ends the input. It is looked for only here: the lines taken above hold none.
      if (auto* z = static_cast<char*>(
              std::memchr(p, 0x1A, static_cast<std::size_t>((lf != nullptr ? lf : end) - p)))) {
        end = z;
        lf = nullptr;
        done = true;
        failed = false;
      }
      if (lf == nullptr) {
        if (!passing && static_cast<std::size_t>(end - p) >= most) lines.take_line(p, most, 0);
        passing = passing || static_cast<std::size_t>(end - p) >= most;
        break;
      }
      const bool cr = lf > p && lf[-1] == '\r';
      if (!passing) lines.take_line(p, static_cast<std::size_t>(lf - p) - cr, 1 + cr);
      passing = false;
      p = lf + 1;
    }
    open = passing ? 0 : static_cast<std::size_t>(end - p);
    if (done && open > 0 && !lines.full) {  // the last line, given a line end after a digit
      *end = p[open - 1] == '\r' ? '\0' : '\n';
      lines.take_line(p, open, 1);
    }
    std::memmove(buffer.get(), p, open);
  }
  if (table.faults.any_record && !lines.end_seen) lines.note(fault::no_end, table.rows);
  table.text.resize(lines.used);
  table.chars = lines.used - start - table.non_empty;
  if (lines.full) return read_status::too_large;
  return failed ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick::hexreader
