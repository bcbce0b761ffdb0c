// Files and folders for the tests, on every platform. Names are UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "hexreader/byte_source.h"

namespace tarnwick::testing {

// A fresh folder that is removed with everything in it at the end of the test.
class temp_dir {
 public:
  temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  ~temp_dir();
  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view data);
bool file_exists(const std::string& path);
// Makes the folder `path`; false when it could not.
bool make_dir(const std::string& path);
// The names in folder `dir`, sorted.
std::vector<std::string> list_dir(const std::string& dir);

// Serves `data`, then fails as a disk read error would.
class failing_source final : public hexreader::byte_source {
 public:
  explicit failing_source(std::string_view data) : data_(data) {}
  std::ptrdiff_t read(char* buf, std::size_t size) override;

 private:
  std::string_view data_;
};

// Bytes written as hexadecimal pairs, spaces ignored: "21 00 0C" is "\x21\x00\x0C".
std::string from_hex(std::string_view pairs);

}  // namespace tarnwick::testing
