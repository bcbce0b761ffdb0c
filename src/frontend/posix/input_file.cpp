#include "frontend/posix/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::frontend::posix {
namespace {

class posix_input_file final : public input_file {
 public:
  explicit posix_input_file(int fd) : fd_(fd) {}
  posix_input_file(const posix_input_file&) = delete;
  posix_input_file& operator=(const posix_input_file&) = delete;
  ~posix_input_file() override { ::close(fd_); }

  std::ptrdiff_t read(char* buf, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buf, size);
      if (got >= 0) return got;
      if (errno != EINTR) return -1;
    }
  }

  bool is_same_file(const std::string& name) const override {
    struct stat in {};
    struct stat out {};
    return ::fstat(fd_, &in) == 0 && ::stat(name.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<input_file> open_input_file(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  // Most systems open a folder for reading without complaint; it is no input all the same.
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<posix_input_file>(fd);
}

}  // namespace tarnwick::frontend::posix
