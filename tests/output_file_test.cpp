// replace_file's system calls, watched by wrappers this program puts in front of the C
// library's: the order of flush and rename, the signals held, the temporary file's creation.
#include "frontend/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

struct call {
  std::string what;  // "create", "fsync", "rename"
  int fd = -1;
  int flags = 0;
  mode_t mode = 0;
  bool signals_held = false;  // SIGINT, SIGTERM, SIGHUP and SIGQUIT all blocked
};
std::vector<call> calls;
int temp_fd = -1;

bool signals_held() {
  sigset_t now;
  sigprocmask(SIG_BLOCK, nullptr, &now);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    if (sigismember(&now, s) != 1) return false;
  }
  return true;
}

}  // namespace

// The C library names these parameters with reserved identifiers, which this file may not use.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
extern "C" int openat(int dir, const char* name, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  const int fd = static_cast<int>(syscall(SYS_openat, dir, name, flags, mode));
  if (std::strncmp(name, ".tarnwick-", 10) == 0) {
    temp_fd = fd;
    calls.push_back({"create", fd, flags, mode, signals_held()});
  }
  return fd;
}

extern "C" int fsync(int fd) {
  calls.push_back({"fsync", fd, 0, 0, signals_held()});
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int renameat(int from_dir, const char* from, int to_dir, const char* to) {
  calls.push_back({"rename", -1, 0, 0, signals_held()});
  return static_cast<int>(syscall(SYS_renameat2, from_dir, from, to_dir, to, 0));
}

// NOLINTEND(readability-inconsistent-declaration-parameter-name)

namespace tarnwick {
namespace {

TEST(replace_file, creates_privately_flushes_before_renaming_and_holds_signals) {
  for (const bool existing : {false, true}) {
    const testing::temp_dir dir;
    if (existing) testing::write_file(dir / "t.86p", "old");
    calls.clear();
    sigset_t mask_before, mask_after;
    sigprocmask(SIG_BLOCK, nullptr, &mask_before);
    const mode_t umask_before = ::umask(022);

    ASSERT_TRUE(replace_file(dir / "t.86p", "new"));

    EXPECT_EQ(::umask(umask_before), 022U) << "the umask changed";
    sigprocmask(SIG_BLOCK, nullptr, &mask_after);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      EXPECT_EQ(sigismember(&mask_after, s), sigismember(&mask_before, s)) << "signal " << s;
    }
    ASSERT_EQ(calls.size(), 3U) << "existing " << existing;
    EXPECT_EQ(calls[0].what, "create");
    EXPECT_EQ(calls[0].flags & (O_CREAT | O_EXCL), O_CREAT | O_EXCL);
    EXPECT_EQ(calls[0].mode & 077, 0U) << "others could open the temporary file";
    EXPECT_EQ(calls[1].what, "fsync");
    EXPECT_EQ(calls[1].fd, temp_fd);
    EXPECT_EQ(calls[2].what, "rename");
    for (const call& c : calls) EXPECT_TRUE(c.signals_held) << c.what;
    EXPECT_EQ(testing::read_file(dir / "t.86p"), "new");
  }
}

}  // namespace
}  // namespace tarnwick
