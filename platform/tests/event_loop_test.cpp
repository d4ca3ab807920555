// What an event loop needs from the OS layer: waits that report every ready
// descriptor, a tick descriptor, and shared mappings that survive their file
// being shrunk by another process.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "kmx/platform/mapping_guard.h"
#include "kmx/platform/periodic_timer.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/platform/shared_memory.h"
#include "kmx/platform/wait.h"
#include "kmx/testing/helper_process.h"
#include "kmx/testing/runtime_sandbox.h"

namespace {

using kmx::testing::HelperProcess;
using kmx::testing::tellParent;

struct Pipe {
  Pipe() { EXPECT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0); }
  ~Pipe() {
    close(fds[0]);
    close(fds[1]);
  }
  int fds[2] = {-1, -1};
};

TEST(WaitForReady, ReportsEveryReadyDescriptorAndSkipsNegativeOnes) {
  Pipe a, b, c;
  ASSERT_EQ(write(a.fds[1], "x", 1), 1);
  ASSERT_EQ(write(c.fds[1], "x", 1), 1);
  const int fds[] = {a.fds[0], -1, b.fds[0], c.fds[0]};
  uint8_t ready[4] = {9, 9, 9, 9};
  EXPECT_EQ(kmx::waitForReady(fds, ready, 1000), 2);
  EXPECT_EQ(ready[0], 1);
  EXPECT_EQ(ready[1], 0);
  EXPECT_EQ(ready[2], 0);
  EXPECT_EQ(ready[3], 1);

  const int quiet[] = {b.fds[0]};
  EXPECT_EQ(kmx::waitForReady(quiet, std::span<uint8_t>(ready, 1), 10), 0);
  EXPECT_EQ(kmx::waitForReady(quiet, std::span<uint8_t>(ready, 0), 10), kmx::kWaitFailed) << "no room for the marks";
}

TEST(PeriodicTimer, TicksAreWaitedForLikeAnyDescriptorAndTakenAll) {
  kmx::PeriodicTimer timer;
  ASSERT_TRUE(timer.valid());
  EXPECT_EQ(timer.takeExpirations(), 0u) << "made disarmed";
  ASSERT_TRUE(timer.start(20));
  const int fds[] = {timer.fd()};
  ASSERT_EQ(kmx::waitForAny(fds, 5000), 0);
  EXPECT_GE(timer.takeExpirations(), 1u);
  timer.stop();
  EXPECT_EQ(kmx::waitForAny(fds, 60), kmx::kWaitTimedOut) << "stopped: no more ticks";
  EXPECT_FALSE(timer.start(0));
}

// Touches a guarded block past the end of its file, which was shrunk
// meanwhile, and says whether the process lived and saw the damage.
KMX_TEST_HELPER(touch_shrunk_block) {
  if (!kmx::guardSharedMappings()) return 2;
  auto block = kmx::SharedMemory::create("shrunk", 3 * 4096);
  if (!block) return 3;
  auto* bytes = static_cast<volatile uint8_t*>(block->data());
  bytes[8192] = 7;
  if (truncate(kmx::runtimeObjectPath("shrunk", ".shm").c_str(), 4096) != 0) return 4;
  bytes[0] = 1;  // still inside the file
  if (block->damaged()) return 5;
  bytes[8192] = 9;
  tellParent(block->damaged() && bytes[8192] == 9 ? "survived, damaged" : "survived, not told");
  return 0;
}

// The same with a mapping the guard does not know: the fault is not its
// business, and the process dies of it as it would without the guard.
KMX_TEST_HELPER(touch_unguarded_shrunk_file) {
  if (!kmx::guardSharedMappings()) return 2;
  const std::string path = kmx::runtimeObjectPath("plain", ".bin");
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0 || ftruncate(fd, 8192) != 0) return 3;
  void* map = mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED || ftruncate(fd, 0) != 0) return 4;
  static_cast<volatile uint8_t*>(map)[100] = 1;
  tellParent("survived");
  return 0;
}

TEST(MappingGuard, AFaultPastTheEndOfAShrunkBlockIsSurvivedAndReported) {
  kmx::testing::RuntimeSandbox sandbox;
  HelperProcess helper("touch_shrunk_block");
  EXPECT_EQ(helper.readLine(), "survived, damaged");
  EXPECT_EQ(helper.wait(), 0);
}

TEST(MappingGuard, FaultsOutsideGuardedMappingsStillEndTheProcess) {
  kmx::testing::RuntimeSandbox sandbox;
  HelperProcess helper("touch_unguarded_shrunk_file");
  EXPECT_EQ(helper.readLine(5000), "");
  EXPECT_NE(helper.wait(), 0);
}

}  // namespace
