// The POSIX system: standard output and the controlling terminal, the files, the clock.
#include "frontend/system.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "frontend/output_name.h"
#include "frontend/posix/clock.h"
#include "frontend/posix/input_file.h"
#include "frontend/posix/output_file.h"
#include "frontend/posix/terminal.h"
#include "frontend/posix/write_all.h"

namespace tarnwick::frontend {
namespace posix {
namespace {

class posix_system final : public system {
 public:
  void clear_screen() override {
    if (wants_clear_screen(::isatty(STDOUT_FILENO) != 0, std::getenv("TERM"))) {
      posix::clear_screen(STDOUT_FILENO);
    }
  }

  void write_line(std::string_view text) override {
    std::string line(text);
    line += '\n';
    // A failure means nobody reads the console; the conversion goes on regardless.
    (void)write_all(STDOUT_FILENO, line);
  }

  void wait_key() override { wait_for_key(); }
  // A terminal's window belongs to whoever opened it.
  bool window_closes_at_exit() override { return false; }

  std::string_view folder_separators() const override { return posix_separators; }

  std::unique_ptr<input_file> open_input(const std::string& name) override {
    return open_input_file(name);
  }

  bool replace_file(const std::string& path, std::string_view data) override {
    return posix::replace_file(path, data);
  }

  std::optional<std::tm> local_time() override { return local_time_now(); }
};

}  // namespace
}  // namespace posix

std::unique_ptr<system> make_platform_system() {
  return std::make_unique<posix::posix_system>();
}

}  // namespace tarnwick::frontend
