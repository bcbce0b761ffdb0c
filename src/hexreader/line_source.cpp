#include "hexreader/line_source.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {
namespace {

constexpr std::size_t block_size = 64 * 1024;
constexpr char ctrl_z = 0x1A;

}  // namespace

line_source::line_source(byte_source& in) : in_(in), block_(new char[block_size]) {}

std::size_t line_source::read_line(char* out, std::size_t max) {
  if (at_end_) return 0;
  std::size_t taken = 0;
  while (taken < max) {
    if (pos_ == end_ && !fill()) {
      at_end_ = true;
      return taken;
    }
    const std::size_t want = std::min(max - taken, static_cast<std::size_t>(end_ - pos_));
    const auto* lf = static_cast<const char*>(std::memchr(pos_, '\n', want));
    const std::size_t n = lf != nullptr ? static_cast<std::size_t>(lf - pos_) : want;
    std::memcpy(out + taken, pos_, n);
    taken += n;
    pos_ += n;
    if (lf != nullptr) {
      ++pos_;
      return taken;
    }
  }
  return taken;
}

// Reads the next block and turns it into text in place; false once no text is left.
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
    // Drop each CR that precedes an LF, compacting the block as we go.
    char* write = block;
    const char* read = block;
    const char* const stop = block + len;
    while (const void* found = std::memchr(read, '\r', static_cast<std::size_t>(stop - read))) {
      const char* cr = static_cast<const char*>(found);
      const std::size_t run = static_cast<std::size_t>(cr - read);
      std::memmove(write, read, run);
      write += run;
      read = cr + 1;
      if (read == stop && !source_done_) {
        carry_cr_ = true;  // its successor is still in the file
      } else if (read == stop || *read != '\n') {
        *write++ = '\r';
      }
    }
    const std::size_t rest = static_cast<std::size_t>(stop - read);
    std::memmove(write, read, rest);
    write += rest;
    if (write != block) {
      pos_ = block;
      end_ = write;
      return true;
    }
  }
  return false;
}

}  // namespace tarnwick
