// The raw single key wait on POSIX terminals: where a key ends, the terminal's modes, and the
// signals that must find them restored.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "frontend/posix/posix.h"
#include "frontend/utf8.h"

namespace tarnwick::frontend::posix {
namespace {

// The pause after one of a key's bytes that ends the key.
constexpr int follow_up_ms = 50;

constexpr unsigned char escape = 0x1b;

// What the handlers put in place; set before they are installed.
int raw_fd = -1;
termios saved_modes{};
termios raw_modes{};
struct sigaction passing_on {};
struct sigaction continuing {};

// True when the terminal holds the raw modes this wait sets, in the words it changes.
bool holds_raw_modes(const termios& now) {
  return now.c_iflag == raw_modes.c_iflag && now.c_lflag == raw_modes.c_lflag &&
         now.c_cc[VMIN] == raw_modes.c_cc[VMIN] && now.c_cc[VTIME] == raw_modes.c_cc[VTIME];
}

// Makes the terminal raw while this process's group owns it: a job in the background must not
// change the modes of the one in the foreground.
void make_raw_in_foreground() {
  if (tcgetpgrp(raw_fd) == getpgrp()) tcsetattr(raw_fd, TCSANOW, &raw_modes);
}

// Puts the saved modes back where the terminal still holds the raw ones this wait set, in the
// foreground or not: any other modes (a shell's, another job's, the saved ones) are none of
// this process's doing. Every signal is blocked meanwhile, which also lets a job in the
// background undo its own change instead of being stopped.
void restore_modes() {
  termios now{};
  if (tcgetattr(raw_fd, &now) == 0 && holds_raw_modes(now)) {
    tcsetattr(raw_fd, TCSANOW, &saved_modes);
  }
}

// Restores the terminal, then lets `sig` do what it would have done unhandled: end the process,
// stop it, or nothing (a stop the system discards, in a group no shell controls). A process
// still here after that waits on, raw again, with the handler back.
void pass_on(int sig) {
  const int saved_errno = errno;
  restore_modes();
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
  make_raw_in_foreground();
  errno = saved_errno;
}

// On SIGCONT: the shell that stopped the process may have put its own modes back.
void raw_again(int) {
  const int saved_errno = errno;
  make_raw_in_foreground();
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
  restore_modes();
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sigismember(&previous.replaced, sig) == 1) sigaction(sig, &previous.of[sig], nullptr);
  }
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}

// True when a change of modes made from the background stops the process instead of being
// made: SIGTTOU is neither ignored nor blocked.
bool stopped_in_background() {
  struct sigaction action {};
  sigset_t mask;
  return sigaction(SIGTTOU, nullptr, &action) == 0 && action.sa_handler != SIG_IGN &&
         pthread_sigmask(SIG_BLOCK, nullptr, &mask) == 0 && sigismember(&mask, SIGTTOU) == 0;
}

// Makes `fd` raw once this process is in the terminal's foreground. A job in the background
// that the system stops asks all the same: it is stopped (SIGTTOU) until a shell brings it to
// the foreground, and the interrupted call is made again. False where the terminal stays as it
// is: a job in the background that nothing stops, or that no shell could continue (EIO), has
// no key to read.
bool make_raw(int fd) {
  for (;;) {
    if (tcgetpgrp(fd) != getpgrp() && !stopped_in_background()) return false;
    if (tcsetattr(fd, TCSANOW, &raw_modes) == 0) return true;
    if (errno != EINTR) return false;
  }
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

// Consumes exactly one key from `fd`, which is in raw mode, waiting for each byte as long as
// the key says; a hang-up or an error ends the wait.
void read_one_key(int fd) {
  key_bytes key;
  for (;;) {
    const int ready = poll_input(fd, key.wait_ms());
    unsigned char c = 0;
    if (ready < 0 || (ready > 0 && !read_byte(fd, c))) return;
    if (key.take(ready > 0 ? std::optional(c) : std::nullopt)) return;
  }
}

}  // namespace

int key_bytes::wait_ms() const {
  return stage_ == stage::first ? -1 : follow_up_ms;
}

bool key_bytes::take(std::optional<unsigned char> byte) {
  if (!byte) return true;  // the pause that ends a key
  switch (stage_) {
    case stage::first:
      if (*byte == escape) {
        stage_ = stage::after_escape;
        return false;
      }
      return start_character(*byte);
    case stage::after_escape:
      // A further Esc is Alt plus Esc, or plus a sequence key as rxvt sends it: still one key.
      if (*byte == escape) return false;
      if (*byte == 'O') {
        stage_ = stage::ss3;
        return false;
      }
      if (*byte == '[') {
        stage_ = stage::csi_start;
        return false;
      }
      return start_character(*byte);  // Alt plus a character
    case stage::ss3:
      return true;  // exactly one more byte
    case stage::csi_start:
      if (*byte == '[') {  // the Linux console's F1-F5: ESC [ [ A..E
        stage_ = stage::ss3;
        return false;
      }
      return take_csi(*byte);
    case stage::csi:
      return take_csi(*byte);
    case stage::character:
      return !utf8::is_continuation(*byte) || --continuations_left_ == 0;
  }
  return true;
}

bool key_bytes::start_character(unsigned char lead) {
  // A byte that starts no character is a key of its own.
  continuations_left_ = std::max(utf8::sequence_length(lead) - 1, 0);
  stage_ = stage::character;
  return continuations_left_ == 0;
}

bool key_bytes::take_csi(unsigned char byte) {
  // Parameter and intermediate bytes run until the final byte (0x40-0x7e) ends the sequence.
  stage_ = stage::csi;
  return byte < 0x20 || byte > 0x3f;
}

int poll_input(int fd, int ms) {
  pollfd wanted{fd, POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&wanted, 1, ms);
  } while (ready < 0 && errno == EINTR);
  return ready;
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
  if (make_raw(fd)) read_one_key(fd);

  leave_raw_mode(previous);
  close(fd);
}

}  // namespace tarnwick::frontend::posix
