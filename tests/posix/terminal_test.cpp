// Drives the screen clear and the key wait on real pseudo-terminals.
#include "frontend/posix/terminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "frontend/posix/write_all.h"
#include "pty_support.h"

namespace {

using tarnwick::frontend::posix::write_all;
using tarnwick::testing::guard_ms;
using tarnwick::testing::modes_of;
using tarnwick::testing::read_exactly;
using tarnwick::testing::read_to_end;
using tarnwick::testing::readable_within;
using tarnwick::testing::same_modes;

// Typed after a key case so the child knows where the unread input ends.
constexpr char end_mark = '#';

constexpr int ending_signals[] = {SIGTERM, SIGHUP, SIGINT};

// The handler of each ending signal, in the order of ending_signals.
struct handlers {
  void (*of[std::size(ending_signals)])(int);
  bool operator==(const handlers&) const = default;
};

handlers current_handlers() {
  handlers now{};
  for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
    struct sigaction action {};
    sigaction(ending_signals[i], nullptr, &action);
    now.of[i] = action.sa_handler;
  }
  return now;
}

// Undoes dispositions and blocks inherited from whatever started the test, such as a shell that
// ignores SIGINT in background jobs.
void use_default_handlers() {
  sigset_t ending;
  sigemptyset(&ending);
  for (const int sig : ending_signals) {
    (void)signal(sig, SIG_DFL);
    sigaddset(&ending, sig);
  }
  sigprocmask(SIG_UNBLOCK, &ending, nullptr);
}

void ignore_hangup() {
  use_default_handlers();
  (void)signal(SIGHUP, SIG_IGN);
}

void ignore_interrupt_and_catch_hangup() {
  use_default_handlers();
  (void)signal(SIGINT, SIG_IGN);
  (void)signal(SIGHUP, [](int) {});
}

// Waits for the go byte, waits for a key, reports whether modes and handlers came back as
// '1'/'0' twice, then reports every byte typed after the key up to end_mark.
[[noreturn]] void run_waiting_child(int go, int report, void (*prepare)()) {
  prepare();
  char byte = 0;
  if (read(go, &byte, 1) != 1) _exit(3);
  const termios modes_before = modes_of(STDIN_FILENO);
  const handlers handlers_before = current_handlers();
  tarnwick::frontend::posix::wait_for_key();
  const termios modes_after = modes_of(STDIN_FILENO);
  const std::string restored{same_modes(modes_before, modes_after) ? '1' : '0',
                             handlers_before == current_handlers() ? '1' : '0'};
  if (!write_all(report, restored)) _exit(4);
  termios raw = modes_after;
  cfmakeraw(&raw);
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) _exit(5);
  std::string unread;
  while (read(STDIN_FILENO, &byte, 1) == 1 && byte != end_mark) unread += byte;
  if (!write_all(report, unread)) _exit(6);
  _exit(0);
}

// A child on its own pseudo-terminal that calls wait_for_key once released; the test types on
// `master` and watches the terminal's modes through its own descriptor of the same terminal.
class waiting_child {
 public:
  explicit waiting_child(void (*prepare)() = use_default_handlers) {
    int go_pipe[2];
    int report_pipe[2];
    if (pipe2(go_pipe, O_CLOEXEC) != 0) return;
    if (pipe2(report_pipe, O_CLOEXEC) != 0) {
      close(go_pipe[0]);
      close(go_pipe[1]);
      return;
    }
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      close(go_pipe[1]);
      close(report_pipe[0]);
      run_waiting_child(go_pipe[0], report_pipe[1], prepare);
    }
    close(go_pipe[0]);
    close(report_pipe[1]);
    go_ = go_pipe[1];
    report_ = report_pipe[0];
    char name[64];
    if (pid_ > 0 && ptsname_r(master_, name, sizeof name) == 0) {
      terminal_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
  }

  waiting_child(const waiting_child&) = delete;
  waiting_child& operator=(const waiting_child&) = delete;

  ~waiting_child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {master_, terminal_, go_, report_}) {
      if (fd >= 0) close(fd);
    }
  }

  bool started() const { return pid_ > 0 && master_ >= 0 && terminal_ >= 0; }
  pid_t pid() const { return pid_; }
  int terminal() const { return terminal_; }
  int report() const { return report_; }

  bool type(std::string_view keys) const { return write_all(master_, keys); }

  // Types `pieces` one write each, `gap_ms` apart, as a slow link delivers one key.
  bool type_in_pieces(const std::vector<std::string>& pieces, int gap_ms) const {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
      if (!type(pieces[i])) return false;
    }
    return true;
  }

  // Closes the master side: the terminal hangs up.
  void hang_up() {
    close(master_);
    master_ = -1;
  }

  // Lets the child start its wait.
  bool release() const { return write_all(go_, "g"); }

  // True once the wait has switched the terminal out of line mode.
  bool wait_until_raw() const { return tarnwick::testing::wait_until_raw(terminal_); }

  // True once the terminal has echoed what was typed, so the input sits in its queue.
  bool wait_for_echo() const {
    if (!readable_within(master_, guard_ms)) return false;
    char buffer[64];
    return read(master_, buffer, sizeof buffer) > 0;
  }

  // The child's wait status; nothing if it has not ended before the guard.
  std::optional<int> reap() {
    const std::optional<int> status = tarnwick::testing::reap_within_guard(pid_);
    if (status) pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int master_ = -1;
  int terminal_ = -1;
  int go_ = -1;
  int report_ = -1;
};

struct key_case {
  const char* name;
  std::string keys;        // typed at once
  bool typed_before_wait;  // typed and queued before the wait starts
  std::string typed_after;
  std::string left_unread;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const key_case& c, std::ostream* os) {
  *os << c.name;
}

class key_wait : public testing::TestWithParam<key_case> {};

TEST_P(key_wait, takes_one_key_and_restores_modes) {
  const key_case& c = GetParam();
  waiting_child child;
  ASSERT_TRUE(child.started());
  if (c.typed_before_wait) {
    ASSERT_TRUE(child.type(c.keys));
    ASSERT_TRUE(child.wait_for_echo());
    ASSERT_TRUE(child.release());
  } else {
    ASSERT_TRUE(child.release());
    ASSERT_TRUE(child.wait_until_raw());
    ASSERT_TRUE(child.type(c.keys));
  }

  const std::optional<std::string> restored = read_exactly(child.report(), 2);
  ASSERT_TRUE(restored.has_value()) << "the wait did not end";
  EXPECT_EQ((*restored)[0], '1') << "terminal modes differ after the wait";
  EXPECT_EQ((*restored)[1], '1') << "signal handlers differ after the wait";

  ASSERT_TRUE(child.type(c.typed_after + end_mark));
  const std::optional<std::string> unread = read_to_end(child.report());
  ASSERT_TRUE(unread.has_value());
  EXPECT_EQ(*unread, c.left_unread);

  const std::optional<int> status = child.reap();
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
}

INSTANTIATE_TEST_SUITE_P(
    keys, key_wait,
    testing::Values(
        key_case{"letter", "a", false, "", ""}, key_case{"enter", "\r", false, "", ""},
        key_case{"ctrl_c", "\x03", false, "", ""}, key_case{"ctrl_z", "\x1a", false, "", ""},
        key_case{"ctrl_backslash", "\x1c", false, "", ""},
        key_case{"ctrl_s", "\x13", false, "", ""}, key_case{"ctrl_q", "\x11", false, "", ""},
        key_case{"ctrl_v", "\x16", false, "", ""}, key_case{"lone_esc", "\x1b", false, "x", "x"},
        key_case{"arrow_up", "\x1b[A", false, "", ""},
        key_case{"arrow_up_application_mode", "\x1bOA", false, "", ""},
        key_case{"ctrl_arrow_right", "\x1b[1;5C", false, "", ""},
        key_case{"home", "\x1b[H", false, "", ""}, key_case{"delete", "\x1b[3~", false, "", ""},
        key_case{"page_down", "\x1b[6~", false, "", ""},
        key_case{"f1_xterm", "\x1bOP", false, "", ""},
        key_case{"f1_linux_console", "\x1b[[A", false, "", ""},
        key_case{"f5", "\x1b[15~", false, "", ""}, key_case{"f12", "\x1b[24~", false, "", ""},
        key_case{"shift_f12", "\x1b[24;2~", false, "", ""},
        key_case{"alt_x", "\x1bx", false, "", ""},
        key_case{"alt_two_byte_character", "\x1b\xc3\xa9", false, "", ""},
        key_case{"alt_arrow_up_rxvt", "\x1b\x1b[A", false, "", ""},
        key_case{"two_byte_character", "\xc3\xa9", false, "", ""},
        key_case{"three_byte_character", "\xe2\x82\xac", false, "", ""},
        key_case{"four_byte_character", "\xf0\x9f\x98\x80", false, "", ""},
        key_case{"second_letter_stays", "ab", false, "", "b"},
        key_case{"letter_after_arrow_stays", "\x1b[Ax", false, "", "x"},
        key_case{"arrow_after_f5_stays", "\x1b[15~\x1b[B", false, "", "\x1b[B"},
        key_case{"letter_after_character_stays",
                 "\xc3\xa9"
                 "a",
                 false, "", "a"},
        key_case{"truncated_sequence_ends", "\x1b[1", false, "x", "x"},
        key_case{"truncated_character_ends", "\xe2\x82", false, "x", "x"},
        key_case{"typed_ahead_letter", "a", true, "", ""},
        key_case{"typed_ahead_second_letter_stays", "ab", true, "", "b"},
        // The ends of each lead-byte range: U+0080, U+07FF, U+0800, U+FF21, U+10FFFF.
        key_case{"two_byte_lowest_lead", "\xc2\x80", false, "", ""},
        key_case{"two_byte_highest_lead", "\xdf\xbf", false, "", ""},
        key_case{"three_byte_lowest_lead", "\xe0\xa0\x80", false, "", ""},
        key_case{"three_byte_highest_lead", "\xef\xbc\xa1", false, "", ""},
        key_case{"four_byte_highest_lead", "\xf4\x8f\xbf\xbf", false, "", ""},
        // Terminal replies: a private parameter byte, and an intermediate byte.
        key_case{"device_attributes_reply", "\x1b[?1;2c", false, "", ""},
        key_case{"mode_report_reply", "\x1b[?1;2$y", false, "", ""},
        // The byte that cuts a character short ends it; the key after that stays.
        key_case{"truncated_character_then_keys",
                 "\xf0\x9f"
                 "ab",
                 false, "", "b"}),
    [](const testing::TestParamInfo<key_case>& info) { return std::string(info.param.name); });

class ending_signal : public testing::TestWithParam<int> {};

TEST_P(ending_signal, ends_the_wait_and_restores_modes) {
  const int sig = GetParam();
  waiting_child child;
  ASSERT_TRUE(child.started());
  const termios original = modes_of(child.terminal());
  ASSERT_TRUE(child.release());
  ASSERT_TRUE(child.wait_until_raw());
  ASSERT_FALSE(same_modes(modes_of(child.terminal()), original));

  ASSERT_EQ(kill(child.pid(), sig), 0);
  const std::optional<int> status = child.reap();
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == sig) << "wait status " << *status;
  EXPECT_TRUE(same_modes(modes_of(child.terminal()), original));
}

INSTANTIATE_TEST_SUITE_P(signals, ending_signal, testing::ValuesIn(ending_signals),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(sigabbrev_np(info.param));
                         });

TEST(key_wait_dispositions, ignored_interrupt_stays_ignored_and_handlers_come_back) {
  waiting_child child(ignore_interrupt_and_catch_hangup);
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.release());
  ASSERT_TRUE(child.wait_until_raw());
  ASSERT_EQ(kill(child.pid(), SIGINT), 0);
  ASSERT_TRUE(child.type("a"));

  const std::optional<std::string> restored = read_exactly(child.report(), 2);
  ASSERT_TRUE(restored.has_value()) << "the child did not survive the ignored interrupt";
  EXPECT_EQ(*restored, "11");
  ASSERT_TRUE(child.type(std::string(1, end_mark)));
  EXPECT_EQ(read_to_end(child.report()), std::optional<std::string>(""));
  const std::optional<int> status = child.reap();
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
}

TEST(key_wait, key_arriving_in_pieces_is_one_key) {
  // As over a slow link: the pieces come well within the pause that ends a key.
  const std::vector<std::string> keys[] = {
      {"\x1b", "[A"}, {"\x1b[", "15~"}, {"\xe2", "\x82\xac"}, {"\xf0\x9f", "\x98\x80"}};
  for (const auto& pieces : keys) {
    waiting_child child;
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.release());
    ASSERT_TRUE(child.wait_until_raw());
    ASSERT_TRUE(child.type_in_pieces(pieces, 10));
    ASSERT_EQ(read_exactly(child.report(), 2), std::optional<std::string>("11"));
    ASSERT_TRUE(child.type(std::string(1, end_mark)));
    EXPECT_EQ(read_to_end(child.report()), std::optional<std::string>("")) << pieces[0];
  }
}

TEST(key_wait, hang_up_ends_the_wait_when_sighup_is_ignored) {
  // Under nohup the terminal going away must end the wait, not leave it spinning.
  waiting_child child(ignore_hangup);
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.release());
  ASSERT_TRUE(child.wait_until_raw());
  child.hang_up();
  EXPECT_TRUE(read_exactly(child.report(), 2).has_value()) << "the wait did not end";
}

TEST(key_wait_without_terminal, returns_at_once) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (setsid() < 0) _exit(2);
    tarnwick::frontend::posix::wait_for_key();
    _exit(0);
  }
  int status = 0;
  pid_t done = -1;
  while (std::chrono::steady_clock::now() - started < std::chrono::milliseconds(guard_ms)) {
    done = waitpid(pid, &status, WNOHANG);
    if (done != 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  ASSERT_EQ(done, pid) << "the wait did not return";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
}

TEST(clear_screen, writes_home_and_clear_to_a_terminal) {
  int master = -1;
  int terminal = -1;
  ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  tarnwick::frontend::posix::clear_screen(terminal);
  const std::optional<std::string> written = read_exactly(master, 7);
  EXPECT_EQ(written, std::optional<std::string>("\x1b[H\x1b[2J"));
  EXPECT_FALSE(readable_within(master, 20)) << "more than the seven bytes were written";
  close(master);
  close(terminal);
}

TEST(clear_screen, only_on_a_terminal_that_is_not_dumb) {
  struct {
    bool terminal;
    const char* term;
    bool clear;
  } const cases[] = {{true, "xterm", true},
                     {true, nullptr, true},
                     {true, "dumb", false},
                     {false, "xterm", false},
                     {false, nullptr, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(tarnwick::frontend::posix::wants_clear_screen(c.terminal, c.term), c.clear)
        << c.terminal << " " << (c.term != nullptr ? c.term : "(unset)");
  }
}

}  // namespace
