#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "frontend/output_file.h"
#include "frontend/write_all_posix.h"

namespace tarnwick {
namespace {

// Closes a descriptor when it goes out of scope.
class unique_fd {
 public:
  explicit unique_fd(int fd) : fd_(fd) {}
  unique_fd(const unique_fd&) = delete;
  unique_fd& operator=(const unique_fd&) = delete;
  ~unique_fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting the error a late write failure may only show here.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Holds back the signals that usually end a run while a temporary file exists, so that
// one arriving then ends the process only after the file is renamed or removed.
class signal_hold {
 public:
  signal_hold() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  signal_hold(const signal_hold&) = delete;
  signal_hold& operator=(const signal_hold&) = delete;
  ~signal_hold() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

// A link named as the output is followed, so the file it points at is the one replaced.
std::string resolve_link(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string target(real);
  std::free(real);
  return target;
}

// Creates a new, empty file in `dir_fd` under an unused name, stored in `name` after
// `prefix`.
int create_temporary(int dir_fd, const std::string& prefix, std::string& name) {
  static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  unsigned long long seed = static_cast<unsigned long long>(now.tv_nsec) ^
                            (static_cast<unsigned long long>(::getpid()) << 32);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix + ".tarnwick-";
    for (int i = 0; i < 8; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      name += digits[(seed >> 33) % 36];
    }
    const int fd = ::openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

mode_t creation_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool replace_file(const std::string& path, std::string_view data) {
  const std::string target = resolve_link(path);
  const std::size_t slash = target.rfind('/');
  const std::string dir =
      slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return false;

  // The folder is opened once, so a long output name cannot make the temporary file's name
  // too long. A folder one may write into but not list cannot be opened for reading; it is
  // then reached by its path.
  unique_fd opened(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int dir_fd = opened.get();
  std::string prefix;
  if (dir_fd < 0) {
    if (errno != EACCES) return false;
    dir_fd = AT_FDCWD;
    prefix = dir + "/";
    base = prefix + base;
  }

  struct stat old {};
  const bool existed = ::fstatat(dir_fd, base.c_str(), &old, 0) == 0;
  if (existed && S_ISDIR(old.st_mode)) return false;
  // Replacing by rename needs only the folder's permission; a file its owner made read-only
  // stays as protected as an ordinary open for writing would leave it.
  if (existed && ::faccessat(dir_fd, base.c_str(), W_OK, AT_EACCESS) != 0) return false;

  const signal_hold hold;
  std::string temp_name;
  unique_fd temp(create_temporary(dir_fd, prefix, temp_name));
  if (temp.get() < 0) return false;

  bool ok = write_all(temp.get(), data);
  if (ok && existed) {
    // Only root may give the file away; for others this fails harmlessly. It comes before
    // the mode, since a change of owner clears set-id bits.
    [[maybe_unused]] const int ignored = ::fchown(temp.get(), old.st_uid, old.st_gid);
  }
  ok = ok && ::fchmod(temp.get(), existed ? (old.st_mode & 07777) : creation_mode()) == 0;
  ok = ok && ::fsync(temp.get()) == 0;
  ok = temp.close() && ok;
  ok = ok && ::renameat(dir_fd, temp_name.c_str(), dir_fd, base.c_str()) == 0;
  if (!ok) ::unlinkat(dir_fd, temp_name.c_str(), 0);
  return ok;
}

}  // namespace tarnwick
