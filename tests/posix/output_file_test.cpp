// replace_file's system calls, watched by wrappers this program puts in front of the C
// library's: the order of flushes and naming, the signals held, the temporary file's creation
// and name, a file system without unnamed files or swaps, descriptor 0 given out, a flush or
// close that fails, and something put at the output name just before the new file takes it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "frontend/posix/posix.h"
#include "test_support.h"

namespace {

struct call {
  std::string what;     // "create", "fsync", "folder" (an fsync of one), "link", "rename"
  std::string name;     // of the file created; empty for an unnamed one
  bool folder = false;  // a folder flushed
  int fd = -1;
  int flags = 0;
  mode_t mode = 0;
  bool signals_held = false;  // every one of ending_signals blocked
};
std::vector<call> calls;
int temp_fd = -1;

// The faults a case plants, and what they have done so far; `faults = {}` takes them away.
// Nothing here needs running to start, so the wrappers may be called before main.
struct planted {
  int folder_fsync_error = 0;  // the error a folder's fsync fails with, or 0
  int temp_close_error = 0;    // the error the new file's close fails with, or 0
  bool no_unnamed = false;     // the file system makes no unnamed files
  bool no_exchange = false;    // nor swaps two names
  int opens_before_zero = -1;  // descriptor 0 is freed after this many opens, if >= 0
  int opens = 0;
  bool zero_freed = false;
} faults;
std::function<void()> before_naming;  // runs just before the new file takes the output name

// Frees descriptor 0 once `opens` reaches opens_before_zero, so that the next descriptor
// made, by whatever call, is 0.
void free_zero_when_due() {
  if (faults.opens != faults.opens_before_zero || faults.zero_freed) return;
  syscall(SYS_close, 0);
  faults.zero_freed = true;
}

// Signals that end a process, of each kind: asked for, from a timer, a limit, the two the C
// library keeps for itself, real-time.
const std::vector<int> ending_signals = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
                                         SIGALRM, SIGXCPU, 32,     33,      SIGRTMIN};

bool signals_held() {
  std::uint64_t now = 0;  // the kernel's own mask, which the C library's calls would filter
  syscall(SYS_rt_sigprocmask, SIG_BLOCK, nullptr, &now, sizeof now);
  for (const int s : ending_signals) {
    if (((now >> (s - 1)) & 1U) == 0) return false;
  }
  return true;
}

}  // namespace

// The C library names these parameters with reserved identifiers, which this file may not use.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
extern "C" int openat(int dir, const char* name, int flags, ...) {
  mode_t mode = 0;
  if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
  if (unnamed && faults.no_unnamed) {
    errno = EOPNOTSUPP;
    return -1;
  }
  const int fd = static_cast<int>(syscall(SYS_openat, dir, name, flags, mode));
  ++faults.opens;
  free_zero_when_due();
  if (fd >= 0 && (unnamed || (flags & O_CREAT) != 0)) {
    temp_fd = fd;
    calls.push_back({"create", unnamed ? "" : name, false, fd, flags, mode, signals_held()});
  }
  return fd;
}

extern "C" int fsync(int fd) {
  struct stat st {};
  const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  calls.push_back({folder ? "folder" : "fsync", "", folder, fd, 0, 0, signals_held()});
  if (folder && faults.folder_fsync_error != 0) {
    errno = faults.folder_fsync_error;
    return -1;
  }
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
  calls.push_back({"link", "", false, -1, 0, 0, signals_held()});
  if (before_naming) std::exchange(before_naming, nullptr)();  // the first only
  return static_cast<int>(syscall(SYS_linkat, from_dir, from, to_dir, to, flags));
}

extern "C" int renameat2(int from_dir, const char* from, int to_dir, const char* to,
                         unsigned flags) {
  calls.push_back({"rename", "", false, -1, 0, 0, signals_held()});
  if (faults.no_exchange && (flags & RENAME_EXCHANGE) != 0) {
    errno = EINVAL;
    return -1;
  }
  if (before_naming) std::exchange(before_naming, nullptr)();
  return static_cast<int>(syscall(SYS_renameat2, from_dir, from, to_dir, to, flags));
}

extern "C" int renameat(int from_dir, const char* from, int to_dir, const char* to) {
  return renameat2(from_dir, from, to_dir, to, 0);
}

extern "C" int close(int fd) {
  const int result = static_cast<int>(syscall(SYS_close, fd));
  if (fd != temp_fd || faults.temp_close_error == 0 || result != 0) return result;
  errno = faults.temp_close_error;
  return -1;
}

// NOLINTEND(readability-inconsistent-declaration-parameter-name)

namespace tarnwick::frontend::posix {
namespace {

// Each case also runs with descriptor 0 free from each open on, so that the next descriptor
// made is 0, which must count as a descriptor and be closed again.
TEST(replace_file, writes_privately_flushes_around_the_naming_and_holds_signals) {
  const std::string long_base = std::string(240, 'p') + ".86p";
  const std::vector<std::string> unnamed = {"create", "fsync", "link", "folder"};
  const std::vector<std::string> swapped = {"create", "fsync", "rename", "folder"};
  const std::vector<std::string> named = {"create", "fsync", "folder"};
  const std::vector<std::string> swap_refused = {"create", "fsync", "rename", "rename", "folder"};
  struct {
    bool existing;
    std::string base;
    bool no_unnamed, no_exchange;
    std::string created;  // the name created, less the 8 random characters after a final '-'
    mode_t mode;          // asked for at creation
    std::vector<std::string> steps;
  } const cases[] = {
      {false, "t.86p", false, false, "", 0666, unnamed},
      {true, "t.86p", false, false, ".t.86p.tarnwick-", 0600, swapped},
      {true, long_base, false, false, ".tarnwick-", 0600, swapped},
      {false, "t.86p", true, false, "t.86p", 0666, named},
      {true, "t.86p", false, true, ".t.86p.tarnwick-", 0600, swap_refused},
  };
  const int saved_input = ::dup(0);
  for (const auto& c : cases) {
    for (int zero_after = -1; zero_after < 8; ++zero_after) {
      const testing::temp_dir dir;
      if (c.existing) testing::write_file(dir / c.base, "old");
      calls.clear();
      faults = {.no_unnamed = c.no_unnamed,
                .no_exchange = c.no_exchange,
                .opens_before_zero = zero_after};
      free_zero_when_due();
      sigset_t mask_before, mask_after;
      sigprocmask(SIG_BLOCK, nullptr, &mask_before);

      const std::optional<failure> result = replace_file(dir / c.base, "new", {});

      sigprocmask(SIG_BLOCK, nullptr, &mask_after);
      const bool zero_freed = faults.zero_freed;
      faults = {};
      if (zero_freed) {
        EXPECT_EQ(::fcntl(0, F_GETFD), -1)
            << "descriptor 0 left open, freed after open " << zero_after;
        ::dup2(saved_input, 0);
      }
      ASSERT_EQ(result, std::nullopt) << c.base << ", descriptor 0 freed after open " << zero_after;
      for (const int s : {SIGINT, SIGTERM, SIGRTMIN}) {
        EXPECT_EQ(sigismember(&mask_after, s), sigismember(&mask_before, s)) << "signal " << s;
      }
      std::vector<std::string> steps;
      for (const call& k : calls) {
        steps.push_back(k.what);
        EXPECT_TRUE(k.signals_held) << k.what;
      }
      ASSERT_EQ(steps, c.steps) << c.base;
      EXPECT_EQ(calls[0].name.substr(0, c.created.size()), c.created);
      EXPECT_EQ(calls[0].name.size(), c.created.size() + (c.created.ends_with('-') ? 8 : 0));
      EXPECT_EQ(calls[0].mode, c.mode);
      EXPECT_EQ(calls[1].fd, temp_fd);
      EXPECT_EQ(testing::read_file(dir / c.base), "new");
      EXPECT_EQ(testing::list_dir(dir.path()), std::vector<std::string>{c.base});
    }
  }
  ::close(saved_input);
}

// A pipe another program puts at the output name while the output is written is checked as
// any output is, and stays; a regular file put there is replaced by the file already written;
// a folder flush or a close of the new file the system reports failed fails the run, unless
// the file system has no such flush at all.
TEST(replace_file, replaces_only_what_was_checked_and_reports_a_failed_flush) {
  const std::optional<failure> io_error = failure{failure::cause::system, EIO};
  const std::optional<failure> not_regular = failure{failure::cause::not_regular_file};
  struct {
    bool existing;
    mode_t plant;  // the kind of file put at the output name just before the new file takes it
    int flush_error, close_error;
    std::optional<failure> result;
  } const cases[] = {{false, S_IFIFO, 0, 0, not_regular}, {true, S_IFIFO, 0, 0, not_regular},
                     {true, S_IFREG, 0, 0, std::nullopt}, {false, 0, EIO, 0, io_error},
                     {true, 0, EIO, 0, io_error},         {false, 0, 0, EIO, io_error},
                     {true, 0, 0, EIO, io_error},         {false, 0, EINVAL, 0, std::nullopt}};
  for (const auto& c : cases) {
    const testing::temp_dir dir;
    const std::string out = dir / "t.86p";
    if (c.existing) testing::write_file(out, "old");
    faults = {.folder_fsync_error = c.flush_error, .temp_close_error = c.close_error};
    if (c.plant != 0) {
      before_naming = [&] {
        ::unlink(out.c_str());
        if (c.plant == S_IFIFO) ::mkfifo(out.c_str(), 0644);
        if (c.plant == S_IFREG) testing::write_file(out, "other");
      };
    }
    calls.clear();
    EXPECT_EQ(replace_file(out, "new", {}), c.result) << c.existing << c.flush_error;
    faults = {};
    before_naming = nullptr;
    EXPECT_EQ(std::ranges::count(calls, "create", &call::what), 1) << "the file written again";
    struct stat st {};
    ASSERT_EQ(::lstat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.plant == S_IFIFO ? S_IFIFO : S_IFREG);
    if (!c.result) {
      EXPECT_EQ(testing::read_file(out), "new");
    }
    EXPECT_EQ(testing::list_dir(dir.path()), std::vector<std::string>{"t.86p"});
  }
}

}  // namespace
}  // namespace tarnwick::frontend::posix
