#include "frontend/console.h"

#include <unistd.h>

#include <string>

#include "frontend/terminal.h"
#include "frontend/write_all.h"

namespace tarnwick {

void terminal_console::clear() {
  clear_screen(STDOUT_FILENO);
}

void terminal_console::write_line(std::string_view text) {
  std::string line(text);
  line += '\n';
  // A failure means nobody reads the console; the conversion goes on regardless.
  (void)write_all(STDOUT_FILENO, line);
}

void terminal_console::wait_key() {
  wait_for_key();
}

}  // namespace tarnwick
