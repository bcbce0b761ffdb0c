#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "frontend/input_file.h"

namespace tarnwick {

input_file::input_file(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  // Most systems open a folder for reading without complaint; it is no input all the same.
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return;
  }
  handle_ = fd;
}

input_file::~input_file() {
  if (is_open()) ::close(static_cast<int>(handle_));
}

std::ptrdiff_t input_file::read(char* buf, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buf, size);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

bool input_file::is_same_file(const std::string& name) const {
  struct stat in {};
  struct stat out {};
  return ::fstat(static_cast<int>(handle_), &in) == 0 && ::stat(name.c_str(), &out) == 0 &&
         in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

}  // namespace tarnwick
