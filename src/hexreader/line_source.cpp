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
constexpr std::ptrdiff_t check_step = 8 * 1024;

}  // namespace

// The buffer's first byte is the zero byte before a view moved to the front.
line_source::line_source(byte_source& in)
    : in_(in), buffer_(new char[1 + capacity + slack]), pos_(buffer_.get() + 1) {
  std::memset(buffer_.get(), 0, 1 + slack);
  end_ = read_end_ = pos_;
}

void line_source::fill() {
  if (static_cast<std::size_t>(end_ - pos_) >= window) return;
  char* const base = buffer_.get() + 1;
  if (static_cast<std::size_t>(read_end_ - pos_) < window && !done_) {
    const std::ptrdiff_t in_view = end_ - pos_;
    auto len = static_cast<std::size_t>(read_end_ - pos_);
    std::memmove(base, pos_, len);
    while (!done_ && len < window) {
      const std::ptrdiff_t got = in_.read(base + len, capacity - len);
      done_ = got <= 0;
      failed_ = got < 0;
      len += done_ ? 0 : static_cast<std::size_t>(got);
    }
    std::memset(base + len, 0, slack);
    pos_ = base;
    end_ = base + in_view;
    read_end_ = base + len;
  }
  const char* const stop =
      read_end_ - end_ > check_step + std::ptrdiff_t{window} ? end_ + check_step : read_end_;
  const auto* z = static_cast<const char*>(std::memchr(end_, 0x1A, std::size_t(stop - end_)));
  end_ = z != nullptr ? z : stop;
  if (z != nullptr) {
    done_ = true;
    read_end_ = z;
    std::memset(base + (z - base), 0, slack);
  }
}

std::size_t line_source::pattern_run(const char* p, char a, char b) {
  const std::size_t n = hexreader::pattern_run(p, static_cast<std::size_t>(read_end_ - p), a, b);
  end_ = std::max(end_, p + n);
  return n;
}

// Reads in pieces that fit in view; a piece that takes its whole limit leaves the line open.
std::size_t line_source::read_line(char* out, std::size_t max) {
  std::size_t taken = 0;
  for (bool open = true; open && !at_end_ && taken < max;) {
    fill();
    const std::size_t limit = std::min(max - taken, window - 1);
    const line_read r = bounded_read(pos_, static_cast<std::size_t>(end_ - pos_), limit,
                                     find_line_feed(pos_, limit + 1));
    std::memcpy(out + taken, pos_, r.length);
    taken += r.length;
    consume_to(pos_ + r.consumed, r.at_end);
    open = r.consumed == r.length;
  }
  return taken;
}

}  // namespace tarnwick::hexreader
