#include "frontend/text/console_window.h"

namespace tarnwick::frontend::text {

bool console_window_is_own(std::size_t console_processes, bool output_is_console) {
  // A shell that started the program shares its console and keeps the window open; no
  // console at all counts no process.
  return console_processes == 1 && output_is_console;
}

}  // namespace tarnwick::frontend::text
