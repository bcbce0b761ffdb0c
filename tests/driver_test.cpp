#include "frontend/driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace tarnwick {
namespace {

using testing::file_exists;
using testing::from_hex;
using testing::list_dir;
using testing::read_file;
using testing::temp_dir;
using testing::write_file;

// Records what the driver shows, and the order of clearing, lines and the key wait.
class recording_console final : public console {
 public:
  void clear() override { events.push_back("<clear>"); }
  void write_line(std::string_view text) override { events.emplace_back(text); }
  void wait_key() override { events.push_back("<key>"); }
  std::vector<std::string> events;
};

const char* const fixed_time = "Mon Dec 07 04:09:03 2026";

std::tm fixed_clock() {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = 4;
  t.tm_min = 9;
  t.tm_sec = 3;
  t.tm_wday = 1;
  return t;
}

std::vector<std::string> run_with(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"tarnwick"};
  for (const auto& a : args) argv.push_back(a.c_str());
  recording_console con;
  EXPECT_EQ(run(static_cast<int>(argv.size()), argv.data(), con, fixed_clock), 0);
  return con.events;
}

std::vector<std::string> converted(const std::string& in, const std::string& out,
                                   const std::string& last = "Success!") {
  return {"<clear>", banner() + "\n", "Converting " + in + "\n", "Outputting " + out + "\n", last};
}

std::string header() {
  return std::string("**TI86**\x1A\n\0", 11) + fixed_time + std::string(18, '\0');
}

const std::string data32 = "214601360121470136007EFE09D21901";
const std::string rec16 = ":10000000" + data32 + "5A";

TEST(run, usage_then_one_key) {
  EXPECT_EQ(run_with({}), (std::vector<std::string>{"<clear>", banner() + "\n", "Proper usage:\n",
                                                    "\ttarnwick [filename(.hex)]", "<key>"}));
}

TEST(run, golden_files) {
  struct {
    const char* input_name;
    std::string input;
    std::string output_name;
    std::string expected;  // from offset 53 on
  } const cases[] = {
      {"t.hex", ":03000000010203F7\r\n:00000001FF\r\n", "t.86p",
       from_hex("21 00 0C 00 11 00 12 08 74 2E 38 36 70 00 00 00 11 00 0F 00"
                "00 41 73 6D 50 72 67 6D D6 30 31 30 32 30 33 8A 06")},
      {"prog.hex",
       rec16 + "\r\n:10001000" + "2A4B3C5D6E7F8091A2B3C4D5E6F70819" + "C3\r\n:00000001FF\r\n",
       "prog.86p",
       from_hex("5C 00 0C 00 4C 00 12 08 70 72 6F 67 2E 38 36 70 4C 00 4A 00"
                "00 41 73 6D 50 72 67 6D D6") +
           data32 + "\xD6" + "2A4B3C5D6E7F8091A2B3C4D5E6F70819" + from_hex("14 16")},
  };
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / c.input_name, c.input);
    EXPECT_EQ(run_with({dir / c.input_name}), converted(dir / c.input_name, dir / c.output_name));
    EXPECT_EQ(read_file(dir / c.output_name), header() + c.expected) << c.input_name;
  }
}

TEST(run, further_arguments_are_ignored) {
  const temp_dir dir;
  write_file(dir / "t.hex", rec16 + "\n");
  EXPECT_EQ(run_with({dir / "t.hex", "x.hex", "y.hex"}), converted(dir / "t.hex", dir / "t.86p"));
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"}));
}

TEST(run, unopenable_input) {
  const temp_dir dir;
  ::mkdir((dir / "folder.hex").c_str(), 0755);
  for (const std::string& name : {dir / "missing.hex", std::string(), dir / "folder.hex"}) {
    EXPECT_EQ(run_with({name}), (std::vector<std::string>{"<clear>", banner() + "\n",
                                                          "Error opening " + name + "!"}));
  }
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"folder.hex"}));
}

TEST(run, existing_output_is_replaced) {
  const temp_dir dir;
  write_file(dir / "t.hex", ":03000000010203F7\n");
  write_file(dir / "t.86p", std::string(5000, 'x'));
  EXPECT_EQ(run_with({dir / "t.hex"}), converted(dir / "t.hex", dir / "t.86p"));
  EXPECT_EQ(read_file(dir / "t.86p").size(), 90U);
}

TEST(run, refuses_to_overwrite_the_input) {
  const std::string refusal = ": output would overwrite the input!";
  const std::string content = ":03000000010203F7\n";
  struct {
    const char* what;
    std::string input;
    std::string output;
    void (*make)(const temp_dir&, const std::string& content);
  } const cases[] = {
      {"same name", "t.86p", "t.86p",
       [](const temp_dir& d, const std::string& c) { write_file(d / "t.86p", c); }},
      {"hard link", "t.hex", "t.86p",
       [](const temp_dir& d, const std::string& c) {
         write_file(d / "t.hex", c);
         ASSERT_EQ(::link((d / "t.hex").c_str(), (d / "t.86p").c_str()), 0);
       }},
      {"symbolic link", "t.hex", "t.86p",
       [](const temp_dir& d, const std::string& c) {
         write_file(d / "t.hex", c);
         ASSERT_EQ(::symlink("t.hex", (d / "t.86p").c_str()), 0);
       }},
  };
  for (const auto& c : cases) {
    const temp_dir dir;
    c.make(dir, content);
    const auto files = list_dir(dir.path());
    EXPECT_EQ(run_with({dir / c.input}), converted(dir / c.input, dir / c.output,
                                                   "Error converting " + dir / c.input + refusal))
        << c.what;
    EXPECT_EQ(read_file(dir / c.input), content) << c.what;
    EXPECT_EQ(list_dir(dir.path()), files) << c.what;
  }
}

TEST(run, program_size_limit) {
  // 1985 records of 32 digits and one of 3 give a body of exactly 65517 bytes.
  const auto input = [](const std::string& last_digits) {
    std::string text;
    for (int i = 0; i < 1985; ++i) text += rec16 + "\r\n";
    return text + ":02000000" + last_digits + "00\r\n:00000001FF\r\n";
  };
  const std::string at_limit = input("ABC");
  const std::string over = input("ABCD");

  const temp_dir dir;
  write_file(dir / "big.hex", at_limit);
  EXPECT_EQ(run_with({dir / "big.hex"}), converted(dir / "big.hex", dir / "big.86p"));
  EXPECT_EQ(read_file(dir / "big.86p").size(), 65517U + 75U);

  write_file(dir / "big.hex", over);
  write_file(dir / "big.86p", "old");
  EXPECT_EQ(run_with({dir / "big.hex"}),
            converted(dir / "big.hex", dir / "big.86p",
                      "Error converting " + dir / "big.hex" + ": program too large!"));
  EXPECT_EQ(read_file(dir / "big.86p"), "old");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"big.86p", "big.hex"}));
}

TEST(run, read_error_leaves_no_output) {
  // Reading the start of a process's memory fails with EIO: a real read error mid-run.
  EXPECT_EQ(run_with({"/proc/self/mem"}),
            converted("/proc/self/mem", "/proc/self.86p", "Error reading /proc/self/mem!"));
}

TEST(run, unwritable_output) {
  const temp_dir dir;
  write_file(dir / "t.hex", rec16 + "\n");
  ::mkdir((dir / "t.86p").c_str(), 0755);
  EXPECT_EQ(run_with({dir / "t.hex"}),
            converted(dir / "t.hex", dir / "t.86p", "Error writing " + dir / "t.86p" + "!"));
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"}));
  EXPECT_EQ(list_dir(dir / "t.86p"), std::vector<std::string>{});
}

TEST(run, output_permissions) {
  const temp_dir dir;
  write_file(dir / "t.hex", rec16 + "\n");
  struct {
    mode_t umask;
    int existing;  // mode of a file already there, or -1
    mode_t expected;
  } const cases[] = {{022, -1, 0644},     {077, -1, 0600},    {002, -1, 0664},
                     {022, 0640, 0640},   {077, 0755, 0755},  {022, 04755, 04755},
                     {022, 02755, 02755}, {022, 06750, 06750}};
  for (const auto& c : cases) {
    ::unlink((dir / "t.86p").c_str());
    if (c.existing >= 0) {
      write_file(dir / "t.86p", "old");
      ::chmod((dir / "t.86p").c_str(), static_cast<mode_t>(c.existing));
    }
    const mode_t old_mask = ::umask(c.umask);
    run_with({dir / "t.hex"});
    ::umask(old_mask);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "t.86p").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.expected) << "umask " << c.umask << " existing " << c.existing;
  }
}

TEST(run, root_keeps_owner_and_folder_group) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, the only user who may hand files to others";
  // In a set-group-ID folder a new file takes the folder's group; a replaced one keeps its
  // owner and group.
  constexpr uid_t nobody = 65534;
  constexpr gid_t folder_group = 65534;
  constexpr gid_t file_group = 1;
  struct {
    bool existing;
    uid_t uid;
    gid_t gid;
  } const cases[] = {{false, 0, folder_group}, {true, nobody, file_group}};
  for (const auto& c : cases) {
    const temp_dir dir;
    const std::string folder = dir / "calc";
    ASSERT_EQ(::mkdir(folder.c_str(), 0775), 0);
    ASSERT_EQ(::chown(folder.c_str(), 0, folder_group), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);
    write_file(folder + "/t.hex", rec16 + "\n");
    if (c.existing) {
      write_file(folder + "/t.86p", "old");
      ASSERT_EQ(::chown((folder + "/t.86p").c_str(), nobody, file_group), 0);
    }
    run_with({folder + "/t.hex"});
    struct stat st {};
    ASSERT_EQ(::stat((folder + "/t.86p").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 116);
    EXPECT_EQ(st.st_uid, c.uid) << "existing " << c.existing;
    EXPECT_EQ(st.st_gid, c.gid) << "existing " << c.existing;
  }
}

TEST(run, names_beyond_five_hundred_characters) {
  const temp_dir dir;
  std::string path = dir.path();
  for (int i = 0; i < 3; ++i) {
    path += "/" + std::string(200, static_cast<char>('a' + i));
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  }
  const std::string input = path + "/" + std::string(240, 'p') + ".hex";
  const std::string output = path + "/" + std::string(240, 'p') + ".86p";
  write_file(input, rec16 + "\n");
  EXPECT_EQ(run_with({input}), converted(input, output));
  EXPECT_EQ(read_file(output).size(), 116U);
  EXPECT_EQ(read_file(output).substr(61, 8), "pppppppp");
}

TEST(run, output_follows_a_link_to_another_file) {
  const temp_dir dir;
  ::mkdir((dir / "calc").c_str(), 0755);
  write_file(dir / "t.hex", rec16 + "\n");
  write_file(dir / "calc/t.86p", "old");
  ASSERT_EQ(::symlink("calc/t.86p", (dir / "t.86p").c_str()), 0);
  EXPECT_EQ(run_with({dir / "t.hex"}), converted(dir / "t.hex", dir / "t.86p"));
  EXPECT_EQ(read_file(dir / "calc/t.86p").size(), 116U);
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "t.86p").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(list_dir(dir / "calc"), std::vector<std::string>{"t.86p"});
}

TEST(run, dangling_link_as_output_becomes_the_file) {
  const temp_dir dir;
  write_file(dir / "t.hex", rec16 + "\n");
  ASSERT_EQ(::symlink("gone/t.86p", (dir / "t.86p").c_str()), 0);
  const mode_t old_mask = ::umask(022);
  EXPECT_EQ(run_with({dir / "t.hex"}), converted(dir / "t.hex", dir / "t.86p"));
  ::umask(old_mask);
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "t.86p").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0644U);
  EXPECT_EQ(read_file(dir / "t.86p").size(), 116U);
}

TEST(run, clock_is_read_before_the_input) {
  // The clock rewrites the input: only a run that reads the clock first converts the new text.
  const temp_dir dir;
  write_file(dir / "t.hex", ":03000000010203F7\n");
  const std::string input = dir / "t.hex";
  const char* const argv[] = {"tarnwick", input.c_str()};
  recording_console con;
  run(2, argv, con, [&] {
    write_file(input, rec16 + "\n");
    return fixed_clock();
  });
  EXPECT_EQ(read_file(dir / "t.86p").size(), 116U);
}

}  // namespace
}  // namespace tarnwick
