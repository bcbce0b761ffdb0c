#include "process_posix.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tarnwick::testing {

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

}  // namespace tarnwick::testing
