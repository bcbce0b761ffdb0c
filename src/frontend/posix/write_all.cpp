#include "frontend/posix/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace tarnwick::frontend::posix {

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

}  // namespace tarnwick::frontend::posix
