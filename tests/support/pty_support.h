// Reading from and waiting on pseudo-terminals and child processes, each bounded by a guard
// so a broken program fails its test instead of hanging it.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <optional>
#include <string>

namespace tarnwick::testing {

// Only a broken run takes this long; passing runs never come near it.
constexpr int guard_ms = 5000;

// Reads exactly `count` bytes; nothing if they do not all come before the guard.
std::optional<std::string> read_exactly(int fd, std::size_t count);

// Reads up to the first `mark`, which is consumed and left out; nothing if it does not come
// before the guard.
std::optional<std::string> read_until(int fd, char mark);

// The modes of terminal `fd`, all zero if it is none.
termios modes_of(int fd);

// True when the flags and control characters of `a` and `b` are equal.
bool same_modes(const termios& a, const termios& b);

// True once terminal `fd` has left line mode (ICANON off); false if that does not happen
// before the guard.
bool wait_until_raw(int fd);

// The wait status of child `pid`, which is reaped; nothing if it has not ended before the guard.
std::optional<int> reap_within_guard(pid_t pid);

}  // namespace tarnwick::testing
