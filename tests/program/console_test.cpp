// The built program on a pseudo-terminal, run as someone at a keyboard would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "frontend/messages.h"
#include "frontend/posix/write_all.h"
#include "pty_support.h"
#include "test_support.h"

namespace tarnwick {
namespace {

using frontend::posix::write_all;
using testing::file_exists;
using testing::modes_of;
using testing::read_until;
using testing::reap_within_guard;
using testing::same_modes;
using testing::temp_dir;
using testing::write_file;

// Written to the terminal after the program ended, to mark the end of what it wrote; no message
// holds it.
constexpr char output_end = '#';

// Typed after the program ended, to mark the end of the input it left unread.
constexpr char input_end = '#';

constexpr int ending_signals[] = {SIGTERM, SIGHUP, SIGINT};

// The terminal turns each line feed into CR LF on the way out.
const std::string clear_and_banner = "\x1b[H\x1b[2J" + frontend::banner() + "\r\n\r\n";
const std::string usage_screen =
    clear_and_banner + "Proper usage:\r\n\r\n\ttarnwick [filename(.hex)]\r\n";

bool exited_zero(int status) {
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool line_modes_on(const termios& modes) {
  constexpr tcflag_t line_modes = ICANON | ECHO | ISIG;
  return (modes.c_lflag & line_modes) == line_modes;
}

// The built program on a pseudo-terminal of its own, as standard input, output and error. The
// test types on the master side and, through its own descriptor of the terminal, watches the
// modes and takes what the program left.
class program_on_terminal {
 public:
  // Runs the program with `args` in `cwd` and TERM set to `term`, whatever the test's own
  // terminal is; with `controlling` the terminal becomes its controlling terminal, otherwise
  // it has none.
  explicit program_on_terminal(const std::vector<std::string>& args, const std::string& cwd = ".",
                               bool controlling = true, const char* term = "xterm") {
    if (openpty(&master_, &terminal_, nullptr, nullptr, nullptr) != 0) return;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(terminal_, F_SETFD, FD_CLOEXEC);
    initial_modes_ = modes_of(terminal_);
    std::vector<std::string> argv_text{TARNWICK_EXE};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(argv_text.size() + 1);
    for (std::string& arg : argv_text) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) start_child(argv.data(), cwd.c_str(), controlling, term);
  }

  program_on_terminal(const program_on_terminal&) = delete;
  program_on_terminal& operator=(const program_on_terminal&) = delete;

  ~program_on_terminal() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {master_, terminal_}) {
      if (fd >= 0) close(fd);
    }
  }

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  int terminal() const { return terminal_; }
  const termios& initial_modes() const { return initial_modes_; }

  bool type(std::string_view keys) const { return write_all(master_, keys); }

  // The program's wait status; nothing if it has not ended before the guard.
  std::optional<int> reap() {
    const std::optional<int> status = reap_within_guard(pid_);
    if (status) pid_ = -1;
    return status;
  }

  // Everything written to the terminal so far, as the screen receives it.
  std::optional<std::string> screen() const {
    if (!write_all(terminal_, std::string(1, output_end))) return std::nullopt;
    return read_until(master_, output_end);
  }

  // The input typed but never read; for after the program ended, as it makes the terminal raw.
  std::optional<std::string> unread_input() const {
    termios raw = modes_of(terminal_);
    cfmakeraw(&raw);
    if (tcsetattr(terminal_, TCSANOW, &raw) != 0) return std::nullopt;
    if (!type(std::string(1, input_end))) return std::nullopt;
    return read_until(terminal_, input_end);
  }

 private:
  // In the forked child: the terminal as the standard streams of a new session, then the
  // program. Only async-signal-safe calls until exec.
  [[noreturn]] void start_child(char* const argv[], const char* cwd, bool controlling,
                                const char* term) const {
    // Whatever started the test may ignore or block these (a background job ignores SIGINT);
    // exec keeps an ignored signal ignored.
    sigset_t ending;
    sigemptyset(&ending);
    for (const int sig : ending_signals) {
      (void)signal(sig, SIG_DFL);
      sigaddset(&ending, sig);
    }
    sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    if (setsid() < 0) _exit(120);
    if (controlling && ioctl(terminal_, TIOCSCTTY, 0) != 0) _exit(121);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
      if (dup2(terminal_, fd) != fd) _exit(122);
    }
    if (chdir(cwd) != 0) _exit(123);
    if (setenv("TERM", term, 1) != 0) _exit(124);
    execv(argv[0], argv);
    _exit(127);
  }

  pid_t pid_ = -1;
  int master_ = -1;
  int terminal_ = -1;
  termios initial_modes_{};
};

struct key_case {
  const char* name;
  std::string keys;  // typed in one write once the program waits
  std::string left_unread;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const key_case& c, std::ostream* os) {
  *os << c.name;
}

class key_press : public ::testing::TestWithParam<key_case> {};

TEST_P(key_press, ends_the_wait_taking_one_key) {
  const key_case& c = GetParam();
  program_on_terminal program({});
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(line_modes_on(program.initial_modes()));
  ASSERT_TRUE(testing::wait_until_raw(program.terminal())) << "the program never waited";
  ASSERT_TRUE(program.type(c.keys));

  const std::optional<int> status = program.reap();
  ASSERT_TRUE(status.has_value()) << "the key did not end the wait";
  EXPECT_TRUE(exited_zero(*status)) << "wait status " << *status;
  EXPECT_TRUE(same_modes(modes_of(program.terminal()), program.initial_modes()));
  EXPECT_EQ(program.screen(), usage_screen);
  EXPECT_EQ(program.unread_input(), c.left_unread);
}

INSTANTIATE_TEST_SUITE_P(
    keys, key_press,
    ::testing::Values(key_case{"arrow_up", "\x1b[A", ""}, key_case{"f5", "\x1b[15~", ""},
                      key_case{"letter", "a", ""}, key_case{"enter", "\r", ""},
                      key_case{"ctrl_c", "\x03", ""}, key_case{"lone_esc", "\x1b", ""},
                      key_case{"second_of_two_letters_stays", "ab", "b"},
                      key_case{"letter_after_arrow_stays", "\x1b[Ax", "x"}),
    [](const ::testing::TestParamInfo<key_case>& info) { return std::string(info.param.name); });

TEST(usage, is_shown_on_a_cleared_screen_and_then_waits_for_a_key) {
  program_on_terminal program({});
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(testing::wait_until_raw(program.terminal())) << "the program never waited";
  EXPECT_EQ(program.screen(), usage_screen);

  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(waitpid(program.pid(), nullptr, WNOHANG), 0) << "the program ended without a key";
  EXPECT_EQ(modes_of(program.terminal()).c_lflag & (ICANON | ECHO | ISIG), 0U);

  ASSERT_TRUE(program.type("k"));
  const std::optional<int> status = program.reap();
  ASSERT_TRUE(status.has_value()) << "the key did not end the wait";
  EXPECT_TRUE(exited_zero(*status)) << "wait status " << *status;
  EXPECT_EQ(program.screen(), "") << "the program wrote after the key";
}

class ending_signal : public ::testing::TestWithParam<int> {};

TEST_P(ending_signal, ends_the_program_and_restores_modes) {
  const int sig = GetParam();
  program_on_terminal program({});
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(testing::wait_until_raw(program.terminal())) << "the program never waited";
  ASSERT_EQ(kill(program.pid(), sig), 0);

  const std::optional<int> status = program.reap();
  ASSERT_TRUE(status.has_value()) << "the signal did not end the program";
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == sig) << "wait status " << *status;
  const termios after = modes_of(program.terminal());
  EXPECT_TRUE(line_modes_on(after));
  EXPECT_TRUE(same_modes(after, program.initial_modes()));
  EXPECT_EQ(program.screen(), usage_screen);
}

INSTANTIATE_TEST_SUITE_P(signals, ending_signal, ::testing::ValuesIn(ending_signals),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(sigabbrev_np(info.param));
                         });

TEST(conversion, clears_the_screen_unless_dumb_and_ends_without_a_key) {
  struct {
    const char* term;
    std::string screen_start;
  } const cases[] = {{"xterm", clear_and_banner}, {"dumb", frontend::banner() + "\r\n\r\n"}};
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / "prog.hex", ":03000000010203F7\n:00000001FF\n");
    program_on_terminal program({"prog.hex"}, dir.path(), true, c.term);
    ASSERT_TRUE(program.started());

    const std::optional<int> status = program.reap();
    ASSERT_TRUE(status.has_value()) << "the program waited";
    EXPECT_TRUE(exited_zero(*status)) << "wait status " << *status;
    EXPECT_EQ(program.screen(), c.screen_start +
                                    "Converting prog.hex\r\n\r\nOutputting prog.86p\r\n\r\n"
                                    "Success!\r\n")
        << "TERM=" << c.term;
    EXPECT_TRUE(file_exists(dir / "prog.86p"));
    EXPECT_TRUE(same_modes(modes_of(program.terminal()), program.initial_modes()));
  }
}

TEST(no_controlling_terminal, shows_the_usage_on_the_terminal_output_and_ends_at_once) {
  program_on_terminal program({}, ".", false);
  ASSERT_TRUE(program.started());

  const std::optional<int> status = program.reap();
  ASSERT_TRUE(status.has_value()) << "the program waited";
  EXPECT_TRUE(exited_zero(*status)) << "wait status " << *status;
  EXPECT_EQ(program.screen(), usage_screen);
  EXPECT_TRUE(same_modes(modes_of(program.terminal()), program.initial_modes()));
}

}  // namespace
}  // namespace tarnwick
