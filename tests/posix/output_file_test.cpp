// replace_file under faults planted by wrappers this program puts in front of the C library's:
// a file system without unnamed files or swaps, descriptor 0 given out, a flush or close that
// fails, and the output name's file removed and another put in its place between the write
// and the swap.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frontend/posix/posix.h"
#include "test_support.h"

namespace {

int temp_fd = -1;  // the last file created

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
std::function<void()> after_write;  // runs once, when the new content is first flushed

// Frees descriptor 0 once `opens` reaches opens_before_zero, so that the next descriptor
// made, by whatever call, is 0.
void free_zero_when_due() {
  if (faults.opens != faults.opens_before_zero || faults.zero_freed) return;
  syscall(SYS_close, 0);
  faults.zero_freed = true;
}

// True when every signal that ends a process is held, the two the C library keeps for itself
// (32 and 33) and a real-time one included.
bool signals_held() {
  std::uint64_t now = 0;  // the kernel's own mask, which the C library's calls would filter
  syscall(SYS_rt_sigprocmask, SIG_BLOCK, nullptr, &now, sizeof now);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGALRM, 32, 33, SIGRTMIN}) {
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
  if ((flags & O_TMPFILE) == O_TMPFILE && faults.no_unnamed) {
    errno = EOPNOTSUPP;
    return -1;
  }
  const int fd = static_cast<int>(syscall(SYS_openat, dir, name, flags, mode));
  ++faults.opens;
  free_zero_when_due();
  if (fd >= 0 && (flags & (O_CREAT | O_TMPFILE)) != 0) temp_fd = fd;
  return fd;
}

extern "C" int fsync(int fd) {
  struct stat st {};
  const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  if (folder && faults.folder_fsync_error != 0) {
    errno = faults.folder_fsync_error;
    return -1;
  }
  if (!folder && after_write) std::exchange(after_write, nullptr)();
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int renameat2(int from_dir, const char* from, int to_dir, const char* to,
                         unsigned flags) {
  if (faults.no_exchange && (flags & RENAME_EXCHANGE) != 0) {
    errno = EINVAL;
    return -1;
  }
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
TEST(replace_file, writes_whole_keeping_the_mode_whichever_descriptor_is_0) {
  const std::string long_base = std::string(240, 'p') + ".86p";
  struct {
    bool existing;
    std::string base;
    bool no_unnamed, no_exchange;
  } const cases[] = {{false, "t.86p", false, false},
                     {true, "t.86p", false, false},
                     {true, long_base, false, false},
                     {false, "t.86p", true, false},
                     {true, "t.86p", false, true}};
  const int saved_input = ::dup(0);
  const mode_t old_mask = ::umask(022);
  for (const auto& c : cases) {
    for (int zero_after = -1; zero_after < 8; ++zero_after) {
      const testing::temp_dir dir;
      if (c.existing) {
        testing::write_file(dir / c.base, "old");
        ::chmod((dir / c.base).c_str(), 0604);
      }
      faults = {.no_unnamed = c.no_unnamed,
                .no_exchange = c.no_exchange,
                .opens_before_zero = zero_after};
      free_zero_when_due();
      static bool held = false;
      held = false;
      after_write = [] { held = signals_held(); };
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
      EXPECT_TRUE(held) << "signals not held while the output is written";
      EXPECT_EQ(sigismember(&mask_after, SIGTERM), sigismember(&mask_before, SIGTERM));
      EXPECT_EQ(testing::read_file(dir / c.base), "new");
      struct stat st {};
      ASSERT_EQ(::stat((dir / c.base).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, c.existing ? 0604U : 0644U);
      EXPECT_EQ(testing::list_dir(dir.path()), std::vector<std::string>{c.base});
    }
  }
  ::umask(old_mask);
  ::close(saved_input);
}

// What another program puts at the output name while the output is written, in place of the
// file checked, is checked as any output is: a pipe stays, a link to the input is refused, a
// regular file is replaced and its mode kept. A folder flush or a close of the new file the
// system reports failed fails the run, unless the file system has no such flush at all.
TEST(replace_file, replaces_only_what_was_checked_and_reports_a_failed_flush) {
  const std::optional<failure> io_error = failure{failure::cause::system, EIO};
  const std::optional<failure> not_regular = failure{failure::cause::not_regular_file};
  struct {
    bool existing;
    mode_t plant;  // the kind of file put at the output name once the new content is written
    int flush_error, close_error;
    std::optional<failure> result;
  } const cases[] = {{false, S_IFIFO, 0, 0, not_regular},
                     {true, S_IFIFO, 0, 0, not_regular},
                     {true, S_IFLNK, 0, 0, failure{failure::cause::same_file}},
                     {false, S_IFREG, 0, 0, std::nullopt},
                     {true, S_IFREG, 0, 0, std::nullopt},
                     {true, 0, EIO, 0, io_error},
                     {false, 0, 0, EIO, io_error},
                     {true, 0, 0, EIO, io_error},
                     {false, 0, EINVAL, 0, std::nullopt}};
  for (const auto& c : cases) {
    const testing::temp_dir dir;
    const std::string out = dir / "t.86p";
    testing::write_file(dir / "x", "input");
    struct stat input {};
    ASSERT_EQ(::stat((dir / "x").c_str(), &input), 0);
    if (c.existing) testing::write_file(out, "old");
    faults = {.folder_fsync_error = c.flush_error, .temp_close_error = c.close_error};
    if (c.plant != 0) {
      after_write = [&] {
        ::unlink(out.c_str());
        if (c.plant == S_IFIFO) ::mkfifo(out.c_str(), 0644);
        if (c.plant == S_IFLNK) ::symlink("x", out.c_str());
        if (c.plant == S_IFREG) testing::write_file(out, "other");
        if (c.plant == S_IFREG) ::chmod(out.c_str(), 0600);
      };
    }
    const file_identity input_id{input.st_dev, input.st_ino};
    EXPECT_EQ(replace_file(out, "new", input_id), c.result) << c.existing << c.plant;
    faults = {};
    after_write = nullptr;
    struct stat st {};
    ASSERT_EQ(::lstat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.plant == 0 ? S_IFREG : c.plant) << c.existing << c.plant;
    if (!c.result) {
      EXPECT_EQ(testing::read_file(out), "new");
      EXPECT_EQ(st.st_mode & 07777, c.plant == S_IFREG ? 0600U : 0644U) << c.existing;
    }
    EXPECT_EQ(testing::read_file(dir / "x"), "input");
    EXPECT_EQ(testing::list_dir(dir.path()), (std::vector<std::string>{"t.86p", "x"}));
  }
}

}  // namespace
}  // namespace tarnwick::frontend::posix
