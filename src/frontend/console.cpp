#include "frontend/console.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "frontend/terminal.h"

namespace tarnwick {

void terminal_console::clear() {
  clear_screen(STDOUT_FILENO);
}

void terminal_console::write_line(std::string_view text) {
  std::string line(text);
  line += '\n';
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t n = ::write(STDOUT_FILENO, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nobody is reading the console; the conversion goes on regardless
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

void terminal_console::wait_key() {
  wait_for_key();
}

}  // namespace tarnwick
