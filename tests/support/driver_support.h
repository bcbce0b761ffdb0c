// The driver run in process on the platform's own files, with the console recorded and the
// clock standing still.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fake_system.h"
#include "golden.h"

namespace tarnwick::testing {

// The platform's real files behind the fake's console and clock.
class platform_files final : public fake_system {
 public:
  platform_files();
  std::string_view folder_separators() const override;
  frontend::opened_input open_input(const std::string& name) override;
  std::optional<frontend::failure> replace_file(const std::string& path, std::string_view data,
                                                const frontend::input_file& input) override;
  std::string error_text(int code) override;

 private:
  std::unique_ptr<frontend::system> real_;
};

// What the console shows when `run` is given `args` (UTF-8) after the program's name.
std::vector<std::string> run_with(const std::vector<std::string>& args);

}  // namespace tarnwick::testing
