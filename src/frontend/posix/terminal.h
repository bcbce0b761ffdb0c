// Terminal side effects of the POSIX console: clearing the screen and the single key wait.
#pragma once

namespace tarnwick::frontend::posix {

// True when the screen should be cleared: output goes to a terminal, and that terminal does
// not declare itself dumb (TERM=dumb: Emacs' shell buffer, some IDE consoles), where the
// escape codes would show as garbage. Piped or redirected output holds only the messages.
bool wants_clear_screen(bool output_is_terminal, const char* term);

// Writes ESC [ H ESC [ 2 J to `fd`: cursor home, then clear the screen.
void clear_screen(int fd);

// Waits for one key press on the controlling terminal (/dev/tty), read raw: no echo, no line
// buffering, no signal keys. An escape sequence counts as one key and is consumed whole; a
// second key typed stays unread. Returns at once when there is no controlling terminal. The
// terminal's modes are restored afterwards, and before any signal ends or stops the process;
// after a stop, SIGCONT makes the terminal raw again and the wait goes on.
void wait_for_key();

}  // namespace tarnwick::frontend::posix
