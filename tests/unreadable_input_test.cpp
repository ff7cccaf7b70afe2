// An input descriptor that exists but cannot be read is still the user's file. The built
// program, run by a user who may not read it (root gives up its rights for the test), stops
// with the system's reason and creates or changes nothing.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "devtools/support.h"
#include "io/paths.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t nobody = 65534;

/// Runs the program in `dir` with `answers` as standard input, as `nobody` when started by root;
/// returns its wait status. The program runs from a copy in `dir`: the build folder may lie
/// where nobody cannot reach it (a checkout under a private folder).
int run_program(const fs::path& dir, const std::string& answers) {
  support::write_file(dir / "answers.txt", answers);
  const fs::path program = dir / "torvanelle";
  fs::copy_file(TORVANELLE_PROGRAM, program);
  fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  const pid_t pid = fork();
  if (pid != 0) {
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
  }
  setsid();  // no terminal: the program never waits for a key
  const int in = open((dir / "answers.txt").c_str(), O_RDONLY);
  const int out = open((dir / "transcript.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || chdir(dir.c_str()) != 0) _exit(121);
  dup2(in, 0);
  dup2(out, 1);
  dup2(out, 2);
  if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
    _exit(122);
  execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
  _exit(123);
}

TEST(UnreadableInput, ADescriptorThatCannotBeReadStopsTheRunAndIsLeftAlone) {
  support::ScratchDir scratch;
  const fs::path site = scratch.path() / std::string(torvanelle::images_root()) / "site";
  const std::string descriptor = "4\n5\n1\n0\n255\n10\n";
  support::write_file(site / "dem1.raw", std::string(20, '\x01'));
  support::write_file(site / "dem1.txt", descriptor);
  // Everyone may enter the folders and read the raster; nobody may write them.
  for (fs::path p = site; p != scratch.path().parent_path(); p = p.parent_path())
    fs::permissions(p, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                           fs::perms::group_read | fs::perms::others_read);
  fs::permissions(site / "dem1.txt", fs::perms::none);
  if (geteuid() != 0 && access((site / "dem1.txt").c_str(), R_OK) == 0)
    GTEST_SKIP() << "this file system lets its owner read a file without read permission";

  const int status = run_program(scratch.path(), "site\ndem1\n4\n5\n10\n0\n1\n");
  fs::permissions(site / "dem1.txt", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  ASSERT_NE(WEXITSTATUS(status), 121);
  ASSERT_NE(WEXITSTATUS(status), 122) << "root could not give up its rights";
  ASSERT_NE(WEXITSTATUS(status), 123) << "the program could not be started";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(support::read_file(scratch.path() / "transcript.txt")
                  .ends_with("\n\tThe file C:\\images\\site\\dem1.txt cannot be read (Permission "
                             "denied): the run stops \n"))
      << support::read_file(scratch.path() / "transcript.txt");
  EXPECT_EQ(support::read_file(site / "dem1.txt"), descriptor);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(site))
    files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 2) << "nothing created";
}

}  // namespace
