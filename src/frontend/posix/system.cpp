// The POSIX system: standard output and the controlling terminal, the files, the clock.
#include "frontend/system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frontend/output_name.h"
#include "frontend/posix/posix.h"

namespace tarnwick::frontend {
namespace posix {

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;  // nothing written and no error given: the reason must not be stale
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

namespace {

class posix_input_file final : public input_file {
 public:
  posix_input_file(int fd, const struct stat& st)
      : fd_(fd),
        identity_{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)} {}
  posix_input_file(const posix_input_file&) = delete;
  posix_input_file& operator=(const posix_input_file&) = delete;
  ~posix_input_file() override { ::close(fd_); }

  std::ptrdiff_t read(char* buf, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buf, size);
      if (got >= 0) return got;
      if (errno != EINTR) {
        read_errno_ = errno;
        return -1;
      }
    }
  }
  file_identity identity() const override { return identity_; }
  failure read_failure() const override { return {failure::cause::system, read_errno_}; }

 private:
  int fd_;
  file_identity identity_;
  int read_errno_ = 0;
};

class posix_system final : public system {
 public:
  void clear_screen() override {
    if (wants_clear_screen(::isatty(STDOUT_FILENO) != 0, std::getenv("TERM"))) {
      // Cursor home, then clear the screen.
      (void)write_all(STDOUT_FILENO, "\x1b[H\x1b[2J");
    }
  }
  void write_line(std::string_view text) override {
    std::string line(text);
    line += '\n';
    // A failure means nobody reads the console; the conversion goes on regardless.
    (void)write_all(STDOUT_FILENO, line);
  }
  void write_error_line(std::string_view text) override {
    std::string line(text);
    line += '\n';
    (void)write_all(STDERR_FILENO, line);
  }
  void wait_key() override { wait_for_key(); }
  // A terminal's window belongs to whoever opened it.
  bool window_closes_at_exit() override { return false; }

  std::string_view folder_separators() const override { return posix_separators; }

  // A regular file, a pipe or a device; a folder is refused with EISDIR.
  opened_input open_input(const std::string& name) override {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {nullptr, {failure::cause::system, errno}};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      const int error = errno;
      ::close(fd);
      return {nullptr, {failure::cause::system, error}};
    }
    // Most systems open a folder for reading without complaint; it is no input all the same.
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      return {nullptr, {failure::cause::system, EISDIR}};
    }
    return {std::make_unique<posix_input_file>(fd, st), {}};
  }
  std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                      const input_file& input) override {
    return posix::replace_file(path, data, input.identity());
  }
  std::string error_text(int code) override { return std::strerror(code); }

  // In the time zone TZ names, or the system's; nothing past the largest year it holds.
  std::optional<std::tm> local_time() override {
    const std::time_t now = std::time(nullptr);
    // localtime_r need not look at TZ; tzset makes sure it is honoured.
    ::tzset();
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return std::nullopt;
    return local;
  }
};

}  // namespace

bool wants_clear_screen(bool output_is_terminal, const char* term) {
  return output_is_terminal && (term == nullptr || std::string_view(term) != "dumb");
}

}  // namespace posix

std::unique_ptr<system> make_platform_system() {
  return std::make_unique<posix::posix_system>();
}

}  // namespace tarnwick::frontend
