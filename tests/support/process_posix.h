// Child processes for the tests on POSIX systems.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::testing {

struct process_result {
  std::string out;      // standard output and standard error, as written
  int status = -1;      // wait status
  long max_rss_kb = 0;  // peak resident memory of the child
};

// Runs `argv` in `cwd` in a new session (so without a controlling terminal), its standard
// input empty; `in_child` runs in the child just before exec.
process_result run_process(const std::vector<std::string>& argv, const std::string& cwd = ".",
                           const std::function<void()>& in_child = {});

// Starts `argv` like run_process and returns at once; collect with finish_process.
struct started_process {
  pid_t pid = -1;
  int out_fd = -1;
};
started_process start_process(const std::vector<std::string>& argv, const std::string& cwd,
                              const std::function<void()>& in_child = {});
process_result finish_process(started_process p);

}  // namespace tarnwick::testing
