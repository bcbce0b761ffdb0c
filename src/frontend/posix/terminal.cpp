// Terminal side effects on POSIX systems: the screen clear and the raw single key wait.
#include "frontend/posix/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "frontend/posix/write_all.h"

namespace tarnwick::frontend::posix {
namespace {

constexpr unsigned char escape = 0x1b;

// The bytes of one key arrive together, so a pause this long after one of them means the key is
// complete: it tells a lone Esc from a sequence and keeps a truncated sequence from hanging.
constexpr int follow_up_ms = 50;

// Signals that would end the process while the terminal is raw, leaving the shell unusable.
constexpr int ending_signals[] = {SIGTERM, SIGHUP, SIGINT};
using saved_actions = struct sigaction[std::size(ending_signals)];

// What the signal handler puts back; set before the handler is installed.
int raw_fd = -1;
termios saved_modes{};

// Restores the terminal, then lets `sig` end the process exactly as it would have unhandled.
void restore_and_die(int sig) {
  tcsetattr(raw_fd, TCSANOW, &saved_modes);
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(sig, &by_default, nullptr);
  sigset_t only_this;
  sigemptyset(&only_this);
  sigaddset(&only_this, sig);
  // The signal is blocked while its handler runs; unblocking delivers the raised one at once.
  (void)raise(sig);
  pthread_sigmask(SIG_UNBLOCK, &only_this, nullptr);
}

// Routes the ending signals through restore_and_die, keeping their old actions in `previous`.
void install_handlers(saved_actions& previous) {
  struct sigaction handler {};
  handler.sa_handler = restore_and_die;
  sigemptyset(&handler.sa_mask);
  for (const int sig : ending_signals) sigaddset(&handler.sa_mask, sig);
  for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
    sigaction(ending_signals[i], nullptr, &previous[i]);
    // An ignored signal (nohup, a background job) would not have ended the process: keep it so.
    if (previous[i].sa_handler != SIG_IGN) sigaction(ending_signals[i], &handler, nullptr);
  }
}

// Puts back the saved modes and the `previous` signal actions.
void leave_raw_mode(int fd, const saved_actions& previous) {
  // Blocked meanwhile, an ending signal waits for the restored action instead of killing.
  sigset_t ending, old_mask;
  sigemptyset(&ending);
  for (const int sig : ending_signals) sigaddset(&ending, sig);
  pthread_sigmask(SIG_BLOCK, &ending, &old_mask);
  tcsetattr(fd, TCSANOW, &saved_modes);
  for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
    sigaction(ending_signals[i], &previous[i], nullptr);
  }
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}

// Reads one byte into `c`, blocking; false at end of input or on an error.
bool read_byte(int fd, unsigned char& c) {
  for (;;) {
    const ssize_t got = read(fd, &c, 1);
    if (got == 1) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

// Reads one more byte of the current key into `c` if it arrives within follow_up_ms.
bool read_follow_up(int fd, unsigned char& c) {
  pollfd wanted{fd, POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&wanted, 1, follow_up_ms);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 && (wanted.revents & POLLIN) != 0 && read_byte(fd, c);
}

// Number of continuation bytes a UTF-8 character starting with `lead` has.
int continuation_count(unsigned char lead) {
  if (lead >= 0xc2 && lead <= 0xdf) return 1;
  if (lead >= 0xe0 && lead <= 0xef) return 2;
  if (lead >= 0xf0 && lead <= 0xf4) return 3;
  return 0;
}

// Consumes the rest of the character whose first byte was `first`.
void read_character_rest(int fd, unsigned char first) {
  unsigned char c = 0;
  for (int left = continuation_count(first); left > 0 && read_follow_up(fd, c); --left) {
    if ((c & 0xc0) != 0x80) return;
  }
}

// Consumes the rest of a key that began with Esc: nothing, an escape sequence, or Alt plus a key.
void read_escape_rest(int fd) {
  unsigned char c = 0;
  if (!read_follow_up(fd, c)) return;
  if (c == escape) {  // Alt plus Esc, or plus a sequence key as rxvt sends it
    read_escape_rest(fd);
  } else if (c == 'O') {  // SS3: exactly one more byte
    read_follow_up(fd, c);
  } else if (c != '[') {
    read_character_rest(fd, c);
  } else if (read_follow_up(fd, c)) {
    if (c == '[') {  // the Linux console's F1-F5: ESC [ [ A..E
      read_follow_up(fd, c);
      return;
    }
    // Parameter and intermediate bytes run until the final byte (0x40-0x7e) ends the sequence.
    while (c >= 0x20 && c <= 0x3f && read_follow_up(fd, c)) {
    }
  }
}

// Consumes exactly one key from `fd`, which is in raw mode.
void read_one_key(int fd) {
  unsigned char first = 0;
  if (!read_byte(fd, first)) return;
  if (first == escape) {
    read_escape_rest(fd);
  } else {
    read_character_rest(fd, first);
  }
}

}  // namespace

bool wants_clear_screen(bool output_is_terminal, const char* term) {
  return output_is_terminal && (term == nullptr || std::string_view(term) != "dumb");
}

void clear_screen(int fd) {
  static constexpr char home_and_clear[] = "\x1b[H\x1b[2J";
  (void)write_all(fd, std::string_view(home_and_clear, sizeof home_and_clear - 1));
}

void wait_for_key() {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  termios modes{};
  if (tcgetattr(fd, &modes) != 0) {
    close(fd);
    return;
  }
  raw_fd = fd;
  saved_modes = modes;
  saved_actions previous{};
  install_handlers(previous);

  termios raw = modes;
  raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~IXON;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // TCSANOW rather than TCSAFLUSH: a key typed ahead of the prompt must still count.
  if (tcsetattr(fd, TCSANOW, &raw) == 0) read_one_key(fd);

  leave_raw_mode(fd, previous);
  close(fd);
}

}  // namespace tarnwick::frontend::posix
