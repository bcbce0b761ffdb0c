// The input file, opened for reading. One implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hexreader/byte_source.h"

namespace tarnwick {

class input_file final : public byte_source {
 public:
  // Opens the file `name` (UTF-8) for reading. A folder counts as not opened.
  explicit input_file(const std::string& name);
  input_file(const input_file&) = delete;
  input_file& operator=(const input_file&) = delete;
  ~input_file() override;

  bool is_open() const { return handle_ != closed; }

  // Reads like any byte source: the count read, 0 at the end, -1 on an error.
  std::ptrdiff_t read(char* buf, std::size_t size) override;

  // True when `name` reaches this very file, by whatever spelling or link.
  bool is_same_file(const std::string& name) const;

 private:
  static constexpr std::intptr_t closed = -1;
  std::intptr_t handle_ = closed;  // the platform's descriptor or handle
};

}  // namespace tarnwick
