#include "hexreader/row_table.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t head_length = 9;      // ':', byte count, address and type
constexpr std::size_t checksum_digits = 2;  // the record checksum, which ends every row
constexpr std::size_t block = std::size_t{64} * 1024;
// Zeros past the bytes read, and room past the text, for the 16-byte loads and stores.
constexpr std::size_t slack = 64;

// The value of each byte as a hex digit, or -1.
constexpr std::array<signed char, 256> hex_values = [] {
  std::array<signed char, 256> v{};
  for (int c = 0; c < 256; ++c) {
    v[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
           : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
           : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                                  : -1;
  }
  return v;
}();

#if defined(__SSE2__)
using lane = __m128i;
lane load(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const lane*>(p));
}
// The 16 bytes at `p` as hex digit values, with a byte of ones in `valid` for each that is one.
lane hex_lane(const char* p, lane& valid) {
  const lane x = load(p);
  // Signed compares after a shift that brings each range to the bottom of the signed bytes.
  const lane digit = _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(0x50)), _mm_set1_epi8(-118));
  const lane folded = _mm_or_si128(x, _mm_set1_epi8(0x20));
  const lane letter =
      _mm_cmplt_epi8(_mm_add_epi8(folded, _mm_set1_epi8(0x1F)), _mm_set1_epi8(-122));
  valid = _mm_or_si128(digit, letter);
  return _mm_add_epi8(_mm_and_si128(x, _mm_set1_epi8(0x0F)),
                      _mm_and_si128(letter, _mm_set1_epi8(9)));
}
#endif

// The length of the run a b a b ... at `p`, at most `n`; may read 15 bytes past `n`.
std::size_t run_length(const char* p, std::size_t n, char a, char b) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const lane pattern = _mm_set1_epi16(static_cast<short>(
      static_cast<unsigned char>(a) | static_cast<unsigned>(static_cast<unsigned char>(b)) << 8));
  const auto equal = [&](std::size_t at) { return _mm_cmpeq_epi8(load(p + at), pattern); };
  for (; i + 64 <= n; i += 64) {  // runs are long: four lanes a step while all match
    const lane m = _mm_and_si128(_mm_and_si128(equal(i), equal(i + 16)),
                                 _mm_and_si128(equal(i + 32), equal(i + 48)));
    if (_mm_movemask_epi8(m) != 0xFFFF) break;
  }
  for (; i < n; i += 16) {
    const auto miss = static_cast<unsigned>(~_mm_movemask_epi8(equal(i)) & 0xFFFF);
    if (miss != 0) return std::min(n, i + static_cast<std::size_t>(std::countr_zero(miss)));
  }
  return n;
#else
  while (i < n && p[i] == (i % 2 == 0 ? a : b)) ++i;
  return i;
#endif
}

class line_reader {
 public:
  line_reader(row_table& table, std::size_t max_text, char row_end)
      : table_(table), max_text_(max_text), row_end_(row_end) {
    table_.text.reserve(std::min(max_text, block) + slack);
  }
  bool full() const { return full_; }

  // Takes one line without its line end: its first `stored` characters of `length`.
  void take_line(const char* s, std::size_t stored, std::uint64_t length) {
    ++table_.rows;
    if (length == 0) return;  // blank
    bool head = false;
    unsigned type = 0;
    if (s[0] == ':') {
      check_record(s, length, head, type);
    } else {
      note(fault::not_record);
    }
    if (length < head_length || (head && type != 0)) return;
    std::size_t n = stored - head_length;
    if (const void* z = std::memchr(s + head_length, '\0', n)) {
      n = static_cast<std::size_t>(static_cast<const char*>(z) - (s + head_length));
    }
    if (n > checksum_digits) keep(s + head_length, n - checksum_digits);
  }

  // Takes the data records of the right form at `p` and after it, each line ending before
  // `end`, and returns where the first other line starts, for take_line. Reads up to 15
  // bytes past each line.
  __attribute__((noinline)) const char* quick_records(const char* p, const char* end) {
#if defined(__SSE2__)
    if (end_seen_) return p;
    alignas(16) static constexpr char tail[32] = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
                                                  0,  0,  0,  0,  0,  -1, -1, -1, -1, -1, -1,
                                                  -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    const lane zero = _mm_setzero_si128(), low = _mm_set1_epi16(0xFF);
    // Kept in locals, which the text's stores cannot alias.
    std::uint64_t rows = 0, kept = 0, next = next_;
    bool placed = placed_;
    std::string& text = table_.text;
    char* out = text.data() + used_;
    const auto room_end = [&] {
      return text.data() + std::min(max_text_, std::max(text.size(), slack) - slack);
    };
    char* room = room_end();
    while (p[0] == ':') {
      lane valid;
      const lane first = hex_lane(p + 1, valid);
      // Byte i of the record in 16-bit lane i: its high digit comes first.
      const lane head =
          _mm_or_si128(_mm_slli_epi16(_mm_and_si128(first, low), 4), _mm_srli_epi16(first, 8));
      const auto count = static_cast<std::size_t>(_mm_extract_epi16(head, 0));
      const std::size_t digits = 2 * count + 10;
      const char* const e = p + 1 + digits;
      if (digits < 16 || end - e < 2) break;
      std::uint16_t line_end;  // LF, or CR LF, in memory order
      std::memcpy(&line_end, e, 2);
      if (e[0] != '\n' &&
          line_end != (std::endian::native == std::endian::little ? 0x0A0D : 0x0D0A))
        break;
      // Digit values summed lane by lane, each byte modulo 256, which is all the checksum needs.
      lane sum = first;
      std::size_t k = 16;
      for (lane ok; k + 16 <= digits; k += 16) {
        sum = _mm_add_epi8(sum, hex_lane(p + 1 + k, ok));
        valid = _mm_and_si128(valid, ok);
      }
      if (k < digits) {  // the last lane ends with the record: the digits taken already masked
        lane ok;
        const lane last = hex_lane(e - 16, ok);
        valid = _mm_and_si128(valid, ok);
        sum = _mm_add_epi8(sum, _mm_and_si128(last, load(tail + (digits - k))));
      }
      const lane bytes =
          _mm_and_si128(_mm_add_epi16(_mm_slli_epi16(sum, 4), _mm_srli_epi16(sum, 8)), low);
      const lane total = _mm_sad_epu8(bytes, zero);
      const auto at = base_ + static_cast<unsigned>(_mm_extract_epi16(head, 1) << 8 |
                                                    _mm_extract_epi16(head, 2));
      if (_mm_movemask_epi8(valid) != 0xFFFF || _mm_extract_epi16(head, 3) != 0 ||
          ((_mm_cvtsi128_si32(total) + _mm_extract_epi16(total, 4)) & 0xFF) != 0 ||
          (placed && at != next)) {
        break;
      }
      const std::size_t n = 2 * count;
      if (room - out <= static_cast<std::ptrdiff_t>(n)) {
        used_ = static_cast<std::size_t>(out - text.data());
        if (!grow(n)) break;
        out = text.data() + used_;
        room = room_end();
      }
      std::memcpy(out, p + head_length, 16);
      for (std::size_t i = 16; i < n; i += 16) std::memcpy(out + i, p + head_length + i, 16);
      out[n] = row_end_;
      out += n + 1;
      next = at + count;
      placed = true;
      ++rows;
      kept += n;
      p = e + (e[0] == '\n' ? 1 : 2);
    }
    used_ = static_cast<std::size_t>(out - text.data());
    table_.rows += rows;
    table_.non_empty += rows;
    table_.chars += kept;
    table_.faults.any_record = table_.faults.any_record || rows > 0;
    next_ = next;
    placed_ = placed;
#else
    (void)end;
#endif
    return p;
  }

  // Ends the reading: the missing end-of-file record, and the text cut to what was kept.
  void finish() {
    if (table_.faults.any_record && !end_seen_) note(fault::no_end);
    table_.text.resize(used_);
  }

 private:
  void note(fault f, std::uint64_t expected = 0, std::uint64_t found = 0) {
    fault_lines& k = table_.faults.kinds[static_cast<std::size_t>(f)];
    if (k.lines++ == 0) k = {table_.rows, 1, expected, found};
  }

  // Checks the record `s` of `length` characters. `head`: its first nine are a record head,
  // whose type is `type`.
  void check_record(const char* s, std::uint64_t length, bool& head, unsigned& type) {
    table_.faults.any_record = true;
    if (end_seen_) note(fault::after_end);
    std::array<unsigned char, 260> bytes{};  // count, address, type, 255 data, checksum
    const std::size_t most =
        static_cast<std::size_t>(std::min<std::uint64_t>((length - 1) / 2, 260));
    std::size_t pairs = 0;
    for (; pairs < most; ++pairs) {
      const int high = hex_values[static_cast<unsigned char>(s[1 + 2 * pairs])];
      const int low = hex_values[static_cast<unsigned char>(s[2 + 2 * pairs])];
      if (high < 0 || low < 0) break;
      bytes[pairs] = static_cast<unsigned char>(high << 4 | low);
    }
    head = pairs >= 4;
    type = bytes[3];
    const unsigned count = bytes[0];
    if (pairs < 5 || pairs != count + 5 || length != 2 * pairs + 1) {
      note(fault::malformed);
      return;
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < pairs; ++i) sum += bytes[i];
    if ((sum & 0xFF) != 0) note(fault::bad_checksum);
    if (type == 0) data_record(static_cast<unsigned>(bytes[1] << 8 | bytes[2]), count);
    if (type == 1) end_seen_ = true;
    if ((type == 2 || type == 4) && count == 2) {
      base_ = std::uint64_t{static_cast<unsigned>(bytes[4] << 8 | bytes[5])}
              << (type == 2 ? 4 : 16);
      if (base_ != 0) note(fault::high_base, base_);
    }
  }

  void data_record(unsigned address, std::size_t count) {
    if (count == 0) return;
    const std::uint64_t at = base_ + address;
    if (placed_ && next_ != at) note(fault::address_gap, next_, at);
    placed_ = true;
    next_ = at + count;
  }

  // Makes room for `n` more characters and a row end; false when the text would pass its limit.
  bool grow(std::size_t n) {
    if (n >= max_text_ - used_) {
      full_ = true;
      return false;
    }
    // The text grows within its capacity in steps short of the 2 KiB from which zeroing takes
    // a slow-starting string instruction.
    std::string& text = table_.text;
    if (text.size() < used_ + n + slack) {
      text.resize(std::max(used_ + n + slack, std::min(text.size() + 1984, text.capacity())));
    }
    return true;
  }

  // Appends `n` characters at `s` and the row end.
  void keep(const char* s, std::size_t n) {
    if (!grow(n)) return;
    char* const out = table_.text.data() + used_;
    std::memcpy(out, s, n);
    out[n] = row_end_;
    used_ += n + 1;
    ++table_.non_empty;
    table_.chars += n;
  }

  row_table& table_;
  const std::size_t max_text_;
  const char row_end_;
  std::size_t used_ = 0;  // bytes of the text kept
  bool full_ = false;
  bool end_seen_ = false;
  bool placed_ = false;                // a data record has given `next_`
  std::uint64_t base_ = 0, next_ = 0;  // the address base, and where the data goes on
};

}  // namespace

read_status read_rows(byte_source& in, row_table& table, std::size_t max_text, char row_end) {
  line_reader lines(table, max_text, row_end);
  const std::unique_ptr<char[]> buffer(new char[block + slack]);
  // A line that a block leaves open: its first characters, as many as tell all it gives (a
  // longer line is too large or cut at a zero byte by then), and its length.
  const std::size_t cap = std::max(std::min(max_text, SIZE_MAX - 1024) + 16, std::size_t{1024});
  std::string open;
  std::uint64_t open_length = 0;
  char open_last = 0;
  const auto extend = [&](const char* s, std::size_t n) {
    open.append(s, std::min(n, cap - open.size()));
    open_length += n;
    if (n > 0) open_last = s[n - 1];
  };
  const auto take_open = [&](bool line_end) {
    // A CR before the line feed is part of the line end.
    const bool cr = line_end && open_length > 0 && open_last == '\r';
    if (cr && open.size() == open_length) open.pop_back();
    lines.take_line(open.data(), open.size(), open_length - cr);
    open.clear();
    open_length = 0;
  };
  bool done = false, failed = false;
  while (!done && !lines.full()) {
    std::size_t got = 0;
    while (got < block && !done) {
      const std::ptrdiff_t n = in.read(buffer.get() + got, block - got);
      done = n <= 0;
      failed = n < 0;
      got += done ? 0 : static_cast<std::size_t>(n);
    }
    if (const void* z = std::memchr(buffer.get(), 0x1A, got)) {
      got = static_cast<std::size_t>(static_cast<const char*>(z) - buffer.get());
      done = true;
      failed = false;
    }
    std::memset(buffer.get() + got, 0, slack);
    const char* p = buffer.get();
    const char* const end = p + got;
    while (p < end && !lines.full()) {
      if (open_length == 0) {
        // Blank lines, all LF or all CR LF, are only counted.
        if (p[0] == '\n') {
          const std::size_t n = run_length(p, static_cast<std::size_t>(end - p), '\n', '\n');
          table.rows += n;
          p += n;
          continue;
        }
        if (p[0] == '\r' && p[1] == '\n') {
          const std::size_t n = run_length(p, static_cast<std::size_t>(end - p), '\r', '\n') / 2;
          table.rows += n;
          p += 2 * n;
          continue;
        }
        if (p[0] == ':') {
          const char* const after = lines.quick_records(p, end);
          if (after != p) {
            p = after;
            continue;
          }
        }
      }
      const auto* lf =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (lf == nullptr) {
        extend(p, static_cast<std::size_t>(end - p));
        break;
      }
      if (open_length == 0) {
        const auto n = static_cast<std::size_t>(lf - p) - (lf > p && lf[-1] == '\r');
        lines.take_line(p, n, n);
      } else {
        extend(p, static_cast<std::size_t>(lf - p));
        take_open(true);
      }
      p = lf + 1;
    }
  }
  if (open_length > 0 && !lines.full()) take_open(false);
  lines.finish();
  if (lines.full()) return read_status::too_large;
  return failed ? read_status::read_error : read_status::ok;
}

}  // namespace tarnwick::hexreader
