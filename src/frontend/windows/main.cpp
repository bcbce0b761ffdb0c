// tarnwick: converts an Intel HEX file into a TI-86 program file.
#include <string>
#include <vector>

#include "frontend/driver.h"
#include "frontend/system.h"
#include "frontend/windows/platform.h"

// The wide entry point, so that every name the system accepts arrives intact; the driver
// takes them as UTF-8.
int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> args;
  args.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) args.push_back(tarnwick::frontend::windows::narrow(argv[i]));
  std::vector<const char*> utf8_argv;
  utf8_argv.reserve(args.size() + 1);
  for (const auto& a : args) utf8_argv.push_back(a.c_str());
  utf8_argv.push_back(nullptr);
  const auto sys = tarnwick::frontend::make_platform_system();
  return tarnwick::frontend::run(argc, utf8_argv.data(), *sys);
}
