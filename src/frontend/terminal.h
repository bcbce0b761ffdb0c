// Terminal side effects of the console: clearing the screen and the single key wait.
#pragma once

namespace tarnwick {

// Writes ESC [ H ESC [ 2 J to `fd` when it is a terminal, nothing otherwise, so piped or
// redirected output holds only the message text.
void clear_screen(int fd);

// Waits for one key press on the controlling terminal (/dev/tty), read raw: no echo, no line
// buffering, no signal keys. An escape sequence counts as one key and is consumed whole; a
// second key typed stays unread. Returns at once when there is no controlling terminal. The
// terminal's modes are restored afterwards, also when SIGTERM, SIGHUP or SIGINT arrive.
void wait_for_key();

}  // namespace tarnwick
