// StartChild, the one way every program here starts another: the two ways
// it takes (posix_spawn, or fork when the setup needs a step of its own
// between fork and exec) place the child alike and fail alike.
#include "child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "exit_status.h"

namespace {

// The child's exit status, or -1 when it did not exit.
int ExitStatus(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(StartChild, RunsInItsFolderWithItsOutputEitherWay) {
  const std::string dir = testing::TempDir(), out = dir + "/child_out.txt";
  for (const bool fork_path : {false, true}) {
    ChildSetup setup;
    setup.folder = dir;
    setup.stdout_file = out;
    setup.die_with_parent = fork_path;  // posix_spawn cannot: the fork path
    const Result<pid_t> pid = StartChild({"/bin/sh", "-c", "pwd -P"}, setup);
    ASSERT_TRUE(pid.ok()) << pid.error().text;
    EXPECT_EQ(ExitStatus(*pid), kExitOk) << "fork path " << fork_path;
    EXPECT_EQ(Read(out), std::filesystem::canonical(dir).string() + "\n")
        << "fork path " << fork_path;
  }
}

// A folder that is not there: the program never runs. posix_spawn says so
// at once; a forked child ends with the status of a command not run.
TEST(StartChild, AMissingFolderRunsNothing) {
  ChildSetup setup;
  setup.folder = testing::TempDir() + "/no_such_folder";
  EXPECT_FALSE(StartChild({"/bin/true"}, setup).ok());
  setup.die_with_parent = true;
  const Result<pid_t> pid = StartChild({"/bin/true"}, setup);
  ASSERT_TRUE(pid.ok()) << pid.error().text;
  EXPECT_EQ(ExitStatus(*pid), kExitChildNotRun);
  EXPECT_FALSE(StartChild({}, ChildSetup{}).ok());
}
