// Named shared memory, mutexes and events, within one process and across
// processes, including owners that die without cleaning up.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "kmx/platform/last_error.h"
#include "kmx/platform/named_event.h"
#include "kmx/platform/named_mutex.h"
#include "kmx/platform/shared_memory.h"
#include "kmx/platform/wait.h"
#include "kmx/testing/helper_process.h"
#include "kmx/testing/runtime_sandbox.h"

using kmx::NamedEvent;
using kmx::NamedMutex;
using kmx::SharedMemory;
using kmx::testing::HelperProcess;
using kmx::testing::tellParent;

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

bool readable(int fd, int timeoutMs) {
  pollfd pfd{fd, POLLIN, 0};
  return poll(&pfd, 1, timeoutMs) == 1;
}

class NamedObjects : public ::testing::Test {
 protected:
  kmx::testing::RuntimeSandbox sandbox;
};

}  // namespace

// --- helpers run in a second process -------------------------------------

KMX_TEST_HELPER(answer_in_shared_memory) {
  auto shm = SharedMemory::open(args.at(0));
  if (!shm) return 1;
  auto* words = static_cast<uint32_t*>(shm->data());
  words[1] = words[0] + 1;
  tellParent("done");
  return 0;
}

KMX_TEST_HELPER(create_and_hang) {
  auto shm = SharedMemory::create(args.at(0), 4096, [](void* block) {
    std::memcpy(block, "old", 4);
  });
  auto mutex = NamedMutex::create(args.at(0));
  auto event = NamedEvent::create(args.at(0), NamedEvent::Reset::Manual, true);
  if (!shm || !mutex || !event) return 1;
  if (args.size() > 1 && args[1] == "lock" && mutex->lock(-1) != NamedMutex::LockResult::Acquired)
    return 2;
  tellParent("ready");
  pause();
  return 0;
}

KMX_TEST_HELPER(set_event_later) {
  auto event = NamedEvent::open(args.at(0), NamedEvent::Reset::Manual);
  if (!event) return 1;
  usleep(50 * 1000);
  return event->set() ? 0 : 2;
}

// --- shared memory ---------------------------------------------------------

TEST_F(NamedObjects, SharedMemoryIsSeenByAnotherProcess) {
  auto shm = SharedMemory::create("block", 4096, [](void* data) {
    static_cast<uint32_t*>(data)[0] = 41;
  });
  ASSERT_TRUE(shm);
  HelperProcess helper("answer_in_shared_memory", {"block"});
  EXPECT_EQ(helper.readLine(), "done");
  EXPECT_EQ(helper.wait(), 0);
  EXPECT_EQ(static_cast<uint32_t*>(shm->data())[1], 42u);
}

TEST_F(NamedObjects, SharedMemoryLivesUntilTheLastHolderCloses) {
  auto first = SharedMemory::create("block", 100);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size(), 100u);

  SetLastError(0);
  EXPECT_FALSE(SharedMemory::create("block", 100));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EEXIST));

  auto second = SharedMemory::open("block");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->size(), 100u);
  first.reset();
  EXPECT_TRUE(exists(sandbox.runtimeDir() + "/block.shm"));
  second.reset();
  EXPECT_EQ(sandbox.leftovers(), "");

  EXPECT_FALSE(SharedMemory::open("block"));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
}

TEST_F(NamedObjects, StaleObjectsOfAKilledCreatorAreReplaced) {
  HelperProcess helper("create_and_hang", {"stale"});
  ASSERT_EQ(helper.readLine(), "ready");
  helper.kill();
  helper.wait();
  ASSERT_TRUE(exists(sandbox.runtimeDir() + "/stale.shm"));

  // Nobody holds it any more: an open does not find it, a create replaces it.
  EXPECT_FALSE(SharedMemory::open("stale"));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
  auto shm = SharedMemory::create("stale", 4096);
  ASSERT_TRUE(shm);
  EXPECT_EQ(static_cast<char*>(shm->data())[0], 0) << "the dead creator's contents survived";

  // A stale event does not stay signalled from its old life.
  auto event = NamedEvent::create("stale", NamedEvent::Reset::Manual, false);
  ASSERT_TRUE(event);
  EXPECT_FALSE(event->isSet());
}

TEST_F(NamedObjects, ManyObjectsOpenedAndClosedLeaveNothingBehind) {
  for (int i = 0; i < 200; ++i) {
    auto shm = SharedMemory::create("x" + std::to_string(i % 7), 64);
    auto mutex = NamedMutex::create("x");
    auto event = NamedEvent::create("x", NamedEvent::Reset::Auto, false);
    ASSERT_TRUE(shm && mutex && event);
  }
  EXPECT_EQ(sandbox.leftovers(), "");
}

TEST_F(NamedObjects, InvalidNamesAreRefused) {
  EXPECT_FALSE(SharedMemory::create("a/b", 64));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EINVAL));
  EXPECT_FALSE(SharedMemory::create("..", 64));
  EXPECT_FALSE(SharedMemory::create("", 64));
  EXPECT_FALSE(SharedMemory::create("ok", 0));
}

// --- mutex -------------------------------------------------------------------

TEST_F(NamedObjects, MutexIsRecursiveAndTimesOutAgainstAnotherOwner) {
  auto mutex = NamedMutex::create("m");
  ASSERT_TRUE(mutex);
  EXPECT_EQ(mutex->lock(0), NamedMutex::LockResult::Acquired);
  EXPECT_EQ(mutex->lock(0), NamedMutex::LockResult::Acquired);

  auto other = NamedMutex::open("m");
  ASSERT_TRUE(other);
  std::thread contender([&] {
    int64_t start = kmx::monotonicMs();
    EXPECT_EQ(other->lock(100), NamedMutex::LockResult::TimedOut);
    EXPECT_GE(kmx::monotonicMs() - start, 90);
    EXPECT_FALSE(other->unlock()) << "a non-owner could unlock";
  });
  contender.join();

  EXPECT_TRUE(mutex->unlock());
  EXPECT_TRUE(mutex->unlock());
  std::thread later([&] {
    EXPECT_EQ(other->lock(1000), NamedMutex::LockResult::Acquired);
    EXPECT_TRUE(other->unlock());
  });
  later.join();
}

TEST_F(NamedObjects, MutexOfAKilledOwnerIsAcquiredAsAbandoned) {
  HelperProcess helper("create_and_hang", {"owned", "lock"});
  ASSERT_EQ(helper.readLine(), "ready");
  auto mutex = NamedMutex::open("owned");
  ASSERT_TRUE(mutex);
  EXPECT_EQ(mutex->lock(50), NamedMutex::LockResult::TimedOut);
  helper.kill();
  helper.wait();
  EXPECT_EQ(mutex->lock(5000), NamedMutex::LockResult::Abandoned);
  EXPECT_TRUE(mutex->unlock());
  // Made consistent again: the next lock is an ordinary one.
  EXPECT_EQ(mutex->lock(0), NamedMutex::LockResult::Acquired);
  EXPECT_TRUE(mutex->unlock());
}

// --- events ----------------------------------------------------------------

TEST_F(NamedObjects, EventSetInAnotherProcessWakesAPoll) {
  auto event = NamedEvent::create("ev", NamedEvent::Reset::Manual, false);
  ASSERT_TRUE(event);
  EXPECT_FALSE(readable(event->fd(), 0));
  HelperProcess helper("set_event_later", {"ev"});
  EXPECT_TRUE(readable(event->fd(), 10000));
  EXPECT_EQ(helper.wait(), 0);
}

TEST_F(NamedObjects, ManualEventStaysSetUntilReset) {
  auto event = NamedEvent::create("ev", NamedEvent::Reset::Manual, true);
  ASSERT_TRUE(event);
  EXPECT_TRUE(event->wait(0));
  EXPECT_TRUE(event->wait(0));
  EXPECT_TRUE(event->set());
  EXPECT_TRUE(event->set());
  EXPECT_TRUE(event->reset());
  EXPECT_FALSE(event->isSet()) << "two sets must not leave a byte behind after one reset";
  EXPECT_FALSE(event->wait(20));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ETIMEDOUT));
}

TEST_F(NamedObjects, AutoEventWakesOneWaiter) {
  auto event = NamedEvent::create("auto", NamedEvent::Reset::Auto, false);
  auto second = NamedEvent::open("auto", NamedEvent::Reset::Auto);
  ASSERT_TRUE(event && second);
  EXPECT_TRUE(event->set());
  EXPECT_TRUE(second->wait(0));
  EXPECT_FALSE(event->wait(0)) << "the signal was taken twice";
  EXPECT_FALSE(NamedEvent::open("missing", NamedEvent::Reset::Auto));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
}
