#include "pty_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "frontend/posix/posix.h"

namespace tarnwick::testing {
namespace {

using steady = std::chrono::steady_clock;

steady::time_point guard_end() {
  return steady::now() + std::chrono::milliseconds(guard_ms);
}

void pause_briefly() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

std::optional<std::string> read_exactly(int fd, std::size_t count) {
  std::string got;
  while (got.size() < count) {
    if (frontend::posix::poll_input(fd, guard_ms) <= 0) return std::nullopt;
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) return std::nullopt;
    got += c;
  }
  return got;
}

std::optional<std::string> read_until(int fd, char mark) {
  std::string got;
  for (;;) {
    // One byte at a time: whatever follows the mark is not this reader's to take.
    const std::optional<std::string> next = read_exactly(fd, 1);
    if (!next) return std::nullopt;
    if ((*next)[0] == mark) return got;
    got += *next;
  }
}

termios modes_of(int fd) {
  termios modes{};
  tcgetattr(fd, &modes);
  return modes;
}

bool same_modes(const termios& a, const termios& b) {
  if (a.c_iflag != b.c_iflag || a.c_oflag != b.c_oflag || a.c_cflag != b.c_cflag ||
      a.c_lflag != b.c_lflag) {
    return false;
  }
  for (std::size_t i = 0; i < NCCS; ++i) {
    if (a.c_cc[i] != b.c_cc[i]) return false;
  }
  return true;
}

bool wait_until_raw(int fd) {
  const auto give_up = guard_end();
  while (steady::now() < give_up) {
    if ((modes_of(fd).c_lflag & ICANON) == 0) return true;
    pause_briefly();
  }
  return false;
}

std::optional<int> reap_within_guard(pid_t pid) {
  const auto give_up = guard_end();
  while (steady::now() < give_up) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) return std::nullopt;
    pause_briefly();
  }
  return std::nullopt;
}

}  // namespace tarnwick::testing
