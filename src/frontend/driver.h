// The run of the program: the console dialogue and the order of the work.
#pragma once

#include "frontend/system.h"

namespace tarnwick::frontend {

// Runs the program on its command line, whose names are UTF-8, against `sys`: its console,
// its files and its clock. The exit status: always 0.
int run(int argc, const char* const argv[], system& sys);

}  // namespace tarnwick::frontend
