// The console on pseudo-terminals: the built program run as someone at a keyboard would (raw
// mode, the modes restored, the signals), and the POSIX key wait in process only where the
// program cannot show the result (its signal handlers after the wait). Where a key ends is
// tested without a terminal, in key_bytes_test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "frontend/messages.h"
#include "frontend/posix/posix.h"
#include "test_support.h"

namespace tarnwick {
namespace {

using frontend::posix::write_all;
using testing::file_exists;
using testing::temp_dir;
using testing::write_file;
using steady = std::chrono::steady_clock;

// Only a broken run takes this long; passing runs never come near it. Every wait on the
// terminal or the child is bounded by it, so a broken program fails its test instead of
// hanging it.
constexpr int guard_ms = 5000;

// True once `done()` holds, asked every millisecond; false if it does not before the guard.
template <class condition>
bool within_guard(condition done) {
  for (const auto give_up = steady::now() + std::chrono::milliseconds(guard_ms);
       steady::now() < give_up; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
    if (done()) return true;
  }
  return false;
}

// Reads exactly `count` bytes; nothing if they do not all come before the guard.
std::optional<std::string> read_exactly(int fd, std::size_t count) {
  std::string got;
  while (got.size() < count) {
    if (frontend::posix::poll_input(fd, guard_ms) <= 0) return std::nullopt;
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) return std::nullopt;
    got += c;
  }
  return got;
}

// Reads up to the first `mark`, which is consumed and left out; nothing if it does not come
// before the guard.
std::optional<std::string> read_until(int fd, char mark) {
  std::string got;
  for (;;) {
    // One byte at a time: whatever follows the mark is not this reader's to take.
    const std::optional<std::string> next = read_exactly(fd, 1);
    if (!next) return std::nullopt;
    if ((*next)[0] == mark) return got;
    got += *next;
  }
}

// The modes of terminal `fd`, all zero if it is none.
termios modes_of(int fd) {
  termios modes{};
  tcgetattr(fd, &modes);
  return modes;
}

// True when the flags and control characters of `a` and `b` are equal.
bool same_modes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::ranges::equal(a.c_cc, b.c_cc);
}

// True once terminal `fd` has left line mode (ICANON off); false if that does not happen
// before the guard.
bool wait_until_raw(int fd) {
  return within_guard([fd] { return (modes_of(fd).c_lflag & ICANON) == 0; });
}

// Written to the terminal once the child ended, it marks the end of what the child wrote; typed
// then, the end of the input it left unread. No message holds it.
constexpr char end_mark = '#';

// Signals that end the program unhandled (it ignores SIGPIPE and SIGXFSZ), and that stop it.
const int ending_signals[] = {SIGTERM,   SIGHUP,  SIGINT,  SIGQUIT, SIGUSR1, SIGUSR2,  SIGALRM,
                              SIGVTALRM, SIGPROF, SIGXCPU, SIGSYS,  SIGSEGV, SIGRTMIN, SIGRTMAX};
constexpr int stopping_signals[] = {SIGTSTP, SIGTTIN, SIGTTOU, SIGSTOP};

// The terminal turns each line feed into CR LF on the way out.
const std::string banner_lines = frontend::banner() + "\r\n\r\n";
const std::string clear_and_banner = "\x1b[H\x1b[2J" + banner_lines;
const std::string usage_screen =
    clear_and_banner + "Proper usage:\r\n\r\n\ttarnwick [filename(.hex)]\r\n";

bool exited_zero(int status) {
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// How the child starts; whatever the test's own terminal, signals and TERM are.
struct setup {
  std::vector<std::string> args{};  // the program's arguments
  std::string cwd = ".";
  const char* term = "xterm";  // nullptr leaves TERM unset
  bool controlling = true;     // false: the terminal is not the child's controlling terminal
  int ignored = 0;             // a signal ignored from the start, as under nohup
  std::string typed_ahead{};   // typed, and echoed, before the child starts
  bool input_closed = false;   // standard input closed, so that the next file opened is 0
};

// A child in a new session with a pseudo-terminal of its own as standard input, output and
// error: the built program, or a function of this test in its place. The test types on the
// master side and, through its own descriptor of the terminal, watches the modes and takes what
// the child left.
class on_terminal {
 public:
  explicit on_terminal(const setup& how, int (*in_place)() = nullptr) {
    if (openpty(&master_, &terminal_, nullptr, nullptr, nullptr) != 0) return;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(terminal_, F_SETFD, FD_CLOEXEC);
    initial_modes_ = modes_of(terminal_);
    std::vector<std::string> argv_text{TARNWICK_EXE};
    argv_text.insert(argv_text.end(), how.args.begin(), how.args.end());
    std::vector<char*> argv;
    argv.reserve(argv_text.size() + 1);
    for (std::string& arg : argv_text) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int go[2];
    if (pipe2(go, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(go[1]);
      start_child(how, go[0], argv.data(), in_place);
    }
    close(go[0]);
    // Typed ahead, the keys wait in the terminal's queue; their echo is taken off here, so the
    // screen holds only what the child writes.
    const bool typed =
        how.typed_ahead.empty() ||
        (type(how.typed_ahead) && read_exactly(master_, how.typed_ahead.size()) == how.typed_ahead);
    started_ = pid_ > 0 && typed && write_all(go[1], "g");
    close(go[1]);
  }

  on_terminal(const on_terminal&) = delete;
  on_terminal& operator=(const on_terminal&) = delete;

  ~on_terminal() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {master_, terminal_}) {
      if (fd >= 0) close(fd);
    }
  }

  bool started() const { return started_; }
  pid_t pid() const { return pid_; }
  pid_t foreground_group() const { return tcgetpgrp(master_); }
  int terminal() const { return terminal_; }
  const termios& initial_modes() const { return initial_modes_; }

  bool type(std::string_view keys) const { return write_all(master_, keys); }

  // Types `pieces` one write each, 10 ms apart: a slow link delivering one key, well within
  // the pause that ends a key.
  bool type_in_pieces(const std::vector<std::string>& pieces) const {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!type(pieces[i])) return false;
    }
    return true;
  }

  // Closes the master side: the terminal hangs up.
  void hang_up() {
    close(master_);
    master_ = -1;
  }

  // The child's wait status; nothing if it has not ended before the guard.
  std::optional<int> reap() {
    int status = 0;
    bool failed = false;
    const bool reaped = within_guard([&] {
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      failed = done < 0 && errno != EINTR;
      return done == pid_ || failed;
    });
    if (!reaped || failed) return std::nullopt;
    pid_ = -1;
    return status;
  }

  // Everything written to the terminal so far, as the screen receives it.
  std::optional<std::string> screen() const {
    if (!write_all(terminal_, std::string(1, end_mark))) return std::nullopt;
    return read_until(master_, end_mark);
  }

  // The input typed but never read; for after the child ended, as it makes the terminal raw.
  std::optional<std::string> unread_input() const {
    termios raw = modes_of(terminal_);
    cfmakeraw(&raw);
    if (tcsetattr(terminal_, TCSANOW, &raw) != 0) return std::nullopt;
    if (!type(std::string(1, end_mark))) return std::nullopt;
    return read_until(terminal_, end_mark);
  }

 private:
  // In the forked child: the terminal as the standard streams of a new session; once `go` says
  // so, the program or `in_place`. Nothing but async-signal-safe calls and setenv, as this
  // process has no other thread.
  [[noreturn]] void start_child(const setup& how, int go, char* const argv[],
                                int (*in_place)()) const {
    // Whatever started the test may ignore or block these (a background job ignores SIGINT);
    // exec keeps an ignored signal ignored. No signal leaves a core file behind.
    sigset_t ending;
    sigemptyset(&ending);
    for (const int sig : ending_signals) {
      (void)signal(sig, SIG_DFL);
      sigaddset(&ending, sig);
    }
    sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    if (how.ignored != 0) (void)signal(how.ignored, SIG_IGN);
    const rlimit no_core{0, 0};
    if (setrlimit(RLIMIT_CORE, &no_core) != 0) _exit(119);
    if (setsid() < 0) _exit(120);
    if (how.controlling && ioctl(terminal_, TIOCSCTTY, 0) != 0) _exit(121);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
      if (dup2(terminal_, fd) != fd) _exit(122);
    }
    if (how.input_closed) close(STDIN_FILENO);
    if (chdir(how.cwd.c_str()) != 0) _exit(123);
    if ((how.term != nullptr ? setenv("TERM", how.term, 1) : unsetenv("TERM")) != 0) _exit(124);
    char byte = 0;
    if (read(go, &byte, 1) != 1) _exit(125);
    if (in_place != nullptr) _exit(in_place());
    execv(argv[0], argv);
    _exit(127);
  }

  pid_t pid_ = -1;
  int master_ = -1;
  int terminal_ = -1;
  termios initial_modes_{};
  bool started_ = false;
};

// Marks a key typed before the program starts instead of while it waits.
constexpr bool ahead = true;

struct key_case {
  const char* name;
  std::vector<std::string> pieces;  // one key's writes, 10 ms apart: see type_in_pieces
  std::string left_unread{};
  bool typed_ahead = false;  // its one piece typed before the program starts
  bool input_closed = false;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const key_case& c, std::ostream* os) {
  *os << c.name;
}

// These show the terminal made raw, read through the pause and no further.
const key_case key_cases[] = {
    {"letter_after_arrow_stays", {"\x1b[Ax"}, "x"},
    // Keys that would stop, suspend, quit, pause or quote on a terminal in line mode.
    {"ctrl_c", {"\x03"}},
    {"ctrl_z", {"\x1a"}},
    {"ctrl_backslash", {"\x1c"}},
    {"ctrl_s", {"\x13"}},
    {"ctrl_q", {"\x11"}},
    {"ctrl_v", {"\x16"}},
    // Ended by the pause after it; the pieces of another come well within it.
    {"lone_esc", {"\x1b"}},
    {"arrow_up_in_pieces", {"\x1b", "[A"}},
    // The wait must not throw away what was typed before it began.
    {"typed_ahead_second_letter_stays", {"ab"}, "b", ahead},
    // The terminal is then opened as descriptor 0.
    {"letter_with_input_closed", {"x"}, "", false, true},
};

class key_press : public ::testing::TestWithParam<key_case> {};

TEST_P(key_press, ends_the_wait_taking_one_key) {
  const key_case& c = GetParam();
  on_terminal program(
      {.typed_ahead = c.typed_ahead ? c.pieces.front() : "", .input_closed = c.input_closed});
  ASSERT_TRUE(program.started());
  // The terminal starts in line mode, which the other tests' restored modes then hold too.
  constexpr tcflag_t line_modes = ICANON | ECHO | ISIG;
  ASSERT_EQ(program.initial_modes().c_lflag & line_modes, line_modes);
  if (!c.typed_ahead) {
    ASSERT_TRUE(wait_until_raw(program.terminal())) << "the program never waited";
    ASSERT_TRUE(program.type_in_pieces(c.pieces));
  }

  const std::optional<int> status = program.reap();
  ASSERT_TRUE(status.has_value()) << "the key did not end the wait";
  EXPECT_TRUE(exited_zero(*status)) << "wait status " << *status;
  EXPECT_TRUE(same_modes(modes_of(program.terminal()), program.initial_modes()));
  EXPECT_EQ(program.screen(), usage_screen);
  EXPECT_EQ(program.unread_input(), c.left_unread);
}

INSTANTIATE_TEST_SUITE_P(keys, key_press, ::testing::ValuesIn(key_cases),
                         [](const ::testing::TestParamInfo<key_case>& info) {
                           return std::string(info.param.name);
                         });

class ending_signal : public ::testing::TestWithParam<int> {};

TEST_P(ending_signal, ends_the_program_and_restores_modes) {
  const int sig = GetParam();
  // qemu-user, which .ci/cross.sh runs the suite in and names here, writes its own line on the
  // terminal for a signal that dumps core, and cannot send the last real-time signals.
  if (std::getenv("TARNWICK_TEST_EMULATOR") != nullptr &&
      (sig == SIGQUIT || sig == SIGSEGV || sig == SIGXCPU || sig == SIGSYS || sig == SIGRTMAX)) {
    GTEST_SKIP() << sigabbrev_np(sig) << " under " << std::getenv("TARNWICK_TEST_EMULATOR")
                 << ": the emulator writes its own line for it or cannot send it";
  }
  on_terminal program({});
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(wait_until_raw(program.terminal())) << "the program never waited";
  ASSERT_EQ(kill(program.pid(), sig), 0);

  const std::optional<int> status = program.reap();
  ASSERT_TRUE(status.has_value()) << "the signal did not end the program";
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == sig) << "wait status " << *status;
  EXPECT_TRUE(same_modes(modes_of(program.terminal()), program.initial_modes()));
  EXPECT_EQ(program.screen(), usage_screen);
}

std::string signal_name(const ::testing::TestParamInfo<int>& info) {
  const char* name = sigabbrev_np(info.param);
  return name != nullptr ? name : "RT" + std::to_string(info.param - SIGRTMIN);
}

INSTANTIATE_TEST_SUITE_P(signals, ending_signal, ::testing::ValuesIn(ending_signals), signal_name);

// Run in place of the program: the program as a shell's job, in a process group of its own in
// the foreground, which a stop signal stops (one sent to a session leader's group is discarded).
int run_as_job() {
  const pid_t job = fork();
  if (job == 0) {
    setpgid(0, 0);
    (void)signal(SIGTTOU, SIG_IGN);  // so that a group not yet in the foreground may take it
    tcsetpgrp(STDIN_FILENO, getpid());
    (void)signal(SIGTTOU, SIG_DFL);
    _exit(execl(TARNWICK_EXE, TARNWICK_EXE, nullptr));
  }
  int status = 0;
  waitpid(job, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// True once process `pid` is in `state` ('T' stopped, 'S' asleep) with no `sig` pending, as
// /proc tells; false if not before the guard.
bool in_state_within_guard(pid_t pid, char state, int sig = 0) {
  return within_guard([=] {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    bool in_state = false;
    std::uint64_t pending = 0;
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("State:"))
        in_state = line.find(std::string{state, ' '}) != std::string::npos;
      if (line.starts_with("SigPnd:") || line.starts_with("ShdPnd:")) {
        pending |= std::stoull(line.substr(7), nullptr, 16);
      }
    }
    return in_state && (sig == 0 || ((pending >> (sig - 1)) & 1U) == 0);
  });
}

class stopping_signal : public ::testing::TestWithParam<int> {};

TEST_P(stopping_signal, stops_with_modes_restored_then_sigcont_makes_the_wait_go_on_raw) {
  on_terminal shell({}, run_as_job);
  ASSERT_TRUE(shell.started());
  ASSERT_TRUE(wait_until_raw(shell.terminal())) << "the program never waited";
  const pid_t job = shell.foreground_group();
  ASSERT_EQ(kill(job, GetParam()), 0);
  ASSERT_TRUE(in_state_within_guard(job, 'T')) << "the signal did not stop the program";
  // SIGSTOP cannot be caught; shells put their own modes back, as the test does next.
  const bool restored = same_modes(modes_of(shell.terminal()), shell.initial_modes());
  EXPECT_TRUE(restored || GetParam() == SIGSTOP);

  ASSERT_EQ(tcsetattr(shell.terminal(), TCSANOW, &shell.initial_modes()), 0);
  ASSERT_EQ(kill(job, SIGCONT), 0);
  ASSERT_TRUE(wait_until_raw(shell.terminal())) << "the terminal stayed in line mode";
  ASSERT_TRUE(shell.type("k"));
  const std::optional<int> status = shell.reap();
  EXPECT_TRUE(status.has_value() && exited_zero(*status)) << "the key did not end the wait";
}

INSTANTIATE_TEST_SUITE_P(signals, stopping_signal, ::testing::ValuesIn(stopping_signals),
                         signal_name);

// Run in place of the program: the program as a shell's job in the background, ignoring the
// terminal's stops where `stops_ignored` says so; once it stops, brought to the foreground as
// `fg` does. Exit status 0 when the job exited 0.
bool stops_ignored = false;
int run_in_background() {
  const pid_t job = fork();
  if (job == 0) {
    setpgid(0, 0);
    if (stops_ignored) {
      (void)signal(SIGTTOU, SIG_IGN);
      (void)signal(SIGTTIN, SIG_IGN);
    }
    _exit(execl(TARNWICK_EXE, TARNWICK_EXE, nullptr));
  }
  setpgid(job, job);
  int status = 0;
  waitpid(job, &status, WUNTRACED);
  if (WIFSTOPPED(status) && tcsetpgrp(STDIN_FILENO, job) == 0 && kill(-job, SIGCONT) == 0) {
    waitpid(job, &status, 0);
  }
  return exited_zero(status) ? 0 : 1;
}

// In the background the program changes no modes: where nothing stops it, it ends at once;
// stopped, it waits once in the foreground for exactly one key.
TEST(key_wait, in_background_changes_no_modes_and_after_fg_takes_one_key) {
  for (const bool ignoring : {true, false}) {
    stops_ignored = ignoring;
    on_terminal shell({}, run_in_background);
    ASSERT_TRUE(shell.started());
    if (!ignoring) {
      ASSERT_TRUE(wait_until_raw(shell.terminal())) << "the program never waited";
      ASSERT_TRUE(shell.type("kz"));
    }
    const std::optional<int> status = shell.reap();
    EXPECT_TRUE(status.has_value() && exited_zero(*status)) << "stops ignored " << ignoring;
    EXPECT_TRUE(same_modes(modes_of(shell.terminal()), shell.initial_modes())) << ignoring;
    EXPECT_EQ(shell.unread_input(), ignoring ? "" : "z");
  }
}

// The handler of every signal.
struct handlers {
  void (*of[NSIG])(int);
  bool operator==(const handlers&) const = default;
};

handlers current_handlers() {
  handlers now{};
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction action {};
    sigaction(sig, nullptr, &action);
    now.of[sig] = action.sa_handler;
  }
  return now;
}

// Run in place of the program, which ends right after its wait: a caught SIGHUP beside the
// setup's ignored SIGINT and the default SIGTERM, and exit status 0 only if the wait put every
// handler back as it was.
int wait_and_compare_handlers() {
  (void)signal(SIGHUP, [](int) {});
  const handlers before = current_handlers();
  frontend::posix::wait_for_key();
  return before == current_handlers() ? 0 : 1;
}

TEST(key_wait_dispositions, ignored_interrupt_stays_ignored_and_handlers_come_back) {
  on_terminal child({.ignored = SIGINT}, wait_and_compare_handlers);
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(wait_until_raw(child.terminal())) << "the wait never began";
  ASSERT_EQ(kill(child.pid(), SIGINT), 0);
  ASSERT_TRUE(child.type("a"));

  const std::optional<int> status = child.reap();
  ASSERT_TRUE(status.has_value()) << "the key did not end the wait";
  ASSERT_FALSE(WIFSIGNALED(*status)) << "the ignored interrupt ended the wait";
  EXPECT_TRUE(exited_zero(*status)) << "the handlers differ after the wait";
  EXPECT_TRUE(same_modes(modes_of(child.terminal()), child.initial_modes()));
}

// A stop sent to a session leader's group, as the program's is here, is discarded: the wait
// goes on, raw again.
TEST(key_wait, outlasts_an_ignored_hang_up_signal_and_a_discarded_stop) {
  on_terminal program({.ignored = SIGHUP});
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(wait_until_raw(program.terminal())) << "the program never waited";
  ASSERT_EQ(kill(program.pid(), SIGTSTP), 0);
  ASSERT_TRUE(in_state_within_guard(program.pid(), 'S', SIGTSTP)) << "the stop was not taken";
  EXPECT_EQ(program.screen(), usage_screen);
  EXPECT_EQ(modes_of(program.terminal()).c_lflag & (ICANON | ECHO | ISIG), 0U);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(waitpid(program.pid(), nullptr, WNOHANG), 0) << "the program ended without a key";
  // Under nohup the terminal going away must end the wait, not leave the program spinning.
  program.hang_up();

  const std::optional<int> status = program.reap();
  ASSERT_TRUE(status.has_value()) << "the hang-up did not end the wait";
  EXPECT_TRUE(exited_zero(*status)) << "wait status " << *status;
}

// Neither a conversion nor a terminal that is not the program's controlling one waits for a
// key. Whether the screen is cleared depends on TERM; output that is no terminal is cli_test's.
TEST(no_key_wait, when_converting_or_without_a_controlling_terminal) {
  const std::string converting =
      "Converting prog.hex\r\n\r\nOutputting prog.86p\r\n\r\nSuccess!\r\n";
  struct {
    std::vector<std::string> args;
    const char* term;
    bool controlling;
    std::string screen;
  } const cases[] = {{{"prog.hex"}, "xterm", true, clear_and_banner + converting},
                     {{"prog.hex"}, nullptr, true, clear_and_banner + converting},
                     {{"prog.hex"}, "dumb", true, banner_lines + converting},
                     {{}, "xterm", false, usage_screen}};
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / "prog.hex", ":03000000010203F7\n:00000001FF\n");
    const auto begun = steady::now();
    on_terminal program(
        {.args = c.args, .cwd = dir.path(), .term = c.term, .controlling = c.controlling});
    ASSERT_TRUE(program.started());

    const std::optional<int> status = program.reap();
    ASSERT_TRUE(status.has_value()) << "the program waited";
    // Far below the guard, so a wait that merely gives up after a while fails too.
    EXPECT_LT(steady::now() - begun, std::chrono::seconds(1));
    EXPECT_TRUE(exited_zero(*status)) << "wait status " << *status;
    EXPECT_EQ(program.screen(), c.screen) << "TERM=" << (c.term != nullptr ? c.term : "(unset)");
    EXPECT_EQ(file_exists(dir / "prog.86p"), !c.args.empty());
    EXPECT_TRUE(same_modes(modes_of(program.terminal()), program.initial_modes()));
  }
}

}  // namespace
}  // namespace tarnwick
