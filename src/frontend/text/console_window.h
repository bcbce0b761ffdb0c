// Whether the console window is the program's own, which Windows closes as the program ends.
// Pure, so it builds and is tested on every platform; the Windows console feeds it.
#pragma once

#include <cstddef>

namespace tarnwick::frontend::text {

// True when the console serves this process alone and standard output is that console.
bool console_window_is_own(std::size_t console_processes, bool output_is_console);

}  // namespace tarnwick::frontend::text
