// Input read the Windows text way, in bounded line reads.
#pragma once

#include <cstddef>
#include <memory>

#include "hexreader/byte_source.h"

namespace tarnwick::hexreader {

// What one bounded line read takes from the raw bytes in front of it.
struct line_read {
  std::size_t length;    // characters taken
  std::size_t consumed;  // the characters, then the line end if one was met
  bool at_end;           // the read ran into the end of the input
};

// The bounded read of at most `limit` characters at `p`, whose first line feed is at `lf`.
// The `avail` bytes there hold limit + 1 or all that is left; `lf` may be anything past
// `limit` when none comes by then. A CR LF is one line end, even with its CR the last
// character the limit allows; the byte before `p` is looked at, as no read starts inside one.
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
  // True when the input ended because it could not be read, not because it was over.
  bool read_failed() const { return at_end_ && failed_; }

  // Brings at least `window` unread bytes into view, or all there are.
  void fill();
  // The view. Searches may look at the byte before it and up to `window` + 15 bytes past any
  // byte in it: behind it come bytes not yet in view, or zero bytes once the input has no more.
  const char* begin() const { return pos_; }
  const char* end() const { return end_; }
  bool exhausted() const { return done_ && end_ == read_end_; }
  // Marks the bytes before `p` read, and the input ended if the last read met its end.
  void consume_to(const char* p, bool at_end) {
    pos_ = p;
    at_end_ = at_end_ || at_end;
  }
  // Measures the run of a b a b ... at `p` in one pass, past the view as far as bytes were
  // read, and takes what it covers into view: neither byte is a Ctrl-Z.
  std::size_t pattern_run(const char* p, char a, char b);

 private:
  byte_source& in_;
  std::unique_ptr<char[]> buffer_;
  const char* pos_;
  const char* end_;       // no Ctrl-Z comes before it
  const char* read_end_;  // the bytes read end here, zero bytes behind them
  bool done_ = false;     // nothing more will be read from `in_`
  bool failed_ = false;   // because a read failed
  bool at_end_ = false;
};

}  // namespace tarnwick::hexreader
