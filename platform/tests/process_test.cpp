// Starting detached programs and watching processes end.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "kmx/platform/last_error.h"
#include "kmx/platform/paths.h"
#include "kmx/platform/process.h"
#include "kmx/platform/wait.h"

namespace {

std::string readFileWhenThere(const std::string& path, int timeoutMs) {
  int64_t deadline = kmx::monotonicMs() + timeoutMs;
  while (kmx::monotonicMs() < deadline) {
    std::ifstream in(path);
    std::string text;
    if (in && std::getline(in, text) && !text.empty()) return text;
    usleep(10 * 1000);
  }
  return "";
}

}  // namespace

TEST(Process, DetachedProgramRunsInItsOwnSessionAndIsNotOurChild) {
  kmx::TempFile out("kmx-detached");
  ASSERT_TRUE(out.valid());
  // The program reports its pid and session id, then waits to be killed.
  pid_t pid = kmx::startDetached(
      "/bin/sh", {"-c", "echo \"$$ $(ps -o sid= -p $$ | tr -d ' ')\" > " + out.path() +
                            "; exec sleep 30"});
  ASSERT_GT(pid, 0);
  std::string line = readFileWhenThere(out.path(), 10000);
  auto space = line.find(' ');
  ASSERT_NE(space, std::string::npos) << line;
  EXPECT_EQ(line.substr(0, space), std::to_string(pid)) << "not the reported pid";
  EXPECT_NE(std::stol(line.substr(space + 1)), static_cast<long>(getsid(0)))
      << "still in the starter's session";

  errno = 0;
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD) << "the started program is our child and would become a zombie";

  kmx::ProcessWatch watch(pid);
  ASSERT_TRUE(watch.valid());
  EXPECT_FALSE(watch.hasEnded());
  kill(pid, SIGKILL);
  int fds[1] = {watch.fd()};
  EXPECT_EQ(kmx::waitForAny(fds, 10000), 0);
  EXPECT_TRUE(watch.hasEnded());
}

TEST(Process, StartingAMissingProgramReportsTheExecError) {
  SetLastError(0);
  EXPECT_EQ(kmx::startDetached("/nonexistent/program", {}), -1);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
}

TEST(Process, WatchOfAProcessThatDoesNotExistIsInvalid) {
  kmx::ProcessWatch watch(999999999);
  EXPECT_FALSE(watch.valid());
  EXPECT_TRUE(watch.hasEnded());
}
