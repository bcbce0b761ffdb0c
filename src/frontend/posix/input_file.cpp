#include "frontend/posix/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::frontend::posix {
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

}  // namespace

opened_input open_input_file(const std::string& name) {
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

}  // namespace tarnwick::frontend::posix
