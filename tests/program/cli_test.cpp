// The built program, run as a user would, without a terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "driver_support.h"
#include "frontend/driver.h"
#include "process_posix.h"
#include "program_reader.h"
#include "test_support.h"
#include "ti86/time_text.h"

// Defined by the address sanitizer's runtime, whose own memory the memory check leaves out.
extern "C" [[gnu::weak]] void __asan_init();  // NOLINT: the runtime's name

namespace tarnwick {
namespace {

using testing::file_exists;
using testing::list_dir;
using testing::process_result;
using testing::read_file;
using testing::run_process;
using testing::temp_dir;
using testing::write_file;

const std::string banner = frontend::banner() + "\n\n";

std::string success_text(const std::string& in, const std::string& out) {
  return banner + "Converting " + in + "\n\nOutputting " + out + "\n\nSuccess!\n";
}

bool exited_zero(const process_result& r) {
  return WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0;
}

// With TERM set to a terminal that clears, as most are, the screen must stay uncleared all the
// same: the output is no terminal.
process_result tarnwick(const std::vector<std::string>& args, const std::string& cwd,
                        const std::function<void()>& in_child = {}) {
  std::vector<std::string> argv{TARNWICK_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_process(argv, cwd, [&] {
    ::setenv("TERM", "xterm", 1);
    if (in_child) in_child();
  });
}

using testing::file16;

// The bytes are the driver's; here the stamp is the local time of some second of the run.
TEST(cli, stamps_the_local_time) {
  const temp_dir dir;
  write_file(dir / "t.hex", testing::t_hex);
  // Five and a half hours east of UTC, so that a stamp in UTC, or a whole hour off, shows.
  constexpr std::time_t offset = 5 * 3600 + 30 * 60;
  const std::time_t before = std::time(nullptr);
  const process_result r = tarnwick({"t.hex"}, dir.path(), [] { ::setenv("TZ", "TWK-5:30", 1); });
  const std::time_t after = std::time(nullptr);
  EXPECT_TRUE(exited_zero(r));
  EXPECT_EQ(r.out, success_text("t.hex", "t.86p"));
  const std::string file = read_file(dir / "t.86p");
  const auto fields = testing::read_program(file);
  ASSERT_EQ(fields.problems, std::vector<std::string>{});
  bool stamped = false;
  for (std::time_t t = before + offset; t <= after + offset; ++t) {
    std::tm local{};
    stamped = stamped || fields.time_text == ti86::format_time_text(*::gmtime_r(&t, &local));
  }
  EXPECT_TRUE(stamped) << fields.time_text;
}

TEST(cli, usage_without_a_terminal_ends_at_once) {
  // A terminal with TERM unset is cleared; this output is none.
  const temp_dir dir;
  const process_result r = tarnwick({}, dir.path(), [] { ::unsetenv("TERM"); });
  EXPECT_TRUE(exited_zero(r));
  EXPECT_EQ(r.out, banner + "Proper usage:\n\n\ttarnwick [filename(.hex)]\n");
}

TEST(cli, full_disk_reports_and_keeps_the_old_file) {
  // A file size limit below the output's size stands in for a full disk. The program itself
  // must keep the signal the limit raises from killing it.
  const auto small_limit = [] {
    (void)::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{60, 60};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  for (const bool existing : {false, true}) {
    const temp_dir dir;
    write_file(dir / "t.hex", file16);
    if (existing) write_file(dir / "t.86p", "old");
    const process_result r = tarnwick({"t.hex"}, dir.path(), small_limit);
    EXPECT_TRUE(exited_zero(r));
    EXPECT_EQ(r.out, banner + "Converting t.hex\n\nOutputting t.86p\n\nError writing t.86p!\n" +
                         "tarnwick: t.86p: " + std::strerror(EFBIG) + "\n");
    if (existing) {
      EXPECT_EQ(read_file(dir / "t.86p"), "old");
      EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"}));
    } else {
      EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"t.hex"});
    }
  }
}

TEST(cli, read_only_folder) {
  // Root writes anywhere, so the folder is made unwritable by a file system, not by modes:
  // the input is reached through /proc, as descriptor 3, and the output goes beside it.
  const temp_dir dir;
  write_file(dir / "t.hex", testing::t_hex);
  const process_result r = tarnwick({"/proc/self/fd/3"}, "/", [&] {
    const int fd = ::open((dir / "t.hex").c_str(), O_RDONLY);
    if (fd < 0 || ::dup2(fd, 3) < 0) ::_exit(125);
  });
  EXPECT_TRUE(exited_zero(r));
  const std::string start = banner +
                            "Converting /proc/self/fd/3\n\nOutputting /proc/self/fd/.86p\n\n"
                            "Error writing /proc/self/fd/.86p!\ntarnwick: /proc/self/fd/.86p: ";
  ASSERT_EQ(r.out.substr(0, start.size()), start);
  // The reason is the system's own: /proc gives root and other users different ones.
  const std::string reason = r.out.substr(start.size());
  EXPECT_TRUE(reason == std::string(std::strerror(ENOENT)) + "\n" ||
              reason == std::string(std::strerror(EACCES)) + "\n")
      << reason;
}

TEST(cli, ordinary_user_modes) {
  // Root may write anything, so the run drops to an ordinary user. That user runs a copy of
  // the program in the test's folder, since the build folder may be private to root. A
  // read-only output is left alone; a folder that may be written but not listed still works.
  constexpr uid_t nobody = 65534;
  const bool as_root = ::getuid() == 0;
  struct {
    mode_t folder_mode;
    mode_t mode;
    std::string last_line;
    std::size_t size;
  } const cases[] = {
      {0777, 0444, "Error writing t.86p!\ntarnwick: t.86p: " + std::string(std::strerror(EACCES)),
       3},
      {0777, 0666, "Success!", 116},
      {0333, 0666, "Success!", 116}};
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / "tarnwick", read_file(TARNWICK_EXE));
    ::chmod((dir / "tarnwick").c_str(), 0755);
    write_file(dir / "t.hex", file16);
    write_file(dir / "t.86p", "old");
    ::chmod((dir / "t.86p").c_str(), c.mode);
    ::chmod(dir.path().c_str(), c.folder_mode);
    const process_result r = run_process({dir / "tarnwick", "t.hex"}, dir.path(), [&] {
      if (as_root && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(125);
      if (::access(".", W_OK | X_OK) != 0) ::_exit(126);
    });
    ::chmod(dir.path().c_str(), 0777);
    if (WIFEXITED(r.status) && WEXITSTATUS(r.status) >= 125) {
      GTEST_SKIP() << "user " << (as_root ? nobody : ::getuid()) << " cannot reach " << dir.path()
                   << " (a private TMPDIR or a parent folder of mode 0700?)";
    }
    EXPECT_EQ(r.out, banner + "Converting t.hex\n\nOutputting t.86p\n\n" + c.last_line + "\n");
    EXPECT_EQ(read_file(dir / "t.86p").size(), c.size);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex", "tarnwick"}));
  }
}

TEST(cli, closed_standard_stream_does_not_stop_the_conversion) {
  // With standard input closed, descriptor 0 is the first one free and the input file gets it;
  // with the console's reader gone, every write to it fails.
  for (const bool input_closed : {true, false}) {
    const temp_dir dir;
    write_file(dir / "t.hex", file16);
    testing::started_process p = testing::start_process({TARNWICK_EXE, "t.hex"}, dir.path(), [&] {
      if (input_closed) ::close(STDIN_FILENO);
    });
    if (!input_closed) {
      ::close(p.out_fd);
      p.out_fd = ::open("/dev/null", O_RDONLY);
    }
    const process_result r = testing::finish_process(p);
    EXPECT_TRUE(exited_zero(r)) << "input closed " << input_closed;
    EXPECT_EQ(r.out, input_closed ? success_text("t.hex", "t.86p") : "");
    EXPECT_EQ(read_file(dir / "t.86p").size(), 116U) << "input closed " << input_closed;
  }
}

TEST(cli, sixteen_conversions_at_once_all_succeed) {
  // Each one's writing takes long enough for others to put their file in place meanwhile.
  const temp_dir dir;
  write_file(dir / "p.hex", testing::hex_file(std::vector<std::size_t>(1500, 16)));
  std::vector<testing::started_process> running;
  running.reserve(16);
  for (int i = 0; i < 16; ++i) {
    running.push_back(testing::start_process({TARNWICK_EXE, "p.hex"}, dir.path()));
  }
  for (auto& p : running) {
    const process_result r = testing::finish_process(p);
    EXPECT_EQ(r.out, success_text("p.hex", "p.86p"));
  }
  const std::string file = read_file(dir / "p.86p");
  const auto fields = testing::read_program(file);
  EXPECT_EQ(fields.problems, std::vector<std::string>{});
  EXPECT_EQ(fields.program_length, 8U + 1500 * 33);
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"p.86p", "p.hex"}));
}

TEST(cli, blank_lines_cost_no_memory) {
  const temp_dir dir;
  {
    std::ofstream out(dir / "blank.hex", std::ios::binary);
    const std::string block(1 << 20, '\n');
    for (int i = 0; i < 200; ++i)
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  const process_result r = tarnwick({"blank.hex"}, dir.path());
  EXPECT_EQ(r.out, banner + "Converting blank.hex\n\nOutputting blank.86p\n\n" +
                       frontend::not_intel_hex_warning("blank.hex") + "\nSuccess!\n");
  EXPECT_EQ(read_file(dir / "blank.86p").size(), 84U);
  EXPECT_TRUE(&__asan_init != nullptr || r.max_rss_kb < 16L * 1024) << r.max_rss_kb << " kB";
}

}  // namespace
}  // namespace tarnwick
