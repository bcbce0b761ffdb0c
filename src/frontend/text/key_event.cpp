#include "frontend/text/key_event.h"

namespace tarnwick::frontend::text {
namespace {

constexpr unsigned char escape = 0x1b;

// Number of continuation bytes a UTF-8 character starting with `lead` has.
int continuation_count(unsigned char lead) {
  if (lead >= 0xc2 && lead <= 0xdf) return 1;
  if (lead >= 0xe0 && lead <= 0xef) return 2;
  if (lead >= 0xf0 && lead <= 0xf4) return 3;
  return 0;
}

}  // namespace

bool key_bytes::take(unsigned char byte) {
  switch (stage_) {
    case stage::first:
      if (byte == escape) {
        stage_ = stage::after_escape;
        return false;
      }
      return start_character(byte);
    case stage::after_escape:
      // A further Esc is Alt plus Esc, or plus a sequence key as rxvt sends it: still one key.
      if (byte == escape) return false;
      if (byte == 'O') {
        stage_ = stage::ss3;
        return false;
      }
      if (byte == '[') {
        stage_ = stage::csi_start;
        return false;
      }
      return start_character(byte);  // Alt plus a character
    case stage::ss3:
      return true;  // exactly one more byte
    case stage::csi_start:
      if (byte == '[') {  // the Linux console's F1-F5: ESC [ [ A..E
        stage_ = stage::ss3;
        return false;
      }
      return take_csi(byte);
    case stage::csi:
      return take_csi(byte);
    case stage::character:
      return (byte & 0xc0) != 0x80 || --continuations_left_ == 0;
  }
  return true;
}

bool key_bytes::start_character(unsigned char lead) {
  continuations_left_ = continuation_count(lead);
  stage_ = stage::character;
  return continuations_left_ == 0;
}

bool key_bytes::take_csi(unsigned char byte) {
  // Parameter and intermediate bytes run until the final byte (0x40-0x7e) ends the sequence.
  stage_ = stage::csi;
  return byte < 0x20 || byte > 0x3f;
}

}  // namespace tarnwick::frontend::text
