// What the POSIX platform's files share, and what its own tests reach: the output's
// replacement, the whole-buffer write, the screen rule, the key wait and where a key ends.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frontend/system.h"

namespace tarnwick::frontend::posix {

// Writes every byte of `data` to `fd`, retrying interrupted and short writes; false on an
// error, with errno saying why.
bool write_all(int fd, std::string_view data);

// Makes `path` hold exactly `data`, unless the file it reaches is `input`. Links in `path`'s
// last part are followed one at a time, and the file found at the end is the one compared
// with `input` and replaced; a dangling link is replaced itself. A new file is written unnamed
// where the system can (Linux) and named once whole; an existing one is replaced by a
// temporary file in its folder, flushed and swapped in. Nothing when done; otherwise why not,
// with no temporary file left and an existing file keeping its old content, except where only
// the flush of the folder, or the close of the flushed file, failed after the new file was in
// place. A new file gets what an ordinary create gives; a replaced one keeps its permission
// bits. A read-only file, anything that is not a regular file, a link that cannot be followed
// and a link another user owns in a sticky, world-writable folder are left alone.
std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                    file_identity input);

// True when the screen should be cleared: output goes to a terminal, and that terminal does
// not declare itself dumb (TERM=dumb: Emacs' shell buffer, some IDE consoles), where the
// escape codes would show as garbage. Piped or redirected output holds only the messages.
bool wants_clear_screen(bool output_is_terminal, const char* term);

// Waits up to `ms` milliseconds (-1: without limit) for `fd` to have input, or to hang up;
// poll's result, retried when a signal interrupts it: above 0 when ready, 0 when the time
// passed, below 0 on an error.
int poll_input(int fd, int ms);

// Waits for one key press on the controlling terminal (/dev/tty), read raw: no echo, no line
// buffering, no signal keys. An escape sequence counts as one key and is consumed whole; a
// second key typed stays unread. Returns at once when there is no controlling terminal. The
// terminal's modes are restored afterwards, and before any signal ends or stops the process;
// after a stop, SIGCONT makes the terminal raw again and the wait goes on. A job in the
// background changes no modes: it waits, stopped, until it is in the foreground, or returns at
// once where nothing would stop it.
void wait_for_key();

// Follows one key as a terminal sends it: a character (UTF-8), a lone Esc, an escape sequence
// (CSI, SS3, the Linux console's ESC [ [ x), or Esc before any of these (Alt). Its first byte
// may come whenever; the bytes of one key arrive together, so a pause after one of them ends
// the key: that tells a lone Esc from a sequence and keeps a truncated one from hanging. Its
// state is a few fields whatever the input, so no flood of bytes can exhaust memory.
class key_bytes {
 public:
  // How long to wait for the key's next byte, in milliseconds; -1 for the first, which has no
  // limit.
  int wait_ms() const;
  // Takes the next byte, or nothing where none came within wait_ms: true when the key is
  // complete, with that byte or at that pause. A byte that cannot continue the key ends it too,
  // and is taken with it.
  bool take(std::optional<unsigned char> byte);

 private:
  enum class stage { first, after_escape, ss3, csi_start, csi, character };
  stage stage_ = stage::first;
  int continuations_left_ = 0;

  // Starts a character with `lead`: true when it has no continuation bytes.
  bool start_character(unsigned char lead);
  // Takes a byte of a CSI sequence's parameters: true when it is the final byte instead.
  bool take_csi(unsigned char byte);
};

}  // namespace tarnwick::frontend::posix
