// tarnwick: converts an Intel HEX file into a TI-86 program file.
#include <signal.h>

#include "frontend/driver.h"
#include "frontend/system.h"

int main(int argc, char* argv[]) {
  // A closed console or a file size limit must not kill a conversion halfway: the writes
  // fail instead, and the run reports it.
  (void)::signal(SIGPIPE, SIG_IGN);
  (void)::signal(SIGXFSZ, SIG_IGN);
  const auto sys = tarnwick::frontend::make_platform_system();
  return tarnwick::frontend::run(argc, argv, *sys);
}
