// Behaviour of the IPC functions within one process.
#include <poll.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "ipc_test_support.h"

namespace kmx::ipc_test {
namespace {

bool signalled(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

// An IPC object with mailboxes "A" (capacity 4) and "B" (capacity 1), both
// send-and-receive, messages of at most 16 bytes.
class MailboxTest : public IpcTest {
 protected:
  void SetUp() override {
    ipc_ = IPC_create("obj", 4, 8, 16, -1);
    ASSERT_NE(ipc_, nullptr);
    a_ = IPC_create_mailbox("A", IPC_MODE_SEND_RECEIVE, 4, ipc_);
    b_ = IPC_create_mailbox("B", IPC_MODE_SEND_RECEIVE, 1, ipc_);
    ASSERT_NE(a_, nullptr);
    ASSERT_NE(b_, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(IPC_close(ipc_), 1);  // also closes the mailbox handles
    EXPECT_EQ(sandbox_.leftovers(), "");
  }
  uint32_t queued(void* mbox) {
    uint32_t count = 0xFFFFFFFF;
    EXPECT_EQ(IPC_mailbox_state(1, &mbox, nullptr, &count, nullptr, nullptr, ipc_), 1);
    return count;
  }
  void* ipc_ = nullptr;
  void* a_ = nullptr;
  void* b_ = nullptr;
};

TEST_F(IpcTest, InvalidArgumentsAreRefusedAndCreateNothing) {
  const std::string name32(32, 'n'), name33(33, 'n');
  EXPECT_EQ(IPC_create(name33.c_str(), 1, 1, 8, -1), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(IPC_open(name33.c_str(), -1), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(IPC_create("x", 0, 1, 8, -1), nullptr);
  EXPECT_EQ(IPC_create("x", 1, 0, 8, -1), nullptr);
  EXPECT_EQ(IPC_create("x", 1, 1, 0, -1), nullptr);
  EXPECT_EQ(IPC_create("x", 1, 1, 8, -2), nullptr);
  EXPECT_EQ(IPC_create("x", 1, 0x10000, 0x10000, -1), nullptr) << "not addressable in 32 bits";
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(sandbox_.leftovers(), "");

  void* ipc = IPC_create(name32.c_str(), 1, 1, 8, -1);
  ASSERT_NE(ipc, nullptr);
  EXPECT_EQ(IPC_create_mailbox(name33.c_str(), 1, 1, ipc), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(IPC_open_mailbox(name33.c_str(), 1, ipc), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(IPC_create_mailbox("m", 4, 1, ipc), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  void* mbox = IPC_create_mailbox(name32.c_str(), 3, 1, ipc);
  ASSERT_NE(mbox, nullptr);
  char buf[8] = {};
  uint32_t length = 0;
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, -2, 1, &mbox, ipc), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 0, &mbox, ipc), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(IPC_send(buf, 0, 1, &mbox, ipc), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  KMXBuffer nullPiece{nullptr, 3};
  EXPECT_EQ(IPC_sendv(&nullPiece, 1, 1, &mbox, ipc), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(IPC_close(ipc), 1);
  EXPECT_EQ(sandbox_.leftovers(), "");
}

TEST_F(IpcTest, CreateOfALiveNameFailsAndOpenNeedsAnObject) {
  EXPECT_EQ(IPC_open("dup", -1), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_MAPPING_OPEN);
  void* first = IPC_create("dup", 2, 1, 8, -1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(IPC_create("dup", 1, 1, 8, -1), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_MAPPING_CREATE);
  EXPECT_NE(GetLastError() & 0xFFFF, 0u) << "the system error survives in the low half";

  EXPECT_EQ(IPC_open_mailbox("none", 3, first), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_EVENT_OPEN);
  auto stray = NamedEvent::create("dupghost", NamedEvent::Reset::Manual, false);
  EXPECT_EQ(IPC_open_mailbox("ghost", 3, first), nullptr) << "an event alone is no mailbox";
  EXPECT_EQ(lastCode(), IPC_ERR_MAILBOX_NOT_FOUND);
  stray.reset();

  // The object lives while anyone holds it.
  void* opened = IPC_open("dup", -1);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(IPC_close(first), 1);
  EXPECT_EQ(IPC_create("dup", 1, 1, 8, -1), nullptr);
  EXPECT_EQ(IPC_close(opened), 1);
  void* again = IPC_create("dup", 1, 1, 8, -1);
  EXPECT_NE(again, nullptr);
  EXPECT_EQ(IPC_close(again), 1);
  EXPECT_EQ(sandbox_.leftovers(), "");
}

TEST_F(MailboxTest, OversizeMessagesAreRefusedAndExactlyFullOnesPass) {
  std::string text(17, 'x');
  EXPECT_EQ(IPC_send(text.data(), 17, 1, &a_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  KMXBuffer pieces[2] = {{text.data(), 9}, {text.data() + 9, 8}};
  EXPECT_EQ(IPC_sendv(pieces, 2, 1, &a_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(queued(a_), 0u);
  EXPECT_EQ(IPC_send(text.data(), 16, 1, &a_, ipc_), 1);
}

TEST_F(MailboxTest, SendStopsAtTheFirstFullMailboxKeepingThePreviousSystemError) {
  void* c = IPC_create_mailbox("C", IPC_MODE_SEND_RECEIVE, 4, ipc_);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(IPC_send("fill", 4, 1, &b_, ipc_), 1);
  void* targets[3] = {a_, b_, c};
  SetLastError(0x00001234);
  EXPECT_EQ(IPC_send("msg", 3, 3, targets, ipc_), 0);
  EXPECT_EQ(GetLastError(), IPC_ERR_MAILBOX_FULL | 0x1234u);
  EXPECT_EQ(queued(a_), 1u);
  EXPECT_EQ(queued(b_), 1u);
  EXPECT_EQ(queued(c), 0u);
}

TEST_F(MailboxTest, TooSmallBufferLeavesTheMessageForALaterReceive) {
  ASSERT_EQ(IPC_send("0123456789", 10, 1, &a_, ipc_), 1);
  char buf[16];
  uint32_t length = 77;
  EXPECT_EQ(IPC_receive(buf, 9, &length, 0, 1, &a_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_BUFFER_TOO_SMALL);
  KMXBuffer pieces[2] = {{buf, 4}, {buf + 4, 5}};
  EXPECT_EQ(IPC_receivev(pieces, 2, 0, 1, &a_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 77u);

  ASSERT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a_, ipc_), 1);
  EXPECT_EQ(std::string(buf, length), "0123456789");
}

TEST_F(MailboxTest, EventIsSignalledExactlyWhileMessagesAreQueued) {
  int fd = -1;
  ASSERT_EQ(IPC_get_mailbox_handles(1, &a_, &fd), 1);
  EXPECT_FALSE(signalled(fd));
  ASSERT_EQ(IPC_send("1", 1, 1, &a_, ipc_), 1);
  ASSERT_EQ(IPC_send("2", 1, 1, &a_, ipc_), 1);
  EXPECT_TRUE(signalled(fd));
  char buf[4];
  uint32_t length = 0, index = 9;
  ASSERT_EQ(IPC_receive_peek(buf, sizeof buf, &length, 0, 1, &a_, &index, ipc_), 1);
  EXPECT_TRUE(signalled(fd)) << "a peek takes nothing";
  ASSERT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a_, ipc_), 1);
  EXPECT_TRUE(signalled(fd));
  ASSERT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a_, ipc_), 1);
  EXPECT_FALSE(signalled(fd));
  ASSERT_EQ(IPC_send("3", 1, 1, &a_, ipc_), 1);
  EXPECT_TRUE(signalled(fd));
}

// A byte written to an empty mailbox's event (by a faulty process, or left by
// a sender that died half-way) wakes a waiter once: the receive, peek or
// select that finds the queue empty clears it, so the next one waits.
TEST_F(MailboxTest, AStaleSignalOnAnEmptyMailboxIsClearedByWhatFindsTheQueueEmpty) {
  int fd = -1;
  ASSERT_EQ(IPC_get_mailbox_handles(1, &a_, &fd), 1);
  auto stale = NamedEvent::open("objA", NamedEvent::Reset::Manual);
  ASSERT_NE(stale, nullptr);
  char buf[16];
  uint32_t length = 0, index = 9, count = 9;

  ASSERT_TRUE(stale->set());
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_EMPTY);
  EXPECT_FALSE(signalled(fd));
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_TIMEOUT);

  ASSERT_TRUE(stale->set());
  EXPECT_EQ(IPC_receive_peek(buf, sizeof buf, &length, 1000, 1, &a_, &index, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_EMPTY);
  EXPECT_FALSE(signalled(fd));

  for (int lockFlag : {0, 1}) {
    ASSERT_TRUE(stale->set());
    EXPECT_EQ(IPC_select(1, &a_, &count, nullptr, lockFlag, 1000, ipc_), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(signalled(fd)) << "lock flag " << lockFlag;
    EXPECT_EQ(IPC_select(1, &a_, &count, nullptr, lockFlag, 0, ipc_), 0);
    EXPECT_EQ(lastCode(), IPC_ERR_TIMEOUT);
  }

  // The mailbox works as before.
  ASSERT_EQ(IPC_send("after", 5, 1, &a_, ipc_), 1);
  EXPECT_TRUE(signalled(fd));
  ASSERT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a_, ipc_), 1);
  EXPECT_EQ(std::string(buf, length), "after");
  EXPECT_FALSE(signalled(fd));
}

TEST_F(MailboxTest, ReceiveOnEmptyMailboxesTimesOut) {
  char buf[16];
  uint32_t length = 0;
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &a_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_TIMEOUT);
  void* both[2] = {a_, b_};
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 30, 2, both, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_TIMEOUT);
  EXPECT_EQ(IPC_select(2, both, nullptr, nullptr, 1, 0, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_TIMEOUT);
}

TEST_F(MailboxTest, WaitingReceiverTakesFromTheFirstNonEmptyMailboxInArrayOrder) {
  std::thread sender([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    IPC_send("late-a", 6, 1, &a_, ipc_);
    IPC_send("late-b", 6, 1, &b_, ipc_);
  });
  void* order[2] = {b_, a_};
  char buf[16];
  uint32_t length = 0, index = 9;
  ASSERT_EQ(IPC_receive_peek(buf, 4, &length, 5000, 2, order, &index, ipc_), 1);
  sender.join();
  EXPECT_EQ(std::string(buf, length), "late") << "a peek cuts to the buffer";
  EXPECT_LT(index, 2u);
  ASSERT_EQ(IPC_receive(buf, sizeof buf, &length, -1, 2, order, ipc_), 1);
  EXPECT_EQ(std::string(buf, length), "late-b");
  ASSERT_EQ(IPC_receive(buf, sizeof buf, &length, -1, 2, order, ipc_), 1);
  EXPECT_EQ(std::string(buf, length), "late-a");
}

TEST_F(MailboxTest, GatherAndScatterKeepTheBytesInOrder) {
  std::string head = "head:", body = "0123456789";
  KMXBuffer out[3] = {{head.data(), 5}, {nullptr, 0}, {body.data(), 10}};
  ASSERT_EQ(IPC_sendv(out, 3, 1, &a_, ipc_), 1);
  char p0[4], p1[8], p2[8];
  KMXBuffer in[4] = {{p0, 4}, {p1, 8}, {p2, 8}, {nullptr, 0}};
  ASSERT_EQ(IPC_receivev(in, 4, 0, 1, &a_, ipc_), 1);
  EXPECT_EQ(in[2].length, 3u);
  EXPECT_EQ(in[3].length, 0u);
  EXPECT_EQ(std::string(p0, 4) + std::string(p1, 8) + std::string(p2, 3), "head:0123456789");
}

TEST_F(MailboxTest, ModesSuspensionAndStateAreEnforcedAndReported) {
  void* sendOnly = IPC_open_mailbox("A", IPC_MODE_SEND, ipc_);
  void* neither = IPC_open_mailbox("A", IPC_MODE_NONE, ipc_);
  ASSERT_NE(sendOnly, nullptr);
  ASSERT_NE(neither, nullptr);
  char buf[16];
  uint32_t length = 0;
  EXPECT_EQ(IPC_send("x", 1, 1, &neither, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_MODE);
  ASSERT_EQ(IPC_send("x", 1, 1, &sendOnly, ipc_), 1);
  EXPECT_EQ(IPC_receive(buf, sizeof buf, &length, 0, 1, &sendOnly, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_MODE);

  ASSERT_EQ(IPC_suspend_mailbox(1, &b_, 1, ipc_), 1);
  EXPECT_EQ(IPC_send("no", 2, 1, &b_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_SUSPENDED);

  void* both[2] = {a_, b_};
  std::array<uint32_t, 2> caps{}, counts{}, opens{}, suspended{};
  ASSERT_EQ(
      IPC_mailbox_state(2, both, caps.data(), counts.data(), opens.data(), suspended.data(), ipc_),
      1);
  EXPECT_EQ(caps, (std::array<uint32_t, 2>{4, 1}));
  EXPECT_EQ(counts, (std::array<uint32_t, 2>{1, 0}));
  EXPECT_EQ(opens, (std::array<uint32_t, 2>{3, 1}));
  EXPECT_EQ(suspended, (std::array<uint32_t, 2>{0, 1}));
  counts = opens = {9, 9};
  ASSERT_EQ(IPC_select(2, both, counts.data(), opens.data(), 0, -1, ipc_), 1);
  EXPECT_EQ(counts, (std::array<uint32_t, 2>{1, 0}));
  EXPECT_EQ(opens, (std::array<uint32_t, 2>{3, 1}));
}

TEST_F(IpcTest, RunningOutOfSlotsOrBuffersFailsAndClosingGivesThemBack) {
  void* ipc = IPC_create("small", 1, 1, 8, -1);
  ASSERT_NE(ipc, nullptr);
  void* a = IPC_create_mailbox("a", 3, 2, ipc);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(IPC_create_mailbox("b", 3, 2, ipc), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_NO_SLOT);
  ASSERT_EQ(IPC_send("1", 1, 1, &a, ipc), 1);
  EXPECT_EQ(IPC_send("2", 1, 1, &a, ipc), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NO_DESCRIPTOR);

  // Closed with its message still queued: slot and buffer both come back.
  EXPECT_EQ(IPC_close_mailbox(a, ipc), 1);
  void* b = IPC_create_mailbox("b", 3, 2, ipc);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(IPC_send("3", 1, 1, &b, ipc), 1);
  EXPECT_EQ(IPC_close(ipc), 1);
  EXPECT_EQ(sandbox_.leftovers(), "");
}

TEST_F(MailboxTest, ForeignAndStaleHandlesAreRefusedWithoutBeingTouched) {
  int notAHandle = 0;
  void* foreign = &notAHandle;
  int fd = -1;
  EXPECT_EQ(IPC_send("x", 1, 1, &a_, foreign), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_IPC);
  EXPECT_EQ(IPC_send("x", 1, 1, &a_, a_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_IPC);
  EXPECT_EQ(IPC_send("x", 1, 1, &foreign, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_MAILBOX);
  EXPECT_EQ(IPC_get_mailbox_handles(1, &ipc_, &fd), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_MAILBOX);

  // A mailbox handle only works with the IPC handle it was made through.
  void* other = IPC_create("other", 1, 1, 8, -1);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(IPC_close_mailbox(a_, other), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_MAILBOX);

  // Closed handles are freed memory: refused, never read (the address
  // sanitizer would report the read).
  void* stale = a_;
  EXPECT_EQ(IPC_close_mailbox(a_, ipc_), 1);
  EXPECT_EQ(IPC_close_mailbox(stale, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_MAILBOX);
  EXPECT_EQ(IPC_close(other), 1);
  EXPECT_EQ(IPC_close(other), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_IPC);

  // Closing an IPC handle closes the mailbox handles still open through it.
  void* b = b_;
  EXPECT_EQ(IPC_close(ipc_), 1);
  EXPECT_EQ(IPC_get_mailbox_handles(1, &b, &fd), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_NOT_MAILBOX);
  EXPECT_EQ(sandbox_.leftovers(), "");
  ipc_ = IPC_create("obj", 1, 1, 8, -1);  // for TearDown
}

TEST(SecurityAttributesTest, AreReferenceCounted) {
  EXPECT_EQ(get_security_attributes(), nullptr);
  EXPECT_NE(init_security_attributes(), 0);
  EXPECT_NE(init_security_attributes(), 0);
  auto* attributes = static_cast<KMXSecurityAttributes*>(get_security_attributes());
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(attributes->objectMode, 0600u);
  free_security_attributes();
  EXPECT_NE(get_security_attributes(), nullptr);
  free_security_attributes();
  EXPECT_EQ(get_security_attributes(), nullptr);
  free_security_attributes();  // one too many does nothing
  EXPECT_NE(init_security_attributes(), 0);
  EXPECT_NE(get_security_attributes(), nullptr);
  free_security_attributes();
}

}  // namespace
}  // namespace kmx::ipc_test
