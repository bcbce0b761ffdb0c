#include "hexreader/line_source.h"

#include <algorithm>
#include <cstring>

#include "hexreader/scan.h"

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t capacity = std::size_t{64} * 1024;
constexpr std::size_t slack = line_source::window + 15;
// Ctrl-Z is looked for this far ahead of the reads, so that a run of line ends, measured in a
// pass of its own, is mostly not looked at twice.
constexpr std::ptrdiff_t check_step = std::ptrdiff_t{8} * 1024;

}  // namespace

line_source::line_source(byte_source& in)
    : in_(in), buffer_(new char[1 + capacity + slack]), pos_(buffer_.get() + 1) {
  std::memset(buffer_.get(), 0, 1 + slack);
  end_ = read_end_ = pos_;
}

// The unread bytes move to the front of the buffer before a read, so a window always fits.
void line_source::fill() {
  constexpr auto window_bytes = static_cast<std::ptrdiff_t>(window);
  if (whole(pos_)) return;
  if (read_end_ - pos_ < window_bytes && !done_) {
    char* const base = buffer_.get() + 1;
    auto len = static_cast<std::size_t>(read_end_ - pos_);
    std::memmove(base, pos_, len);
    while (!done_ && len < window) {
      const std::ptrdiff_t got = in_.read(base + len, capacity - len);
      done_ = got <= 0;
      failed_ = got < 0;
      len += done_ ? 0 : static_cast<std::size_t>(got);
    }
    std::memset(base + len, 0, slack);
    end_ = base + (end_ - pos_);
    pos_ = base;
    read_end_ = base + len;
  }
  char* const stop = read_end_ - end_ > check_step + window_bytes ? end_ + check_step : read_end_;
  char* const z =
      static_cast<char*>(std::memchr(end_, 0x1A, static_cast<std::size_t>(stop - end_)));
  end_ = z != nullptr ? z : stop;
  if (z != nullptr) {
    done_ = true;
    read_end_ = z;
    std::memset(z, 0, slack);
  }
}

std::size_t line_source::run(const char* p, char a, char b) {
  const std::size_t n = scan::find(p, static_cast<std::size_t>(read_end_ - p), a, b, false);
  end_ += std::max(std::ptrdiff_t{0}, p + n - end_);
  return n;
}

// Reads in pieces that fit in view; a piece that takes its whole limit leaves the line open.
std::size_t line_source::read_line(char* out, std::size_t max) {
  std::size_t taken = 0;
  for (bool open = true; open && !at_end_ && taken < max;) {
    fill();
    const std::size_t limit = std::min(max - taken, window - 1);
    const line_read r = bounded_read(pos_, static_cast<std::size_t>(end_ - pos_), limit,
                                     scan::line_feed(pos_, limit + 1));
    std::memcpy(out + taken, pos_, r.length);
    taken += r.length;
    consume_to(pos_ + r.consumed, r.at_end);
    open = r.consumed == r.length;
  }
  return taken;
}

}  // namespace tarnwick::hexreader
