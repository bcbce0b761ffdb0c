// Input read the Windows text way, in bounded line reads.
#pragma once

#include <cstddef>
#include <memory>

#include "hexreader/byte_source.h"

namespace tarnwick::hexreader {

// What a bounded line read takes: `length` characters, `consumed` bytes with its line end.
struct line_read {
  std::size_t length;
  std::size_t consumed;
  bool at_end;  // it ran into the end of the input
};

// The bounded read of at most `limit` characters from the `avail` bytes at `p`, the first line
// feed at `lf`: `avail` holds limit + 1 bytes or all that is left, `lf` is past `limit` if none
// comes by then. A CR LF is one line end, even with its CR the last character the limit allows;
// no read starts inside one, so the byte before `p` may be looked at.
inline line_read bounded_read(const char* p, std::size_t avail, std::size_t limit, std::size_t lf) {
  if (lf < limit || (lf == limit && p[static_cast<std::ptrdiff_t>(lf) - 1] == '\r')) {
    const bool cr = p[static_cast<std::ptrdiff_t>(lf) - 1] == '\r';
    return {lf - cr, lf + 1, false};
  }
  if (avail < limit) return {avail, avail, true};
  return {limit, limit, false};
}

// The input as a Windows text stream on every platform: CR LF is one line feed, a lone CR an
// ordinary character, and Ctrl-Z (0x1A) ends the input; NUL and 0x80-0xFF are characters.
class line_source {
 public:
  // The most bytes one iteration of read_rows looks at: a head and a row, each with a CR LF.
  static constexpr std::size_t window = 9 + 2 + 100 + 2;

  explicit line_source(byte_source& in);

  // bounded_read with `max` as its limit, the characters copied to `out`; none once ended.
  std::size_t read_line(char* out, std::size_t max);
  bool at_end() const { return at_end_; }
  bool read_failed() const { return at_end_ && failed_; }  // rather than over

  // Brings at least `window` unread bytes into view, or all there are. Searches may look at
  // the byte before the view and `window` + 15 bytes past it: bytes not yet in view, or zeros.
  void fill();
  const char* begin() const { return pos_; }
  const char* end() const { return end_; }
  bool exhausted() const { return done_ && end_ == read_end_; }
  void consume_to(const char* p, bool at_end) {
    pos_ = p;
    at_end_ = at_end_ || at_end;
  }
  // The run of a b a b ... at `p`, measured in one pass as far as bytes were read, which takes
  // what it covers into view: neither byte is a Ctrl-Z.
  std::size_t pattern_run(const char* p, char a, char b);

 private:
  byte_source& in_;
  std::unique_ptr<char[]> buffer_;
  const char* pos_;
  const char* end_;       // no Ctrl-Z comes before it
  const char* read_end_;  // the bytes read end here, zero bytes behind them
  bool done_ = false;     // nothing more will be read from `in_`
  bool failed_ = false;
  bool at_end_ = false;
};

}  // namespace tarnwick::hexreader
