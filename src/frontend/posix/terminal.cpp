// Terminal side effects on POSIX systems: the screen clear and the raw single key wait.
#include "frontend/posix/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "frontend/posix/write_all.h"
#include "frontend/text/key_event.h"

namespace tarnwick::frontend::posix {
namespace {

// The bytes of one key arrive together, so a pause this long after one of them means the key is
// complete: it tells a lone Esc from a sequence and keeps a truncated sequence from hanging.
constexpr int follow_up_ms = 50;

// What the handlers put in place; set before they are installed.
int raw_fd = -1;
termios saved_modes{};
termios raw_modes{};
struct sigaction passing_on {};
struct sigaction continuing {};

// Sets `modes` on the terminal while this process's group owns it: a job in the background
// must not change the modes of the one in the foreground.
void set_modes_in_foreground(const termios& modes) {
  if (tcgetpgrp(raw_fd) == getpgrp()) tcsetattr(raw_fd, TCSANOW, &modes);
}

// Restores the terminal, then lets `sig` do what it would have done unhandled: end the process,
// stop it, or nothing (a stop the system discards, in a group no shell controls). A process
// still here after that waits on, raw again, with the handler back.
void pass_on(int sig) {
  const int saved_errno = errno;
  set_modes_in_foreground(saved_modes);
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  sigemptyset(&by_default.sa_mask);
  sigaction(sig, &by_default, nullptr);
  sigset_t only_this;
  sigemptyset(&only_this);
  sigaddset(&only_this, sig);
  // The signal is blocked while its handler runs; unblocking delivers the raised one at once.
  (void)raise(sig);
  sigprocmask(SIG_UNBLOCK, &only_this, nullptr);
  sigprocmask(SIG_BLOCK, &only_this, nullptr);
  sigaction(sig, &passing_on, nullptr);
  set_modes_in_foreground(raw_modes);
  errno = saved_errno;
}

// On SIGCONT: the shell that stopped the process may have put its own modes back.
void raw_again(int) {
  const int saved_errno = errno;
  set_modes_in_foreground(raw_modes);
  errno = saved_errno;
}

// The action the wait gives `sig`, whose action was `old`; null where it keeps `old`: for the
// signals that carry on or cannot be caught, and for an ignored one (nohup, a background job),
// which would not have ended the process.
const struct sigaction* action_in_wait(int sig, const struct sigaction& old) {
  if (sig == SIGCONT) return &continuing;
  const bool carries_on = sig == SIGCHLD || sig == SIGURG || sig == SIGWINCH;
  if (carries_on || sig == SIGKILL || sig == SIGSTOP || old.sa_handler == SIG_IGN) return nullptr;
  return &passing_on;
}

// The actions the wait replaced, to put back after it.
struct saved_actions {
  struct sigaction of[NSIG];
  sigset_t replaced;
};

// Routes every signal that would end or stop the process through pass_on, and SIGCONT through
// raw_again, keeping the old actions in `previous`.
void install_handlers(saved_actions& previous) {
  passing_on.sa_handler = pass_on;
  // Each handler runs alone: no second signal cuts into its change of modes.
  sigfillset(&passing_on.sa_mask);
  continuing = passing_on;
  continuing.sa_handler = raw_again;
  sigemptyset(&previous.replaced);
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction& old = previous.of[sig];
    if (sigaction(sig, nullptr, &old) != 0) continue;  // reserved by the C library
    const struct sigaction* action = action_in_wait(sig, old);
    if (action != nullptr && sigaction(sig, action, nullptr) == 0) {
      sigaddset(&previous.replaced, sig);
    }
  }
}

// Puts back the saved modes and the `previous` signal actions.
void leave_raw_mode(const saved_actions& previous) {
  // Blocked meanwhile, a signal waits for the restored action instead of acting on the modes.
  sigset_t all, old_mask;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &old_mask);
  set_modes_in_foreground(saved_modes);
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sigismember(&previous.replaced, sig) == 1) sigaction(sig, &previous.of[sig], nullptr);
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
  raw_modes = modes;
  raw_modes.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
  raw_modes.c_iflag &= ~IXON;
  raw_modes.c_cc[VMIN] = 1;
  raw_modes.c_cc[VTIME] = 0;
  saved_actions previous{};
  install_handlers(previous);

  // TCSANOW rather than TCSAFLUSH: a key typed ahead of the prompt must still count.
  if (tcsetattr(fd, TCSANOW, &raw_modes) == 0) read_one_key(fd);

  leave_raw_mode(previous);
  close(fd);
}

}  // namespace tarnwick::frontend::posix
