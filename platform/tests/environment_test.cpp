// Per-thread last error, directory resolution, waits, module paths and
// temporary files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "kmx/platform/last_error.h"
#include "kmx/platform/paths.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/platform/wait.h"
#include "kmx/testing/runtime_sandbox.h"

TEST(LastError, IsPerThread) {
  SetLastError(7);
  std::thread other([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(9);
  });
  other.join();
  EXPECT_EQ(GetLastError(), 7u);
}

TEST(RuntimeDir, FollowsTheEnvironmentOnEveryCall) {
  kmx::testing::RuntimeSandbox sandbox;
  EXPECT_EQ(kmx::runtimeDir(), sandbox.runtimeDir());
  EXPECT_EQ(kmx::portDir(), sandbox.portDir());
  struct stat st {};
  ASSERT_EQ(stat(sandbox.runtimeDir().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Without KMX_RUNTIME_DIR: $XDG_RUNTIME_DIR/kmx, and ports below it.
  std::string xdg = sandbox.runtimeDir() + "/xdg";
  mkdir(xdg.c_str(), 0700);
  unsetenv("KMX_RUNTIME_DIR");
  unsetenv("KMX_PORT_DIR");
  setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);
  EXPECT_EQ(kmx::runtimeDir(), xdg + "/kmx");
  EXPECT_EQ(kmx::portDir(), xdg + "/kmx/ports");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(kmx::runtimeDir(), "/tmp/kmx-" + std::to_string(geteuid()));

  // A file where the directory should be is refused, not used.
  std::string blocker = sandbox.portDir() + "/file";
  close(creat(blocker.c_str(), 0600));
  setenv("KMX_RUNTIME_DIR", blocker.c_str(), 1);
  EXPECT_EQ(kmx::runtimeDir(), "");
  EXPECT_EQ(kmx::runtimeObjectPath("x", ".shm"), "");
}

TEST(Wait, ReportsTheReadyDescriptorOrTheTimeOut) {
  int a[2], b[2];
  ASSERT_EQ(pipe(a), 0);
  ASSERT_EQ(pipe(b), 0);
  int fds[2] = {a[0], b[0]};
  int64_t start = kmx::monotonicMs();
  EXPECT_EQ(kmx::waitForAny(fds, 30), kmx::kWaitTimedOut);
  EXPECT_GE(kmx::monotonicMs() - start, 29);
  ASSERT_EQ(write(b[1], "x", 1), 1);
  EXPECT_EQ(kmx::waitForAny(fds, -1), 1);
  close(a[1]);  // a hang-up also wakes the waiter
  EXPECT_EQ(kmx::waitForAny(fds, 0), 0);
  for (int fd : {a[0], b[0], b[1]}) close(fd);
  EXPECT_EQ(kmx::waitForAny(fds, 0), kmx::kWaitFailed);
}

TEST(Paths, ProgramAndModuleDirectories) {
  EXPECT_EQ(kmx::programPath(), std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(kmx::programDir(), std::filesystem::path(kmx::programPath()).parent_path().string());
  // GetLastError lives in the platform library, which sits in build/lib.
  std::string libDir = kmx::moduleDir(reinterpret_cast<const void*>(&GetLastError));
  EXPECT_TRUE(std::filesystem::exists(libDir + "/libkmxplatform.so")) << libDir;
  EXPECT_EQ(kmx::dirName("name"), ".");
  EXPECT_EQ(kmx::dirName("/name"), "/");
}

TEST(Paths, TempFileIsRemovedUnlessKept) {
  std::string removed, kept;
  {
    kmx::TempFile file("kmx-test");
    ASSERT_TRUE(file.valid());
    removed = file.path();
    EXPECT_TRUE(std::filesystem::exists(removed));
  }
  {
    kmx::TempFile file("kmx-test");
    kept = file.path();
    file.keep();
  }
  EXPECT_FALSE(std::filesystem::exists(removed));
  EXPECT_TRUE(std::filesystem::exists(kept));
  std::filesystem::remove(kept);
}
