// The driver in process on what only POSIX systems have: links, permission bits, /proc.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "driver_support.h"
#include "test_support.h"

namespace tarnwick {
namespace {

using testing::converted;
using testing::file16;
using testing::list_dir;
using testing::read_file;
using testing::run_with;
using testing::temp_dir;
using testing::write_file;

// The writer's own walk through the links finds the input x: by one link, by a chain the
// system itself calls a loop, and from an output name (FOLDER/.86p) of PATH_MAX bytes.
TEST(run, refuses_to_overwrite_the_input_however_the_writer_reaches_it) {
  std::string chain;
  for (int i = 0; i < 40; ++i) chain += "L/";
  for (const auto& [link, deep] :
       {std::pair<std::string, bool>{"x", false}, {chain + "x", false}, {"x", true}}) {
    const temp_dir dir;
    std::string folder = dir.path();
    // Folders of 200 bytes, then one that makes FOLDER/x 4093 bytes and FOLDER/.86p 4096.
    while (deep && folder.size() < PATH_MAX - 6 - 255) {
      folder.append(1, '/').append(199, 'd');
      ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    }
    if (deep) folder.append(1, '/').append(PATH_MAX - 6 - folder.size(), 'e');
    ASSERT_TRUE(!deep || ::mkdir(folder.c_str(), 0755) == 0);
    const int fd = ::open(folder.c_str(), O_DIRECTORY | O_RDONLY);
    ASSERT_EQ(::symlinkat(".", fd, "L") | ::symlinkat(link.c_str(), fd, ".86p"), 0);
    ::close(fd);
    write_file(folder + "/x", testing::t_hex);
    testing::platform_files sys;
    EXPECT_EQ(sys.run({folder + "/x"}),
              converted(folder + "/x", folder + "/.86p",
                        "Error converting " + folder + "/x: output would overwrite the input!"))
        << link;
    EXPECT_EQ(sys.errors,
              std::vector<std::string>{"tarnwick: " + folder + "/x: the same file as the input"});
    EXPECT_EQ(read_file(folder + "/x"), testing::t_hex);
  }
}

TEST(run, read_error_leaves_no_output) {
  // Reading the start of a process's memory fails with EIO: a real read error mid-run.
  EXPECT_EQ(run_with({"/proc/self/mem"}),
            converted("/proc/self/mem", "/proc/self/.86p", "Error reading /proc/self/mem!"));
}

TEST(run, output_permissions) {
  const temp_dir dir;
  write_file(dir / "t.hex", file16);
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
    write_file(folder + "/t.hex", file16);
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

TEST(run, outputs_that_are_no_file_to_replace_are_left_alone) {
  const std::string not_regular = "not a regular file";
  struct {
    const char* what;
    const char* pipe;  // made in the folder, or none
    const char* link;  // what t.86p links to, or none
    std::string reason;
  } const cases[] = {{"pipe", "t.86p", nullptr, not_regular},
                     {"link to a pipe", "p", "p", not_regular},
                     {"link loop", nullptr, "t.86p", "a link loop"},
                     {"link through a file", nullptr, "t.hex/t.86p", std::strerror(ENOTDIR)}};
  for (const auto& c : cases) {
    const temp_dir dir;
    write_file(dir / "t.hex", file16);
    if (c.pipe != nullptr) {
      ASSERT_EQ(::mkfifo((dir / c.pipe).c_str(), 0644), 0);
    }
    if (c.link != nullptr) {
      ASSERT_EQ(::symlink(c.link, (dir / "t.86p").c_str()), 0);
    }
    const auto files = list_dir(dir.path());
    testing::platform_files sys;
    EXPECT_EQ(sys.run({dir / "t.hex"}),
              converted(dir / "t.hex", dir / "t.86p", "Error writing " + dir / "t.86p" + "!"))
        << c.what;
    EXPECT_EQ(sys.errors, std::vector<std::string>{"tarnwick: " + dir / "t.86p" + ": " + c.reason});
    // t.86p still leads to the pipe, or to nothing.
    struct stat st {};
    EXPECT_EQ(::stat((dir / "t.86p").c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0,
              c.pipe != nullptr ? S_IFIFO : 0)
        << c.what;
    EXPECT_EQ(list_dir(dir.path()), files) << c.what;
  }
}

// In a sticky folder anyone may write to, a link is followed only where Linux's protection of
// such folders would follow it: when the user running the program or the folder's owner owns
// it. Otherwise the file it leads to is left alone, as is the link.
TEST(run, links_in_a_shared_folder) {
  const uid_t me = ::geteuid();
  const uid_t other = me == 65534 ? 65533 : 65534;  // a user other than the one running this
  struct {
    uid_t link_owner;
    uid_t folder_owner;
    bool followed;
  } const cases[] = {{me, me, true}, {other, me, false}, {other, other, true}};
  for (const auto& c : cases) {
    if ((c.link_owner != me || c.folder_owner != me) && me != 0) {
      GTEST_SKIP() << "needs root to make a link another user owns; only the user's own link was "
                      "tried";
    }
    const temp_dir dir;
    const std::string shared = dir / "shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0777) | ::chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(::mkdir((dir / "calc").c_str(), 0755), 0);
    write_file(dir / "calc/t.86p", "old");
    write_file(shared + "/t.hex", file16);
    ASSERT_EQ(::symlink("../calc/t.86p", (shared + "/t.86p").c_str()), 0);
    ASSERT_EQ(::lchown((shared + "/t.86p").c_str(), c.link_owner, static_cast<gid_t>(-1)) |
                  ::chown(shared.c_str(), c.folder_owner, static_cast<gid_t>(-1)),
              0);
    testing::platform_files sys;
    const auto shown = sys.run({shared + "/t.hex"});
    EXPECT_EQ(shown.back(), c.followed ? "Success!" : "Error writing " + shared + "/t.86p!");
    EXPECT_EQ(sys.errors.size(), c.followed ? 0U : 1U) << "link owner " << c.link_owner;
    EXPECT_EQ(read_file(dir / "calc/t.86p").size(), c.followed ? 116U : 3U);
    EXPECT_EQ(list_dir(shared), (std::vector<std::string>{"t.86p", "t.hex"}));
  }
}

// Only a relative name reaches so deep, so the run starts 18 folders down and names its input,
// in a name beyond 500 characters, through the last two. The output there is a link to a file
// in another folder, which takes the new bytes while the link stays.
TEST(run, output_link_in_a_folder_deeper_than_any_path_may_be) {
  const temp_dir dir;
  const auto start = std::filesystem::current_path();
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  const std::string level(250, 'd');
  for (int i = 0; i < 18; ++i) ASSERT_EQ(::mkdir(level.c_str(), 0755) | ::chdir(level.c_str()), 0);
  const std::string folder = level + "/" + level + "/";
  for (const std::string& made : {level, folder, folder + "calc"}) {
    ASSERT_EQ(::mkdir(made.c_str(), 0755), 0);
  }
  const std::string name = folder + std::string(240, 'p');
  write_file(name + ".hex", file16);
  write_file(folder + "calc/t.86p", "old");
  ASSERT_EQ(::symlink("calc/t.86p", (name + ".86p").c_str()), 0);
  EXPECT_EQ(run_with({name + ".hex"}), converted(name + ".hex", name + ".86p"));
  EXPECT_EQ(read_file(folder + "calc/t.86p").size(), 116U);
  struct stat st {};
  EXPECT_TRUE(::lstat((name + ".86p").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  EXPECT_EQ(list_dir(folder + "calc"), std::vector<std::string>{"t.86p"});
  std::filesystem::current_path(start);
}

TEST(run, dangling_link_as_output_becomes_the_file) {
  // A link to a missing folder, and one to a missing file in a folder that is there.
  for (const char* target : {"gone/t.86p", "gone.86p"}) {
    const temp_dir dir;
    write_file(dir / "t.hex", file16);
    ASSERT_EQ(::symlink(target, (dir / "t.86p").c_str()), 0);
    const mode_t old_mask = ::umask(022);
    EXPECT_EQ(run_with({dir / "t.hex"}), converted(dir / "t.hex", dir / "t.86p"));
    ::umask(old_mask);
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "t.86p").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << target;
    EXPECT_EQ(st.st_mode & 07777, 0644U);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"t.86p", "t.hex"})) << target;
  }
}

}  // namespace
}  // namespace tarnwick
