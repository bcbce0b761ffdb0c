#include "hexreader/byte_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarnwick {

std::ptrdiff_t fd_source::read(char* buf, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_, buf, size);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

std::ptrdiff_t memory_source::read(char* buf, std::size_t size) {
  const std::size_t n = std::min({size, chunk_, data_.size()});
  std::memcpy(buf, data_.data(), n);
  data_.remove_prefix(n);
  return static_cast<std::ptrdiff_t>(n);
}

}  // namespace tarnwick
