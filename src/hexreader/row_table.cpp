#include "hexreader/row_table.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t head_length = 9;      // ':', byte count, address and type
constexpr std::size_t checksum_digits = 2;  // the record checksum, which ends every row
constexpr std::size_t block = std::size_t{64} * 1024;
// Room past the text for the 32-byte stores.
constexpr std::size_t slack = 64;
// Zeros past the bytes read: a record's line end is looked for there, and its digits loaded,
// without a bounds check.
constexpr std::size_t read_slack = 1024;

// The value of each byte as a hex digit, or 0xFF.
constexpr std::array<unsigned char, 256> hex_values = [] {
  std::array<unsigned char, 256> v{};
  for (unsigned c = 0; c < 256; ++c) {
    const unsigned value = c >= '0' && c <= '9'   ? c - '0'
                           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                  : 0xFF;
    v[c] = static_cast<unsigned char>(value);
  }
  return v;
}();

#if defined(__x86_64__)
// The vector code: AVX2, where the processor and the system have it, 32 bytes a step.
namespace wide {

using lane = __m256i;
#define TARNWICK_AVX2 __attribute__((target("avx2")))

// Whether the processor has AVX2 and the system saves its registers.
bool usable() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0) return false;
  unsigned low = 0, high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (low & 6) == 6 && __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_AVX2) != 0;
}

TARNWICK_AVX2 inline lane load(const char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const lane*>(p));
}

// The constants of hex_digits, made once for a loop of calls.
struct hex_constants {
  lane digit_shift, digit_top, fold, letter_shift, letter_top, low_bits, nine;
};
TARNWICK_AVX2 inline hex_constants make_hex_constants() {
  // Signed compares after a shift that brings each range to the bottom of the signed bytes.
  return {_mm256_set1_epi8(0x50), _mm256_set1_epi8(-118), _mm256_set1_epi8(0x20),
          _mm256_set1_epi8(0x1F), _mm256_set1_epi8(-122), _mm256_set1_epi8(0x0F),
          _mm256_set1_epi8(9)};
}

// The 32 bytes at `p` as hex digit values, with a byte of ones in `valid` for each that is one.
TARNWICK_AVX2 inline lane hex_digits(const char* p, lane& valid, const hex_constants& c) {
  const lane x = load(p);
  const lane digit = _mm256_cmpgt_epi8(c.digit_top, _mm256_add_epi8(x, c.digit_shift));
  const lane letter =
      _mm256_cmpgt_epi8(c.letter_top, _mm256_add_epi8(_mm256_or_si256(x, c.fold), c.letter_shift));
  valid = _mm256_or_si256(digit, letter);
  return _mm256_add_epi8(_mm256_and_si256(x, c.low_bits), _mm256_and_si256(letter, c.nine));
}

// The length of the run a b a b ... at `p`, at most `n`; may read 31 bytes past `n`.
TARNWICK_AVX2 std::size_t run_length(const char* p, std::size_t n, char a, char b) {
  const lane pattern = _mm256_set1_epi16(static_cast<short>(
      static_cast<unsigned char>(a) | static_cast<unsigned>(static_cast<unsigned char>(b)) << 8));
  std::size_t i = 0;
  for (; i + 128 <= n; i += 128) {  // runs are long: four lanes a step while all match
    const lane m = _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(load(p + i), pattern),
                                                     _mm256_cmpeq_epi8(load(p + i + 32), pattern)),
                                    _mm256_and_si256(_mm256_cmpeq_epi8(load(p + i + 64), pattern),
                                                     _mm256_cmpeq_epi8(load(p + i + 96), pattern)));
    if (_mm256_movemask_epi8(m) != -1) break;
  }
  for (; i < n; i += 32) {
    const auto miss =
        ~static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(load(p + i), pattern)));
    if (miss != 0) return std::min(n, i + static_cast<std::size_t>(std::countr_zero(miss)));
  }
  return n;
}

}  // namespace wide
#endif

// Whether the vector code runs here.
bool vector_code_usable() {
#if defined(__x86_64__)
  return wide::usable();
#else
  return false;
#endif
}

// The length of the run a b a b ... at `p`, at most `n`; may read 31 bytes past `n`.
std::size_t run_length(const char* p, std::size_t n, char a, char b, bool vector) {
#if defined(__x86_64__)
  if (vector) return wide::run_length(p, n, a, b);
#endif
  (void)vector;
  std::size_t i = 0;
  while (i < n && p[i] == (i % 2 == 0 ? a : b)) ++i;
  return i;
}

class line_reader {
 public:
  line_reader(row_table& table, std::size_t max_text, char row_end)
      : table_(table),
        used_(table.text.size()),
        limit_(used_ + std::min(max_text, SIZE_MAX - used_)),
        row_end_(row_end) {
    table_.text.reserve(used_ + std::min(max_text, block) + slack);
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

#if defined(__x86_64__)
  // Takes the data records of the right form with a right checksum at `p` and after it, each
  // following on from the one before, and returns where the first other line starts, for
  // take_line. A line the block cuts meets the zeros after it, and is left. Reads up to 31
  // bytes past each line.
  TARNWICK_AVX2 const char* quick_records(const char* p) {
    using namespace wide;
    // Bytes 0-31 ones, 32-63 zeros: a mask of the first or last bytes of a lane, by where it
    // is loaded from.
    alignas(32) static constexpr std::array<signed char, 64> ones_zeros = [] {
      std::array<signed char, 64> m{};
      for (std::size_t i = 0; i < 32; ++i) m[i] = -1;
      return m;
    }();
    const char* const masks = reinterpret_cast<const char*>(ones_zeros.data());
    // The first data record, and those after the end-of-file record, warn or may: take_line.
    if (end_seen_ || !placed_) return p;
    hex_constants hex = make_hex_constants();
    lane low = _mm256_set1_epi16(0xFF), zero = _mm256_setzero_si256();
    lane weights = _mm256_set1_epi16(0x0110);  // 16 for a byte's first digit, 1 for its second
    // Held in registers: the compiler would otherwise make each again for every record.
    __asm__(""
            : "+x"(hex.digit_shift), "+x"(hex.digit_top), "+x"(hex.fold), "+x"(hex.letter_shift),
              "+x"(hex.letter_top), "+x"(hex.low_bits), "+x"(hex.nine), "+x"(low), "+x"(zero),
              "+x"(weights));
    // Kept in locals, which the text's stores cannot alias.
    std::uint64_t rows = 0, next = next_;
    const std::uint64_t base = base_;
    const char row_end = row_end_;
    const std::size_t used_before = used_;
    char* out = table_.text.data() + used_;
    char* room = room_end();
    while (p[0] == ':') {
      lane valid;
      lane sum = hex_digits(p + 1, valid, hex);
      // Byte i of the record in 16-bit lane i: its high digit comes first.
      const __m128i first = _mm256_castsi256_si128(sum);
      const __m128i head =
          _mm_or_si128(_mm_slli_epi16(_mm_and_si128(first, _mm256_castsi256_si128(low)), 4),
                       _mm_srli_epi16(first, 8));
      // Its first four bytes, in memory order: count, address high and low, type.
      const auto h = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(head, head)));
      const std::size_t count = h & 0xFF;
      const std::size_t digits = 2 * count + 10;
      const char* const e = p + 1 + digits;
      std::uint16_t line_end;  // LF, or CR LF, read in the machine's byte order
      std::memcpy(&line_end, e, 2);
      const std::size_t eol = (line_end & 0xFF) == '\n' ? 1 : line_end == 0x0A0D ? 2 : 0;
      if (eol == 0) break;
      // Digit values summed lane by lane, each byte modulo 256, which is all the checksum needs;
      // the last lane ends with the record, the digits taken already masked off.
      if (digits <= 32) {
        const lane inside = load(masks + 32 - digits);
        valid = _mm256_or_si256(valid, _mm256_andnot_si256(inside, _mm256_set1_epi8(-1)));
        sum = _mm256_and_si256(sum, inside);
      } else {
        std::size_t k = 32;
        if (digits > 64) [[unlikely]] {
          for (lane ok; digits - k > 32; k += 32) {
            sum = _mm256_add_epi8(sum, hex_digits(p + 1 + k, ok, hex));
            valid = _mm256_and_si256(valid, ok);
          }
        }
        lane ok;
        const lane last = hex_digits(e - 32, ok, hex);
        valid = _mm256_and_si256(valid, ok);
        sum = _mm256_add_epi8(sum, _mm256_andnot_si256(load(masks + (digits - k)), last));
      }
      // Each byte is 16 times its first digit plus its second; only their low bytes count.
      const lane bytes = _mm256_and_si256(_mm256_maddubs_epi16(sum, weights), low);
      const lane sums = _mm256_sad_epu8(bytes, zero);
      const __m128i total =
          _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
      const std::uint64_t at = base + __builtin_bswap16(static_cast<std::uint16_t>(h >> 8));
      // Any digit that is none, a type other than 00, a checksum that is wrong, a gap.
      const auto wrong = (static_cast<unsigned>(_mm256_movemask_epi8(valid)) ^ 0xFFFFFFFFU) |
                         (h >> 24) |
                         ((static_cast<unsigned>(_mm_cvtsi128_si32(total)) +
                           static_cast<unsigned>(_mm_extract_epi16(total, 4))) &
                          0xFF) |
                         static_cast<unsigned>(at != next);
      if (wrong != 0) break;
      const std::size_t n = 2 * count;
      if (room - out <= static_cast<std::ptrdiff_t>(n)) {
        used_ = static_cast<std::size_t>(out - table_.text.data());
        if (!grow(n)) break;
        out = table_.text.data() + used_;
        room = room_end();
      }
      _mm256_storeu_si256(reinterpret_cast<lane*>(out), load(p + head_length));
      for (std::size_t i = 32; i < n; i += 32) {
        _mm256_storeu_si256(reinterpret_cast<lane*>(out + i), load(p + head_length + i));
      }
      out[n] = row_end;
      out += n + 1;
      next = at + count;
      ++rows;
      p = e + eol;
    }
    used_ = static_cast<std::size_t>(out - table_.text.data());
    table_.rows += rows;
    table_.non_empty += rows;
    table_.chars += used_ - used_before - rows;
    next_ = next;
    return p;
  }
#else
  const char* quick_records(const char* p) {
    return p;
  }
#endif

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
      const unsigned high = hex_values[static_cast<unsigned char>(s[1 + 2 * pairs])];
      const unsigned low = hex_values[static_cast<unsigned char>(s[2 + 2 * pairs])];
      if (high > 15 || low > 15) break;
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

  // How far the text may be written: its limit, or short of its end by the stores' reach.
  char* room_end() {
    std::string& text = table_.text;
    return text.data() + std::min(limit_, std::max(text.size(), slack) - slack);
  }

  // Makes room for `n` more characters and a row end; false when the text would pass its limit.
  bool grow(std::size_t n) {
    if (n >= limit_ - used_) {
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
  const bool vector = vector_code_usable();
  line_reader lines(table, max_text, row_end);
  const std::unique_ptr<char[]> buffer(new char[block + read_slack]);
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
    std::memset(buffer.get() + got, 0, read_slack);
    const char* p = buffer.get();
    const char* const end = p + got;
    while (p < end && !lines.full()) {
      if (open_length == 0) {
        // Blank lines, all LF or all CR LF, are only counted.
        if (p[0] == '\n') {
          const std::size_t n =
              run_length(p, static_cast<std::size_t>(end - p), '\n', '\n', vector);
          table.rows += n;
          p += n;
          continue;
        }
        if (p[0] == '\r' && p[1] == '\n') {
          const std::size_t n =
              run_length(p, static_cast<std::size_t>(end - p), '\r', '\n', vector) / 2;
          table.rows += n;
          p += 2 * n;
          continue;
        }
        if (p[0] == ':' && vector) {
          const char* const after = lines.quick_records(p);
          if (after != p) {
            p = after;
            continue;
          }
        }
      }
      const auto* lf =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      // Ctrl-Z ends the input. It is looked for only here: the lines taken above hold none.
      if (const void* z =
              std::memchr(p, 0x1A, static_cast<std::size_t>((lf != nullptr ? lf : end) - p))) {
        extend(p, static_cast<std::size_t>(static_cast<const char*>(z) - p));
        done = true;
        failed = false;
        break;
      }
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
