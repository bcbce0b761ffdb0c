// Where one key ends in the bytes a terminal sends, for the wait for a key. Pure, so it builds
// and is tested on every platform; the POSIX terminal feeds it the bytes.
#pragma once

namespace tarnwick::frontend::text {

// Follows the bytes of one key as a terminal sends it: a character (UTF-8), a lone Esc, an
// escape sequence (CSI, SS3, the Linux console's ESC [ [ x), or Esc before any of these (Alt).
// Its state is a few fields whatever the input, so no flood of bytes can exhaust memory.
class key_bytes {
 public:
  // Takes the key's next byte: true when that byte completes the key. A byte that cannot
  // continue the key ends it too, and is taken with it.
  bool take(unsigned char byte);

 private:
  enum class stage { first, after_escape, ss3, csi_start, csi, character };
  stage stage_ = stage::first;
  int continuations_left_ = 0;

  // Starts a character with `lead`: true when it has no continuation bytes.
  bool start_character(unsigned char lead);
  // Takes a byte of a CSI sequence's parameters: true when it is the final byte instead.
  bool take_csi(unsigned char byte);
};

}  // namespace tarnwick::frontend::text
