// Input read the Windows text way, in bounded line reads.
#pragma once

#include <cstddef>
#include <memory>

#include "hexreader/byte_source.h"

namespace tarnwick::hexreader {

// What one bounded line read takes from the raw bytes in front of it.
struct line_read {
  std::size_t length;    // characters taken
  std::size_t consumed;  // bytes used up: the characters, then the line end if one was met
  bool at_end;           // the read ran into the end of the input
};

// The bounded line read of at most `limit` characters from the `avail` bytes at `p`, which
// hold at least limit + 1 bytes or else the whole rest of the input. A line feed met before
// the limit ends the read and is consumed, a CR just before it with it; once `limit`
// characters are taken the read ends without looking further. `lf` is the index of the first
// line feed at `p`, or any index past `limit` when none comes up to there. The byte before `p`
// is read too, and is taken for no CR of a line feed at `p`: no read starts inside a CR LF.
inline line_read bounded_read(const char* p, std::size_t avail, std::size_t limit, std::size_t lf) {
  // A CR LF is one line end, even when its CR is the last character the limit allows.
  if (lf < limit || (lf == limit && p[lf - 1] == '\r')) {
    const bool cr = p[lf - 1] == '\r';
    return {lf - cr, lf + 1, false};
  }
  if (avail < limit) return {avail, avail, true};
  return {limit, limit, false};
}

// Delivers the input as a Windows text stream on every platform: CR LF is one line feed, a
// lone CR is an ordinary character, Ctrl-Z (0x1A) ends the input, and every other byte (NUL
// and 0x80-0xFF included) is an ordinary character. The raw bytes are kept in view in place,
// at least `window` of them unless the input ends sooner, for callers that read them there.
class line_source {
 public:
  // The most bytes one iteration of read_rows looks at: a record head and a row, each with a
  // CR LF.
  static constexpr std::size_t window = 9 + 2 + 100 + 2;

  explicit line_source(byte_source& in);

  // Bounded line read into `out`: bounded_read with `max` as the limit, the characters copied.
  // Nothing is taken once the input has ended.
  std::size_t read_line(char* out, std::size_t max);

  // True once a read has run into the end of the input.
  bool at_end() const { return at_end_; }
  // True when the input ended because it could not be read, not because it was over.
  bool read_failed() const { return at_end_ && source_failed_; }

  // Brings at least `window` unread bytes into view, or all the input has left.
  void fill();
  // The unread bytes in view. A search may look up to `window` + 15 bytes past any of them:
  // behind the view come bytes not yet in it, or zero bytes once the input has no more. The
  // byte before the first may be read.
  const char* begin() const { return pos_; }
  const char* end() const { return end_; }
  // True when the bytes in view are all the input has left.
  bool exhausted() const { return source_done_ && end_ == read_end_; }
  // Marks the bytes before `p` as read; a read that met the end of the input says so.
  void consume_to(const char* p, bool at_end) {
    pos_ = p;
    at_end_ = at_end_ || at_end;
  }

  // How many bytes from `p`, in view, follow the pattern a b a b ..., where neither byte is a
  // Ctrl-Z: the measure runs on past the view as far as the bytes read, and brings what it
  // covers into view, so a long run is looked at once.
  std::size_t pattern_run(const char* p, char a, char b);

 private:
  byte_source& in_;
  std::unique_ptr<char[]> buffer_;
  const char* pos_;
  const char* end_;             // the view ends here: no Ctrl-Z before it
  const char* read_end_;        // the bytes read end here, zero bytes behind them
  bool source_done_ = false;    // nothing more will be read from `in_`
  bool source_failed_ = false;  // ...because a read failed
  bool at_end_ = false;
};

}  // namespace tarnwick::hexreader
