// The POSIX system: standard output and the controlling terminal, the files, the clock.
#include "frontend/system.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
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

  void write_error_line(std::string_view text) override {
    std::string line(text);
    line += '\n';
    (void)write_all(STDERR_FILENO, line);
  }

  void wait_key() override { wait_for_key(); }
  // A terminal's window belongs to whoever opened it.
  bool window_closes_at_exit() override { return false; }

  std::string_view folder_separators() const override { return posix_separators; }

  opened_input open_input(const std::string& name) override { return open_input_file(name); }

  std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                      const input_file& input) override {
    return posix::replace_file(path, data, input.identity());
  }

  std::string error_text(int code) override { return std::strerror(code); }

  std::optional<std::tm> local_time() override { return local_time_now(); }
};

}  // namespace
}  // namespace posix

std::unique_ptr<system> make_platform_system() {
  return std::make_unique<posix::posix_system>();
}

}  // namespace tarnwick::frontend
