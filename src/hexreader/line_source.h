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

// The bounded read of at most `limit` characters from the `avail` bytes at `p`, whose first
// line feed is `lf`, past `limit` if none comes by then. A CR LF is one line end, even with its
// CR the last character the limit allows; no read starts inside one, so p[-1] may be read.
inline line_read bounded_read(const char* p, std::size_t avail, std::size_t limit, std::size_t lf) {
  if (lf < limit || (lf == limit && p[static_cast<std::ptrdiff_t>(lf) - 1] == '\r')) {
    const bool cr = p[static_cast<std::ptrdiff_t>(lf) - 1] == '\r';
    return {lf - cr, lf + 1, false};
  }
  return avail < limit ? line_read{avail, avail, true} : line_read{limit, limit, false};
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

  // Brings `window` unread bytes into view, or all there are. The byte before the view and
  // `window` + 15 bytes past it may be read: bytes not yet in view, or zeros.
  void fill();
  const char* begin() const { return pos_; }
  const char* end() const { return end_; }
  // Whether the view holds all that an iteration at `p` may look at.
  bool whole(const char* p) const { return end_ - p >= std::ptrdiff_t{window} || ended(); }
  void consume_to(const char* p, bool at_end) {
    pos_ += p - pos_;
    at_end_ = at_end_ || at_end;
  }
  // The length of the run a b a b ... at `p` in all the bytes read, which it takes into view.
  std::size_t run(const char* p, char a, char b);

 private:
  bool ended() const { return done_ && end_ == read_end_; }  // no byte will come into view
  byte_source& in_;
  std::unique_ptr<char[]> buffer_;  // a zero byte, then the bytes read, then zeros
  char* pos_;
  char* end_;                                            // no Ctrl-Z comes before it
  char* read_end_;                                       // where the bytes read end
  bool done_ = false, failed_ = false, at_end_ = false;  // done_: nothing more comes from `in_`
};

}  // namespace tarnwick::hexreader
