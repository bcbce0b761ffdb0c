#include "frontend/posix/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

#include "frontend/posix/write_all.h"
#include "frontend/temporary_name.h"

namespace tarnwick::frontend::posix {
namespace {

// A folder opened only to name files in it, where the system can: then a folder one may
// write into but not list (mode 0333) serves as well.
#if defined(O_PATH)
constexpr int folder_access = O_PATH;
#elif defined(O_SEARCH)
constexpr int folder_access = O_SEARCH;
#else
constexpr int folder_access = O_RDONLY;
#endif

// As many links as Linux follows in one path before it calls it a loop.
constexpr int max_links = 40;

// Closes a descriptor when it goes out of scope.
class unique_fd {
 public:
  explicit unique_fd(int fd = -1) : fd_(fd) {}
  unique_fd(unique_fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  unique_fd& operator=(unique_fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  unique_fd(const unique_fd&) = delete;
  unique_fd& operator=(const unique_fd&) = delete;
  ~unique_fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting the error a late write failure may only show here.
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// Holds back every signal that could end the process while a temporary file exists, so that
// one arriving then ends it only after the file is renamed or removed. SIGKILL and SIGSTOP
// cannot be held; the system leaves them out by itself.
class signal_hold {
 public:
  signal_hold() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old_);
  }
  signal_hold(const signal_hold&) = delete;
  signal_hold& operator=(const signal_hold&) = delete;
  ~signal_hold() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

// A name inside an open folder.
struct place {
  unique_fd folder;
  std::string name;
};

// Opens the folder of `path`, relative to the folder `from`. False, with errno set, when it
// cannot be opened or `path` names no file in it.
bool open_place(int from, const std::string& path, place& out) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  out.name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (out.name.empty()) {
    errno = EISDIR;
    return false;
  }
  out.folder = unique_fd(::openat(from, dir.c_str(), folder_access | O_DIRECTORY | O_CLOEXEC));
  return out.folder.get() >= 0;
}

bool read_link(const place& link, std::string& text) {
  std::string buf(256, '\0');
  for (;;) {
    const ssize_t got = ::readlinkat(link.folder.get(), link.name.c_str(), buf.data(), buf.size());
    if (got < 0) return false;
    if (static_cast<std::size_t>(got) < buf.size()) {
      buf.resize(static_cast<std::size_t>(got));
      text = std::move(buf);
      return true;
    }
    buf.resize(buf.size() * 2);
  }
}

// Finds the file `path` stands for: itself, or the end of its chain of links, followed one
// link at a time relative to the link's folder, so that no limit on a whole path's length
// applies. Where the chain ends at nothing (a dangling link), `path` itself is the file. False
// when a link cannot be followed: a loop, a folder that cannot be searched, a path through a
// file.
bool find_target(const std::string& path, place& target) {
  if (!open_place(AT_FDCWD, path, target)) return false;
  for (int links = 0;; ++links) {
    struct stat st {};
    if (::fstatat(target.folder.get(), target.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      return errno == ENOENT && (links == 0 || open_place(AT_FDCWD, path, target));
    }
    if (!S_ISLNK(st.st_mode)) return true;
    std::string text;
    if (links == max_links || !read_link(target, text)) return false;
    place next;
    if (!open_place(target.folder.get(), text, next)) {
      return errno == ENOENT && open_place(AT_FDCWD, path, target);
    }
    target = std::move(next);
  }
}

// Creates a new, empty file in `folder` under an unused name named after the output `base`,
// or in the short form where the long one cannot be made; the name goes to `name`.
int create_temporary(int folder, const std::string& base, std::string& name) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t seed =
      static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(::getpid()) << 32);
  std::string_view owner = base;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = temporary_name(owner, seed);
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno == EEXIST) continue;
    if (owner.empty()) return -1;
    owner = {};  // too long a name, most likely
  }
  return -1;
}

mode_t creation_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Makes the rename itself durable. A folder that cannot be read cannot be flushed, and some
// file systems flush no folders; the new file is in place either way, so nothing is reported.
void flush_folder(int folder) {
  const unique_fd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (readable.get() >= 0) (void)::fsync(readable.get());
}

}  // namespace

bool replace_file(const std::string& path, std::string_view data) {
  place target;
  if (!find_target(path, target)) return false;
  const int folder = target.folder.get();
  const char* const name = target.name.c_str();

  // A dangling link looks like no file here, and is replaced as a new one.
  struct stat old {};
  const bool existed = ::fstatat(folder, name, &old, 0) == 0;
  if (!existed && errno != ENOENT) return false;
  // A device, a pipe, a socket or a folder is no program file, and never ours to replace.
  if (existed && !S_ISREG(old.st_mode)) return false;
  // Replacing by rename needs only the folder's permission; a file its owner made read-only
  // stays as protected as an ordinary open for writing would leave it.
  if (existed && ::faccessat(folder, name, W_OK, AT_EACCESS) != 0) return false;

  const signal_hold hold;
  std::string temp_name;
  unique_fd temp(create_temporary(folder, target.name, temp_name));
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
  ok = ok && ::renameat(folder, temp_name.c_str(), folder, name) == 0;
  if (!ok) {
    ::unlinkat(folder, temp_name.c_str(), 0);
    return false;
  }
  flush_folder(folder);
  return true;
}

}  // namespace tarnwick::frontend::posix
