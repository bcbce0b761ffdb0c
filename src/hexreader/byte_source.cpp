#include "hexreader/byte_source.h"

#include <algorithm>
#include <cstring>

namespace tarnwick::hexreader {

std::ptrdiff_t memory_source::read(char* buf, std::size_t size) {
  const std::size_t n = std::min({size, chunk_, data_.size()});
  std::memcpy(buf, data_.data(), n);
  data_.remove_prefix(n);
  return static_cast<std::ptrdiff_t>(n);
}

}  // namespace tarnwick::hexreader
