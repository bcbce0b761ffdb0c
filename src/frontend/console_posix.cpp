#include <unistd.h>

#include <cstdlib>
#include <string>

#include "frontend/console.h"
#include "frontend/terminal_posix.h"
#include "frontend/write_all_posix.h"

namespace tarnwick {
namespace {

// Standard output, and the controlling terminal for the key.
class terminal_console final : public console {
 public:
  void clear() override {
    if (wants_clear_screen(::isatty(STDOUT_FILENO) != 0, std::getenv("TERM"))) {
      clear_screen(STDOUT_FILENO);
    }
  }

  void write_line(std::string_view text) override {
    std::string line(text);
    line += '\n';
    // A failure means nobody reads the console; the conversion goes on regardless.
    (void)write_all(STDOUT_FILENO, line);
  }

  void wait_key() override { wait_for_key(); }
};

}  // namespace

std::unique_ptr<console> make_system_console() {
  return std::make_unique<terminal_console>();
}

}  // namespace tarnwick
