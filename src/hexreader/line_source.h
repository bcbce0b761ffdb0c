// Input read the Windows text way, in bounded line reads.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "hexreader/byte_source.h"

namespace tarnwick::hexreader {

// Delivers the input as a Windows text stream on every platform: CR LF is one line feed, a
// lone CR is an ordinary character, Ctrl-Z (0x1A) ends the input, and every other byte (NUL
// and 0x80-0xFF included) is an ordinary character. The input is read in large blocks.
class line_source {
 public:
  explicit line_source(byte_source& in);

  // Bounded line read: takes at most `max` characters into `out` and gives their count.
  // A line feed met before the limit is consumed and not stored; once `max` characters are
  // taken the read ends without looking further, so a line feed after them stays unread.
  // Nothing is taken once the input has ended.
  std::size_t read_line(char* out, std::size_t max);

  // True once a read has run into the end of the input.
  bool at_end() const { return at_end_; }
  // True when the input ended because it could not be read, not because it was over.
  bool read_failed() const { return read_failed_; }

  // The raw bytes read but not yet consumed, for callers that scan lines in place. They
  // never end in a CR whose line feed is still unread, and a CR LF in them is one line end.
  std::string_view buffered() const { return {pos_, static_cast<std::size_t>(end_ - pos_)}; }
  // Marks the first `n` buffered bytes as consumed.
  void consume(std::size_t n) { pos_ += n; }
  // The first zero byte of the block read last, or the end of the block when it holds none.
  const char* first_zero() const { return first_zero_; }

 private:
  bool fill();

  byte_source& in_;
  std::unique_ptr<char[]> block_;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  const char* first_zero_ = nullptr;
  bool carry_cr_ = false;     // a CR ended the last block; the next byte decides what it is
  bool source_done_ = false;  // nothing more will be read from `in_`
  bool at_end_ = false;
  bool read_failed_ = false;
};

}  // namespace tarnwick::hexreader
