#include "driver_support.h"

namespace tarnwick::testing {

platform_files::platform_files() : real_(frontend::make_platform_system()) {}

std::string_view platform_files::folder_separators() const {
  return real_->folder_separators();
}

frontend::opened_input platform_files::open_input(const std::string& name) {
  return real_->open_input(name);
}

std::optional<frontend::failure> platform_files::replace_file(const std::string& path,
                                                              std::string_view data,
                                                              const frontend::input_file& input) {
  return real_->replace_file(path, data, input);
}

std::string platform_files::error_text(int code) {
  return real_->error_text(code);
}

std::vector<std::string> run_with(const std::vector<std::string>& args) {
  platform_files sys;
  return sys.run(args);
}

}  // namespace tarnwick::testing
