#include "hexreader/line_source.h"

#include <algorithm>
#include <cstring>

#include "hexreader/scan.h"

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t capacity = std::size_t{64} * 1024;
// Zero bytes behind the bytes read, for the searches that look past the view.
constexpr std::size_t slack = line_source::window + 15;
// Bytes looked at for a Ctrl-Z at a time: few enough that a run of line ends, which needs no
// such look, is mostly measured in its one pass; many enough that looking costs little.
constexpr std::size_t check_step = std::size_t{8} * 1024;
constexpr char ctrl_z = 0x1A;

}  // namespace

// The buffer starts with a zero byte, the one before the first in view after a move.
line_source::line_source(byte_source& in)
    : in_(in),
      buffer_(new char[1 + capacity + slack]),
      pos_(buffer_.get() + 1),
      end_(pos_),
      read_end_(pos_) {
  std::memset(buffer_.get(), 0, 1 + slack);
}

void line_source::fill() {
  if (static_cast<std::size_t>(end_ - pos_) >= window) return;
  if (static_cast<std::size_t>(read_end_ - pos_) < window && !source_done_) {
    char* const buffer = buffer_.get() + 1;
    const auto checked = static_cast<std::size_t>(end_ - pos_);
    auto len = static_cast<std::size_t>(read_end_ - pos_);
    std::memmove(buffer, pos_, len);
    while (!source_done_ && len < window) {
      const std::ptrdiff_t got = in_.read(buffer + len, capacity - len);
      if (got > 0) {
        len += static_cast<std::size_t>(got);
      } else {
        source_done_ = true;
        source_failed_ = got < 0;
      }
    }
    std::memset(buffer + len, 0, slack);
    pos_ = buffer;
    end_ = buffer + checked;
    read_end_ = buffer + len;
  }
  // Brings the next bytes into view, up to the first Ctrl-Z, which ends the input.
  const char* const stop = read_end_ - end_ > static_cast<std::ptrdiff_t>(check_step + window)
                               ? end_ + check_step
                               : read_end_;
  if (const void* z = std::memchr(end_, ctrl_z, static_cast<std::size_t>(stop - end_))) {
    char* const cut = buffer_.get() + (static_cast<const char*>(z) - buffer_.get());
    std::memset(cut, 0, slack);
    end_ = cut;
    read_end_ = cut;
    source_done_ = true;
  } else {
    end_ = stop;
  }
}

std::size_t line_source::pattern_run(const char* p, char a, char b) {
  const std::size_t n = hexreader::pattern_run(p, static_cast<std::size_t>(read_end_ - p), a, b);
  if (p + n > end_) end_ = p + n;
  return n;
}

// Reads in pieces that fit in view; a piece that takes its whole limit leaves the line open,
// and the next piece goes on with it.
std::size_t line_source::read_line(char* out, std::size_t max) {
  std::size_t taken = 0;
  while (!at_end_ && taken < max) {
    fill();
    const std::size_t avail = static_cast<std::size_t>(end_ - pos_);
    const std::size_t limit = std::min(max - taken, window - 1);
    const line_read r = bounded_read(pos_, avail, limit, find_line_feed(pos_, limit + 1));
    std::memcpy(out + taken, pos_, r.length);
    taken += r.length;
    consume_to(pos_ + r.consumed, r.at_end);
    if (r.consumed > r.length) break;
  }
  return taken;
}

}  // namespace tarnwick::hexreader
