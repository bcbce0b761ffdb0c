// Where the reader's raw bytes come from: the input file in the program, memory elsewhere.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace tarnwick::hexreader {

class byte_source {
 public:
  virtual ~byte_source() = default;
  // Reads up to `size` bytes into `buf`: the count read, 0 at the end of input, -1 on an error.
  virtual std::ptrdiff_t read(char* buf, std::size_t size) = 0;
};

// Serves bytes from memory, at most `chunk` a read, as a file read might cut them.
class memory_source final : public byte_source {
 public:
  explicit memory_source(std::string_view data, std::size_t chunk = static_cast<std::size_t>(-1))
      : data_(data), chunk_(chunk == 0 ? 1 : chunk) {}
  std::ptrdiff_t read(char* buf, std::size_t size) override {
    const std::size_t n = std::min({size, chunk_, data_.size()});
    std::memcpy(buf, data_.data(), n);
    data_.remove_prefix(n);
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string_view data_;
  std::size_t chunk_;
};

}  // namespace tarnwick::hexreader
