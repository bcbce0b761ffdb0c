// replace_file's system calls, watched by wrappers this program puts in front of the C
// library's: the order of flushes and rename, the signals held, the temporary file's creation
// and name.
#include "frontend/posix/output_file.h"

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
  std::string what;     // "create", "fsync", "rename"
  std::string name;     // of the file created
  bool folder = false;  // a folder flushed
  int fd = -1;
  int flags = 0;
  mode_t mode = 0;
  bool signals_held = false;  // every one of ending_signals blocked
};
std::vector<call> calls;
int temp_fd = -1;

// Signals that end a process, of each kind: asked for, from a timer, a limit, real-time.
const std::vector<int> ending_signals = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,
                                         SIGUSR1, SIGALRM, SIGXCPU, SIGRTMIN};

bool signals_held() {
  sigset_t now;
  sigprocmask(SIG_BLOCK, nullptr, &now);
  for (const int s : ending_signals) {
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
  if (fd >= 0 && std::strstr(name, ".tarnwick-") != nullptr) {
    temp_fd = fd;
    calls.push_back({"create", name, false, fd, flags, mode, signals_held()});
  }
  return fd;
}

extern "C" int fsync(int fd) {
  struct stat st {};
  const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  calls.push_back({"fsync", "", folder, fd, 0, 0, signals_held()});
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int renameat(int from_dir, const char* from, int to_dir, const char* to) {
  calls.push_back({"rename", "", false, -1, 0, 0, signals_held()});
  return static_cast<int>(syscall(SYS_renameat2, from_dir, from, to_dir, to, 0));
}

// NOLINTEND(readability-inconsistent-declaration-parameter-name)

namespace tarnwick::frontend::posix {
namespace {

TEST(replace_file, creates_privately_flushes_around_the_rename_and_holds_signals) {
  const std::string long_base = std::string(240, 'p') + ".86p";
  struct {
    bool existing;
    std::string base;
    std::string temp_prefix;  // a name too long for the system takes the short form
  } const cases[] = {{false, "t.86p", ".t.86p.tarnwick-"},
                     {true, "t.86p", ".t.86p.tarnwick-"},
                     {false, long_base, ".tarnwick-"}};
  for (const auto& c : cases) {
    const testing::temp_dir dir;
    if (c.existing) testing::write_file(dir / c.base, "old");
    calls.clear();
    sigset_t mask_before, mask_after;
    sigprocmask(SIG_BLOCK, nullptr, &mask_before);
    const mode_t umask_before = ::umask(022);

    ASSERT_TRUE(replace_file(dir / c.base, "new"));

    EXPECT_EQ(::umask(umask_before), 022U) << "the umask changed";
    sigprocmask(SIG_BLOCK, nullptr, &mask_after);
    for (const int s : ending_signals) {
      EXPECT_EQ(sigismember(&mask_after, s), sigismember(&mask_before, s)) << "signal " << s;
    }
    ASSERT_EQ(calls.size(), 4U) << c.base;
    EXPECT_EQ(calls[0].what, "create");
    EXPECT_EQ(calls[0].name.substr(0, c.temp_prefix.size()), c.temp_prefix);
    EXPECT_EQ(calls[0].name.size(), c.temp_prefix.size() + 8);
    EXPECT_EQ(calls[0].flags & (O_CREAT | O_EXCL), O_CREAT | O_EXCL);
    EXPECT_EQ(calls[0].mode & 077, 0U) << "others could open the temporary file";
    EXPECT_EQ(calls[1].what, "fsync");
    EXPECT_EQ(calls[1].fd, temp_fd);
    EXPECT_EQ(calls[2].what, "rename");
    EXPECT_EQ(calls[3].what, "fsync");
    EXPECT_TRUE(calls[3].folder) << "the rename is not made durable";
    for (const call& k : calls) EXPECT_TRUE(k.signals_held) << k.what;
    EXPECT_EQ(testing::read_file(dir / c.base), "new");
  }
}

}  // namespace
}  // namespace tarnwick::frontend::posix
