// replace_file's system calls, watched by wrappers this program puts in front of the C
// library's: the order of flushes and naming, the signals held, the temporary file's creation
// and name, a folder flush that fails, and something put at the output name just before the
// new file takes it.
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
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "frontend/posix/posix.h"
#include "test_support.h"

namespace {

struct call {
  std::string what;     // "create", "fsync", "link", "rename"
  std::string name;     // of the file created; empty for an unnamed one
  bool folder = false;  // a folder flushed
  int fd = -1;
  int flags = 0;
  mode_t mode = 0;
  bool signals_held = false;  // every one of ending_signals blocked
};
std::vector<call> calls;
int temp_fd = -1;
int folder_fsync_error = 0;           // the error a folder's fsync fails with, or 0
std::function<void()> before_naming;  // runs just before the new file takes the output name

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
  const int fd = static_cast<int>(syscall(SYS_openat, dir, name, flags, mode));
  const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
  if (fd >= 0 && (unnamed || std::strstr(name, ".tarnwick-") != nullptr)) {
    temp_fd = fd;
    calls.push_back({"create", unnamed ? "" : name, false, fd, flags, mode, signals_held()});
  }
  return fd;
}

extern "C" int fsync(int fd) {
  struct stat st {};
  const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  calls.push_back({"fsync", "", folder, fd, 0, 0, signals_held()});
  if (folder && folder_fsync_error != 0) {
    errno = folder_fsync_error;
    return -1;
  }
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
  calls.push_back({"link", "", false, -1, 0, 0, signals_held()});
  if (before_naming) std::exchange(before_naming, nullptr)();  // before the first only
  return static_cast<int>(syscall(SYS_linkat, from_dir, from, to_dir, to, flags));
}

extern "C" int renameat2(int from_dir, const char* from, int to_dir, const char* to,
                         unsigned flags) {
  calls.push_back({"rename", "", false, -1, 0, 0, signals_held()});
  if (before_naming) std::exchange(before_naming, nullptr)();
  return static_cast<int>(syscall(SYS_renameat2, from_dir, from, to_dir, to, flags));
}

// NOLINTEND(readability-inconsistent-declaration-parameter-name)

namespace tarnwick::frontend::posix {
namespace {

TEST(replace_file, writes_privately_flushes_around_the_naming_and_holds_signals) {
  const std::string long_base = std::string(240, 'p') + ".86p";
  struct {
    bool existing;
    std::string base;
    std::string temp_prefix;  // "" for an unnamed file; a name too long takes the short form
    mode_t mode;              // asked for at creation
    std::string naming;
  } const cases[] = {{false, "t.86p", "", 0666, "link"},
                     {true, "t.86p", ".t.86p.tarnwick-", 0600, "rename"},
                     {true, long_base, ".tarnwick-", 0600, "rename"}};
  for (const auto& c : cases) {
    const testing::temp_dir dir;
    if (c.existing) testing::write_file(dir / c.base, "old");
    calls.clear();
    sigset_t mask_before, mask_after;
    sigprocmask(SIG_BLOCK, nullptr, &mask_before);

    ASSERT_EQ(replace_file(dir / c.base, "new", {}), std::nullopt) << c.base;

    sigprocmask(SIG_BLOCK, nullptr, &mask_after);
    for (const int s : {SIGINT, SIGTERM, SIGRTMIN}) {
      EXPECT_EQ(sigismember(&mask_after, s), sigismember(&mask_before, s)) << "signal " << s;
    }
    ASSERT_EQ(calls.size(), 4U) << c.base;
    EXPECT_EQ(calls[0].what, "create");
    EXPECT_EQ(calls[0].name.substr(0, c.temp_prefix.size()), c.temp_prefix);
    EXPECT_EQ(calls[0].name.size(), c.temp_prefix.empty() ? 0 : c.temp_prefix.size() + 8);
    EXPECT_EQ(calls[0].mode, c.mode);
    EXPECT_EQ(calls[1].what, "fsync");
    EXPECT_EQ(calls[1].fd, temp_fd);
    EXPECT_EQ(calls[2].what, c.naming);
    EXPECT_EQ(calls[3].what, "fsync");
    EXPECT_TRUE(calls[3].folder) << "the naming is not made durable";
    for (const call& k : calls) EXPECT_TRUE(k.signals_held) << k.what;
    EXPECT_EQ(testing::read_file(dir / c.base), "new");
    EXPECT_EQ(testing::list_dir(dir.path()), std::vector<std::string>{c.base});
  }
}

// A pipe another program puts at the output name while the output is written is checked as
// any output is, and stays; a folder flush the system reports failed fails the run, unless
// the file system has no such flush at all.
TEST(replace_file, replaces_only_what_was_checked_and_reports_a_failed_flush) {
  const std::optional<failure> io_error = failure{failure::cause::system, EIO};
  const std::optional<failure> not_regular = failure{failure::cause::not_regular_file};
  struct {
    bool existing;
    bool plant;  // a pipe at the output name, just before the new file takes it
    int flush_error;
    std::optional<failure> result;
  } const cases[] = {{false, true, 0, not_regular},
                     {true, true, 0, not_regular},
                     {false, false, EIO, io_error},
                     {true, false, EIO, io_error},
                     {false, false, EINVAL, std::nullopt}};
  for (const auto& c : cases) {
    const testing::temp_dir dir;
    const std::string out = dir / "t.86p";
    if (c.existing) testing::write_file(out, "old");
    if (c.plant) before_naming = [&] { ::unlink(out.c_str()), ::mkfifo(out.c_str(), 0644); };
    folder_fsync_error = c.flush_error;
    EXPECT_EQ(replace_file(out, "new", {}), c.result) << c.existing << c.flush_error;
    before_naming = nullptr;
    folder_fsync_error = 0;
    struct stat st {};
    ASSERT_EQ(::lstat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.plant ? S_IFIFO : S_IFREG);
    EXPECT_EQ(testing::list_dir(dir.path()), std::vector<std::string>{"t.86p"});
  }
}

}  // namespace
}  // namespace tarnwick::frontend::posix
