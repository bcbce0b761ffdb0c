#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarnwick::testing {

temp_dir::temp_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

temp_dir::~temp_dir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, std::string_view data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::ptrdiff_t failing_source::read(char* buf, std::size_t size) {
  if (data_.empty()) return -1;
  const std::size_t n = std::min(size, data_.size());
  std::memcpy(buf, data_.data(), n);
  data_.remove_prefix(n);
  return static_cast<std::ptrdiff_t>(n);
}

started_process start_process(const std::vector<std::string>& argv, const std::string& cwd,
                              const std::function<void()>& in_child) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::setsid();
    const int null_fd = ::open("/dev/null", O_RDONLY);
    ::dup2(null_fd, STDIN_FILENO);
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    ::dup2(pipe_fds[1], STDERR_FILENO);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    if (in_child) in_child();
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  return {pid, pipe_fds[0]};
}

process_result finish_process(started_process p) {
  process_result result;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(p.out_fd, buf, sizeof buf);
    if (n > 0) {
      result.out.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(p.out_fd);
  struct rusage usage {};
  while (::wait4(p.pid, &result.status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.max_rss_kb = usage.ru_maxrss;
  return result;
}

process_result run_process(const std::vector<std::string>& argv, const std::string& cwd,
                           const std::function<void()>& in_child) {
  return finish_process(start_process(argv, cwd, in_child));
}

std::string from_hex(std::string_view pairs) {
  std::string out;
  int high = -1;
  for (const char c : pairs) {
    if (c == ' ' || c == '\n') continue;
    const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

}  // namespace tarnwick::testing
