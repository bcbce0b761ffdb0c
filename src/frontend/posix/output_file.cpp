// Replacing the output file on POSIX systems, so that it is never left half-written.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "frontend/posix/posix.h"
#include "frontend/temporary_name.h"

// The system calls and flags only Linux has; macOS's headers, as zig ships them, have no
// sys/syscall.h.
#if defined(__linux__)
#include <linux/fs.h>
#include <sys/syscall.h>
#endif

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

// Attempts at the output before its name is taken to be changing for good: sixteen
// conversions of one file at once need at most about as many.
constexpr int max_attempts = 100;

using outcome = std::optional<failure>;

// The failure errno names; read at once, before another call can change it.
failure system_error(int code = errno) {
  return {failure::cause::system, code};
}

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

// Holds back every signal that could end the process while the output is being put in place,
// so that one arriving then ends it only after the temporary file is renamed or removed.
// SIGKILL and SIGSTOP cannot be held; the system leaves them out by itself. On Linux the
// kernel is asked directly: the C library's full set leaves out the two signals it keeps for
// itself (32 and 33), which would still end the process.
class signal_hold {
 public:
  signal_hold() {
#if defined(__linux__) && defined(SYS_rt_sigprocmask)
    std::array<unsigned char, kernel_set_size> every{};
    every.fill(0xff);
    raw_ = ::syscall(SYS_rt_sigprocmask, SIG_BLOCK, every.data(), raw_old_.data(),
                     kernel_set_size) == 0;
    if (raw_) return;
#endif
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old_);
  }
  signal_hold(const signal_hold&) = delete;
  signal_hold& operator=(const signal_hold&) = delete;
  ~signal_hold() {
#if defined(__linux__) && defined(SYS_rt_sigprocmask)
    if (raw_) {
      ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, raw_old_.data(), nullptr, kernel_set_size);
      return;
    }
#endif
    sigprocmask(SIG_SETMASK, &old_, nullptr);
  }

 private:
#if defined(__linux__) && defined(SYS_rt_sigprocmask)
  static constexpr std::size_t kernel_set_size = _NSIG / 8;
  std::array<unsigned char, kernel_set_size> raw_old_{};
  bool raw_ = false;
#endif
  sigset_t old_{};
};

// A name inside an open folder.
struct place {
  unique_fd folder;
  std::string name;
};

// Opens the folder of `path`, relative to the folder `from`.
outcome open_place(int from, const std::string& path, place& out) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  out.name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (out.name.empty()) return system_error(EISDIR);
  out.folder = unique_fd(::openat(from, dir.c_str(), folder_access | O_DIRECTORY | O_CLOEXEC));
  if (out.folder.get() < 0) return system_error();
  return {};
}

outcome read_link(const place& link, std::string& text) {
  std::string buf(256, '\0');
  for (;;) {
    const ssize_t got = ::readlinkat(link.folder.get(), link.name.c_str(), buf.data(), buf.size());
    if (got < 0) return system_error();
    if (static_cast<std::size_t>(got) < buf.size()) {
      buf.resize(static_cast<std::size_t>(got));
      text = std::move(buf);
      return {};
    }
    buf.resize(buf.size() * 2);
  }
}

// Refuses the link `link` in `folder` where a sticky, world-writable folder (/tmp) holds it
// and neither the user running the program nor the folder's owner owns it: the rule by which
// Linux protects such folders, applied whatever the system is set to.
outcome may_follow(int folder, const struct stat& link) {
  struct stat dir {};
  if (::fstat(folder, &dir) != 0) return system_error();
  const bool shared = (dir.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
  if (!shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid) return {};
  return failure{failure::cause::link_in_shared_folder};
}

// Finds the file `path` stands for: itself, or the end of its chain of links, followed one
// link at a time relative to the link's folder, so that no limit on a whole path's length
// applies. Where the chain ends at nothing (a dangling link), `path` itself is the file. Any
// link that cannot be followed is a failure, never a file to replace.
outcome find_target(const std::string& path, place& target) {
  place here;
  if (const auto error = open_place(AT_FDCWD, path, here)) return error;
  // The output name's own place, kept for a dangling link.
  place first{unique_fd(::fcntl(here.folder.get(), F_DUPFD_CLOEXEC, 0)), here.name};
  if (first.folder.get() < 0) return system_error();
  for (int links = 0;; ++links) {
    struct stat st {};
    if (::fstatat(here.folder.get(), here.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return system_error();
      target = std::move(links == 0 ? here : first);
      return {};
    }
    if (!S_ISLNK(st.st_mode)) {
      target = std::move(here);
      return {};
    }
    if (links == max_links) return failure{failure::cause::link_loop};
    if (const auto error = may_follow(here.folder.get(), st)) return error;
    std::string text;
    if (const auto error = read_link(here, text)) return error;
    place next;
    if (const auto error = open_place(here.folder.get(), text, next)) {
      if (error->why != failure::cause::system || error->code != ENOENT) return error;
      target = std::move(first);  // a folder on the way is missing: the link dangles
      return {};
    }
    here = std::move(next);
  }
}

// Creates a new, empty file of mode `mode` (less the umask) in `folder` under an unused name
// named after the output `base`, or in the short form where the long one cannot be made; the
// name goes to `name`.
int create_temporary(int folder, const std::string& base, mode_t mode, std::string& name) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::uint64_t seed =
      static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(::getpid()) << 32);
  int fd = -1;
  frontend::create_temporary(base, seed, [&](const std::string& candidate) {
    name = candidate;
    fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) return creation::created;
    return errno == EEXIST ? creation::exists : creation::failed;
  });
  return fd;
}

// Writes `data` to `fd` and flushes it to disk.
outcome write_and_flush(int fd, std::string_view data) {
  if (!write_all(fd, data) || ::fsync(fd) != 0) return system_error();
  return {};
}

// Makes the new name durable. A folder that cannot be read cannot be flushed, and some file
// systems flush no folders (EINVAL); the new file is in place either way. Any other error is
// reported.
outcome flush_folder(int folder) {
  const unique_fd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (readable.get() < 0) {
    if (errno == EACCES || errno == EPERM) return {};
    return system_error();
  }
  if (::fsync(readable.get()) != 0 && errno != EINVAL) return system_error();
  return {};
}

#if defined(O_TMPFILE)
// Gives the unnamed file `fd` the name `name` in `folder`, never replacing what is there.
outcome link_unnamed(int fd, int folder, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return {};
#if defined(AT_EMPTY_PATH)
  // Without /proc; allowed to privileged users, and by newer kernels to all.
  if (errno == ENOENT && ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return {};
#endif
  return system_error();
}
#endif

// Makes the new file `name` in `folder`, where nothing of that name exists. Where the system
// can, the file is made unnamed and named only once whole, so that nothing is left over
// whatever happens; elsewhere it is created under its name and removed on failure. Either way
// it never replaces what another program put there meanwhile, and it gets what an ordinary
// create gives: mode 0666 less the umask, or the folder's default ACL.
outcome write_new(int folder, const std::string& name, std::string_view data) {
#if defined(O_TMPFILE)
  unique_fd unnamed(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (unnamed.get() >= 0) {
    if (const auto error = write_and_flush(unnamed.get(), data)) return error;
    if (const auto error = link_unnamed(unnamed.get(), folder, name)) return error;
    if (!unnamed.close()) return system_error();
    return flush_folder(folder);
  }
  // File systems without unnamed files, and kernels before 3.11.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return system_error();
#endif
  unique_fd file(
      ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (file.get() < 0) return system_error();
  auto error = write_and_flush(file.get(), data);
  if (!error && !file.close()) error = system_error();
  if (error) {
    ::unlinkat(folder, name.c_str(), 0);
    return error;
  }
  return flush_folder(folder);
}

// True when the folder lets names be added but none removed or renamed (chattr +a), so that
// a temporary file could not be taken away again. Only Linux tells, and only for a folder
// that can be read.
bool append_only(int folder) {
#if defined(__linux__) && defined(FS_IOC_GETFLAGS)
  const unique_fd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int flags = 0;
  return readable.get() >= 0 && ::ioctl(readable.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
         (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
#else
  (void)folder;
  return false;
#endif
}

// True when `a` and `b` are one file. The type is a second guard: where a file could not be
// held open, its number, once free, is given at once to whatever is made next.
bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
         (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT);
}

// What the output name held when it was checked, held open from then until it is replaced,
// where the system can: a number still in use passes to nothing made meanwhile, so that device
// and number name this one file.
struct checked_file {
  unique_fd held;
  struct stat st {};
};

// Looks at what `name` in `folder` holds, itself and not what a link leads to.
outcome look_at(int folder, const std::string& name, checked_file& out) {
#if defined(O_PATH)
  out.held = unique_fd(::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (out.held.get() < 0 || ::fstat(out.held.get(), &out.st) != 0) return system_error();
#else
  if (::fstatat(folder, name.c_str(), &out.st, AT_SYMLINK_NOFOLLOW) != 0) return system_error();
#endif
  return {};
}

// Checks `old`, what `name` in `folder` held when looked at, as a file to replace: a regular
// file other than `input` that an ordinary open for writing could change, or a dangling link.
outcome may_replace(int folder, const char* name, const struct stat& old, file_identity input) {
  if (S_ISREG(old.st_mode)) {
    const file_identity found{static_cast<std::uint64_t>(old.st_dev),
                              static_cast<std::uint64_t>(old.st_ino)};
    if (found == input) return failure{failure::cause::same_file};
    // Replacing by rename needs only the folder's permission; a file its owner made
    // read-only stays as protected as an ordinary open for writing would leave it.
    if (::faccessat(folder, name, W_OK, AT_EACCESS) != 0) return system_error();
    return {};
  }
  // A device, a pipe, a socket or a folder is no program file, and never ours to replace.
  if (!S_ISLNK(old.st_mode)) return failure{failure::cause::not_regular_file};
  return {};
}

// The new content in a temporary file of the output's folder, written once and kept from one
// attempt to the next; removed when dropped, unless it took the output's place.
class temporary_file {
 public:
  temporary_file() = default;
  temporary_file(const temporary_file&) = delete;
  temporary_file& operator=(const temporary_file&) = delete;
  ~temporary_file() { drop(); }

  // Makes this the flushed file to put in the place of `old`, the regular file or dangling
  // link `name` in `folder`: the file already written where it is in that folder and `old` is
  // a regular file, else a new one holding `data`. It has `old`'s owner and permission bits;
  // in a dangling link's place, a new file's.
  outcome prepare(int folder, const std::string& name, const struct stat& old,
                  std::string_view data) {
    if (!S_ISREG(old.st_mode) || !in(folder)) {
      drop();
      if (const auto error = create(folder, name, S_ISREG(old.st_mode) ? 0600 : 0666, data)) {
        return error;
      }
    }
    if (const auto error = take_mode(old)) return error;
    if (::fsync(fd_.get()) != 0) return system_error();
    return {};
  }
  // Its name; empty once that no longer holds it.
  std::string& name() { return name_; }
  // Closes it, reporting the error a late write failure may only show here.
  bool close() { return fd_.close(); }

 private:
  // True when it was written in `folder` and still has its name.
  bool in(int folder) const {
    struct stat here {
    }, there{};
    return !name_.empty() && ::fstat(folder, &here) == 0 && ::fstat(folder_.get(), &there) == 0 &&
           same_file(here, there);
  }

  // Writes `data` into a new file of mode `mode` (less the umask) in `folder`: private until
  // it has the old file's bits.
  outcome create(int folder, const std::string& base, mode_t mode, std::string_view data) {
    if (append_only(folder)) return system_error(EPERM);
    folder_ = unique_fd(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (folder_.get() < 0) return system_error();
    fd_ = unique_fd(create_temporary(folder, base, mode, name_));
    if (fd_.get() < 0) {
      name_.clear();
      return system_error();
    }
    if (!write_all(fd_.get(), data)) return system_error();
    return {};
  }

  // Gives it the owner and permission bits of `old` where that is a regular file.
  outcome take_mode(const struct stat& old) {
    if (!S_ISREG(old.st_mode)) return {};
    // Only root may give the file away; for others this fails harmlessly. It comes before the
    // mode, since a change of owner clears set-id bits.
    [[maybe_unused]] const int ignored = ::fchown(fd_.get(), old.st_uid, old.st_gid);
    if (::fchmod(fd_.get(), old.st_mode & 07777) != 0) return system_error();
    return {};
  }

  void drop() {
    if (!name_.empty()) ::unlinkat(folder_.get(), name_.c_str(), 0);
    name_.clear();
    fd_ = unique_fd();
  }

  unique_fd folder_;
  unique_fd fd_;
  std::string name_;
};

// Puts the finished file `temp` in the place of `name`, only while that still holds `old`.
// On Linux the two are swapped, and swapped back unless what came back is `old`, so that only
// the checked file is replaced; it is then removed. Elsewhere, or where the file system cannot
// swap, `name` is looked at again just before the rename: a narrow window is left. On failure
// `temp` still names the temporary file, or is empty where that name no longer holds it.
outcome swap_in(int folder, std::string& temp, const std::string& name, const struct stat& old) {
  struct stat back {};
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  if (::renameat2(folder, temp.c_str(), folder, name.c_str(), RENAME_EXCHANGE) == 0) {
    if (::fstatat(folder, temp.c_str(), &back, AT_SYMLINK_NOFOLLOW) == 0 && same_file(back, old)) {
      if (::unlinkat(folder, temp.c_str(), 0) != 0) return system_error();
      temp.clear();
      return {};
    }
    // Where even the swap back fails, what came back keeps the temporary name: it is not ours
    // to remove, so the name is forgotten.
    if (::renameat2(folder, temp.c_str(), folder, name.c_str(), RENAME_EXCHANGE) != 0) {
      temp.clear();
    }
    return failure{failure::cause::output_changed};
  }
  if (errno == ENOENT) return failure{failure::cause::output_changed};
  if (errno != EINVAL && errno != ENOSYS) return system_error();
#endif
  if (::fstatat(folder, name.c_str(), &back, AT_SYMLINK_NOFOLLOW) != 0 || !same_file(back, old)) {
    return failure{failure::cause::output_changed};
  }
  if (::renameat(folder, temp.c_str(), folder, name.c_str()) != 0) return system_error();
  temp.clear();
  return {};
}

// One attempt at replace_file, with `temp` the file already written, if any.
outcome replace_once(const std::string& path, std::string_view data, file_identity input,
                     temporary_file& temp) {
  place target;
  if (const auto error = find_target(path, target)) return error;
  const int folder = target.folder.get();
  checked_file old;
  if (const auto error = look_at(folder, target.name, old)) {
    if (*error != failure{failure::cause::system, ENOENT}) return error;
    return write_new(folder, target.name, data);
  }
  if (const auto error = may_replace(folder, target.name.c_str(), old.st, input)) return error;
  if (const auto error = temp.prepare(folder, target.name, old.st, data)) return error;
  if (const auto error = swap_in(folder, temp.name(), target.name, old.st)) return error;
  if (!temp.close()) return system_error();
  return flush_folder(folder);
}

}  // namespace

std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                    file_identity input) {
  const signal_hold hold;
  temporary_file temp;
  // What another program made or put at the output name meanwhile (another conversion of the
  // same file, say) is found, checked and replaced like any output on the next attempt, by the
  // file already written: writing it again would let every other conversion finish first.
  outcome error;
  for (int attempt = 0; attempt < max_attempts; ++attempt) {
    error = replace_once(path, data, input, temp);
    if (error != failure{failure::cause::system, EEXIST} &&
        error != failure{failure::cause::output_changed}) {
      break;
    }
  }
  return error;
}

}  // namespace tarnwick::frontend::posix
