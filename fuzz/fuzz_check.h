// The fuzz targets' checks: a failed one is a finding, whatever the build type.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace tarnwick::fuzz {

// Reports `what` and aborts, which libFuzzer records as a crash, when `ok` is false.
// Not assert(): a Release build defines NDEBUG and would drop every check.
inline void check(bool ok, const char* what) {
  if (ok) return;
  (void)std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace tarnwick::fuzz
