// Files, folders and child processes for the tests.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hexreader/byte_source.h"

namespace tarnwick::testing {

// A fresh folder that is removed with everything in it at the end of the test.
class temp_dir {
 public:
  temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  ~temp_dir();
  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view data);
bool file_exists(const std::string& path);
// The names in folder `dir`, sorted.
std::vector<std::string> list_dir(const std::string& dir);

// Serves `data`, then fails as a disk read error would.
class failing_source final : public byte_source {
 public:
  explicit failing_source(std::string_view data) : data_(data) {}
  std::ptrdiff_t read(char* buf, std::size_t size) override;

 private:
  std::string_view data_;
};

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

// Bytes written as hexadecimal pairs, spaces ignored: "21 00 0C" is "\x21\x00\x0C".
std::string from_hex(std::string_view pairs);

}  // namespace tarnwick::testing
