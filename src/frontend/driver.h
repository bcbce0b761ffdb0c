// The run of the program: the console dialogue and the order of the work.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "frontend/console.h"

namespace tarnwick {

// The banner every run starts with, "- Tarnwick (VERSION) -".
std::string banner();

// Gives the local time of the conversion.
using local_clock = std::function<std::tm()>;

// Runs the program on its command line, whose names are UTF-8; the console and the clock
// are the caller's. Files are read and written directly. The exit status: always 0.
int run(int argc, const char* const argv[], console& con, const local_clock& now);

}  // namespace tarnwick
