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
#include "frontend/text/key_event.h"

namespace tarnwick::frontend::posix {
namespace {

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

// Consumes exactly one key from `fd`, which is in raw mode: its first byte whenever it comes,
// each further one only within follow_up_ms of the one before.
void read_one_key(int fd) {
  unsigned char c = 0;
  if (!read_byte(fd, c)) return;
  text::key_bytes key;
  while (!key.take(c) && read_follow_up(fd, c)) {
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
