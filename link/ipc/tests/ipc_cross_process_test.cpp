// IPC objects shared between processes: a helper process started from this
// test binary opens what the test created.
#include <unistd.h>

#include <string>

#include "ipc_test_support.h"
#include "kmx/platform/named_mutex.h"
#include "kmx/testing/helper_process.h"

namespace kmx::ipc_test {
namespace {

using testing::HelperProcess;
using testing::tellParent;

constexpr uint32_t kFreeSlots = 36, kInUse = 40, kFreeDescs = 44;
constexpr uint32_t kQueued = 40, kSlotNext = 56, kDescNext = 8;

bool sendText(const std::string& text, void* mbox, void* ipc) {
  return IPC_send(text.data(), static_cast<uint32_t>(text.size()), 1, &mbox, ipc) == 1;
}

std::string receiveText(void* mbox, void* ipc, int32_t timeout) {
  char buf[64];
  uint32_t length = 0;
  if (IPC_receive(buf, sizeof buf, &length, timeout, 1, &mbox, ipc) != 1) return "<failed>";
  return std::string(buf, length);
}

// Opens the object like the server does (opposite modes), answers every
// message on "M" with "pong:" + message on "R", and closes on "close".
KMX_TEST_HELPER(echo_peer) {
  void* ipc = IPC_open(args.at(0).c_str(), -1);
  void* in = ipc ? IPC_open_mailbox("M", IPC_MODE_RECEIVE, ipc) : nullptr;
  void* out = ipc ? IPC_open_mailbox("R", IPC_MODE_SEND, ipc) : nullptr;
  if (in == nullptr || out == nullptr) {
    tellParent("open failed " + std::to_string(GetLastError()));
    return 1;
  }
  tellParent("ready");
  for (;;) {
    std::string message = receiveText(in, ipc, 10000);
    if (message == "<failed>") return 2;
    if (message == "close") break;
    if (!sendText("pong:" + message, out, ipc)) return 3;
  }
  bool closed =
      IPC_close_mailbox(in, ipc) == 1 && IPC_close_mailbox(out, ipc) == 1 && IPC_close(ipc) == 1;
  tellParent(closed ? "closed" : "close failed");
  return closed ? 0 : 4;
}

// Takes the object's mutex directly and keeps it until killed.
KMX_TEST_HELPER(hold_lock) {
  auto mutex = NamedMutex::open(args.at(0) + "_m");
  if (!mutex || mutex->lock(-1) == NamedMutex::LockResult::Failed) return 1;
  tellParent("locked");
  for (;;) pause();
}

// Does what a sender does up to the point where it has set the mailbox's
// event and not yet linked its message in, and stops there until killed.
KMX_TEST_HELPER(die_between_signal_and_link) {
  auto mutex = NamedMutex::open(args.at(0) + "_m");
  auto event = NamedEvent::open(args.at(0) + args.at(1), NamedEvent::Reset::Manual);
  if (!mutex || !event || mutex->lock(-1) == NamedMutex::LockResult::Failed || !event->set()) return 1;
  tellParent("signalled");
  for (;;) pause();
}

TEST_F(IpcTest, MailboxesSharedWithAnotherProcessCarryMessagesBothWaysAndAreFreedByTheLastClose) {
  void* ipc = IPC_create("X", 2, 4, 64, -1);
  ASSERT_NE(ipc, nullptr);
  void* m = IPC_create_mailbox("M", IPC_MODE_SEND, 4, ipc);
  void* r = IPC_create_mailbox("R", IPC_MODE_RECEIVE, 4, ipc);
  ASSERT_NE(m, nullptr);
  ASSERT_NE(r, nullptr);
  void* both[2] = {m, r};
  uint32_t opens[2] = {};
  {
    HelperProcess peer("echo_peer", {"X"});
    ASSERT_EQ(peer.readLine(), "ready");
    ASSERT_EQ(IPC_mailbox_state(2, both, nullptr, nullptr, opens, nullptr, ipc), 1);
    EXPECT_EQ(opens[0], 2u);
    EXPECT_EQ(opens[1], 2u);

    for (const char* text : {"ping", "second"}) {
      ASSERT_TRUE(sendText(text, m, ipc));
      EXPECT_EQ(receiveText(r, ipc, 10000), std::string("pong:") + text);
    }
    ASSERT_TRUE(sendText("close", m, ipc));
    EXPECT_EQ(peer.readLine(), "closed");
    EXPECT_EQ(peer.wait(), 0);
  }
  ASSERT_EQ(IPC_mailbox_state(2, both, nullptr, nullptr, opens, nullptr, ipc), 1);
  EXPECT_EQ(opens[0], 1u);
  EXPECT_EQ(opens[1], 1u);

  // Messages left queued when the last handle goes return to the free list.
  ASSERT_TRUE(sendText("left1", m, ipc));
  ASSERT_TRUE(sendText("left2", m, ipc));
  {
    RawBlock raw("X");
    ASSERT_TRUE(raw.valid());
    EXPECT_EQ(raw.listLength(kFreeDescs, kDescNext), 2u);
    EXPECT_EQ(IPC_close_mailbox(m, ipc), 1);
    EXPECT_EQ(raw.listLength(kFreeDescs, kDescNext), 4u);
    EXPECT_EQ(raw.listLength(kFreeSlots, kSlotNext), 1u);
    EXPECT_EQ(IPC_close_mailbox(r, ipc), 1);
    EXPECT_EQ(raw.listLength(kFreeSlots, kSlotNext), 2u);
    EXPECT_EQ(raw.u32(kInUse), 0u);
  }
  EXPECT_EQ(IPC_close(ipc), 1);
  EXPECT_EQ(sandbox_.leftovers(), "");
}

TEST_F(IpcTest, AMutexHolderThatDiesDoesNotWedgeTheObject) {
  void* ipc = IPC_create("K", 1, 2, 16, 200);
  ASSERT_NE(ipc, nullptr);
  void* a = IPC_create_mailbox("A", IPC_MODE_SEND_RECEIVE, 2, ipc);
  ASSERT_NE(a, nullptr);
  RawBlock raw("K");
  const uint32_t slot = raw.u32(kInUse);

  HelperProcess holder("hold_lock", {"K"});
  ASSERT_EQ(holder.readLine(), "locked");
  EXPECT_FALSE(sendText("blocked", a, ipc));
  EXPECT_EQ(lastCode(), IPC_ERR_LOCK_TIMEOUT);
  EXPECT_EQ(raw.u32(slot + kQueued), 0u) << "a failed lock changes nothing";

  holder.kill();
  EXPECT_EQ(holder.wait(), 128 + 9);
  EXPECT_TRUE(sendText("after", a, ipc)) << "the abandoned mutex is taken over";
  EXPECT_EQ(receiveText(a, ipc, 0), "after");
  EXPECT_EQ(IPC_close(ipc), 1);
}

TEST_F(IpcTest, ASenderKilledBetweenSignalAndLinkLeavesNoSignalBehind) {
  void* ipc = IPC_create("S", 1, 2, 16, 2000);
  ASSERT_NE(ipc, nullptr);
  void* a = IPC_create_mailbox("A", IPC_MODE_SEND_RECEIVE, 2, ipc);
  ASSERT_NE(a, nullptr);
  int fd = -1;
  ASSERT_EQ(IPC_get_mailbox_handles(1, &a, &fd), 1);

  HelperProcess sender("die_between_signal_and_link", {"S", "A"});
  ASSERT_EQ(sender.readLine(), "signalled");
  sender.kill();
  EXPECT_EQ(sender.wait(), 128 + 9);

  char buf[16];
  uint32_t length = 0;
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 1000, 1, &a, ipc), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_EMPTY);
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a, ipc), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_TIMEOUT) << "the dead sender's signal is gone";
  EXPECT_TRUE(sendText("after", a, ipc));
  EXPECT_EQ(receiveText(a, ipc, 0), "after");
  EXPECT_EQ(IPC_close(ipc), 1);
}

}  // namespace
}  // namespace kmx::ipc_test
