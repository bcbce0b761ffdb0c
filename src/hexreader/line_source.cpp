#include "hexreader/line_source.h"

#include <algorithm>
#include <cstring>

namespace tarnwick::hexreader {
namespace {

constexpr std::size_t block_size = std::size_t{64} * 1024;
constexpr char ctrl_z = 0x1A;

}  // namespace

line_source::line_source(byte_source& in) : in_(in), block_(new char[block_size]) {}

// A CR directly before an LF is part of the line end. A block never ends in such a CR (fill
// holds it back), and no read ends between the two, so both always lie in one block.
std::size_t line_source::read_line(char* out, std::size_t max) {
  if (at_end_) return 0;
  std::size_t taken = 0;
  while (taken < max) {
    if (pos_ == end_ && !fill()) {
      at_end_ = true;
      return taken;
    }
    const std::size_t left = max - taken;
    const std::size_t avail = static_cast<std::size_t>(end_ - pos_);
    const std::size_t want = std::min(left, avail);
    const auto* lf = static_cast<const char*>(std::memchr(pos_, '\n', want));
    std::size_t n = want;
    std::size_t line_end = 0;
    if (lf != nullptr) {
      n = static_cast<std::size_t>(lf - pos_);
      line_end = 1;
      if (n > 0 && pos_[n - 1] == '\r') {
        --n;
        ++line_end;
      }
    } else if (want == left && want < avail && pos_[want - 1] == '\r' && pos_[want] == '\n') {
      // The last character the limit allows is a CR whose LF follows: the line ends first.
      --n;
      line_end = 2;
    }
    std::memcpy(out + taken, pos_, n);
    taken += n;
    pos_ += n + line_end;
    if (line_end != 0) return taken;
  }
  return taken;
}

// Reads the next block: cut at a Ctrl-Z, and a final CR kept back until its successor is
// known. False once no byte is left.
bool line_source::fill() {
  char* const block = block_.get();
  while (!source_done_) {
    std::size_t len = 0;
    if (carry_cr_) {
      block[len++] = '\r';
      carry_cr_ = false;
    }
    const std::ptrdiff_t got = in_.read(block + len, block_size - len);
    if (got <= 0) {
      source_done_ = true;
      read_failed_ = got < 0;
    } else {
      len += static_cast<std::size_t>(got);
    }
    if (const void* z = std::memchr(block, ctrl_z, len)) {
      len = static_cast<std::size_t>(static_cast<const char*>(z) - block);
      source_done_ = true;
    }
    if (len > 0 && block[len - 1] == '\r' && !source_done_) {
      carry_cr_ = true;
      --len;
    }
    if (len > 0) {
      pos_ = block;
      end_ = block + len;
      const void* zero = std::memchr(block, '\0', len);
      first_zero_ = zero != nullptr ? static_cast<const char*>(zero) : end_;
      return true;
    }
  }
  return false;
}

}  // namespace tarnwick::hexreader
