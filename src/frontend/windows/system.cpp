// The Windows system: the console, the files, the clock.
#include "frontend/system.h"

#include "frontend/output_name.h"
#include "frontend/windows/clock.h"
#include "frontend/windows/console.h"
#include "frontend/windows/input_file.h"
#include "frontend/windows/output_file.h"

namespace tarnwick::frontend {
namespace windows {
namespace {

class windows_system final : public system {
 public:
  void clear_screen() override { output_.clear(); }
  void write_line(std::string_view text) override { output_.write_line(text); }
  void wait_key() override { wait_for_key(); }
  bool window_closes_at_exit() override { return output_.is_own_window(); }

  std::string_view folder_separators() const override { return windows_separators; }

  std::unique_ptr<input_file> open_input(const std::string& name) override {
    return open_input_file(name);
  }

  bool replace_file(const std::string& path, std::string_view data) override {
    return windows::replace_file(path, data);
  }

  std::optional<std::tm> local_time() override { return local_time_now(); }

 private:
  console_output output_;
};

}  // namespace
}  // namespace windows

std::unique_ptr<system> make_platform_system() {
  return std::make_unique<windows::windows_system>();
}

}  // namespace tarnwick::frontend
