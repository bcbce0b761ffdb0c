// tarnwick: converts an Intel HEX file into a TI-86 program file.
#include <signal.h>

#include <ctime>

#include "frontend/console.h"
#include "frontend/driver.h"
#include "ti86/time_text.h"

int main(int argc, char* argv[]) {
  // A closed console or a file size limit must not kill a conversion halfway: the writes
  // fail instead, and the run reports it.
  (void)::signal(SIGPIPE, SIG_IGN);
  (void)::signal(SIGXFSZ, SIG_IGN);
  tarnwick::terminal_console con;
  return tarnwick::run(argc, argv, con,
                       [] { return tarnwick::ti86::to_local_time(std::time(nullptr)); });
}
