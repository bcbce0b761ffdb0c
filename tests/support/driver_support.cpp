#include "driver_support.h"

namespace tarnwick::testing {

platform_files::platform_files() : real_(frontend::make_platform_system()) {}

std::string_view platform_files::folder_separators() const {
  return real_->folder_separators();
}

std::unique_ptr<frontend::input_file> platform_files::open_input(const std::string& name) {
  return real_->open_input(name);
}

bool platform_files::replace_file(const std::string& path, std::string_view data) {
  return real_->replace_file(path, data);
}

std::vector<std::string> run_with(const std::vector<std::string>& args) {
  platform_files sys;
  return sys.run(args);
}

}  // namespace tarnwick::testing
