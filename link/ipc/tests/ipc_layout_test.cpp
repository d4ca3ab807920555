// The shared block's byte layout, and what happens when a faulty process
// corrupts it.
#include <string>

#include "ipc_test_support.h"

namespace kmx::ipc_test {
namespace {

// Header fields.
constexpr uint32_t kFreeSlots = 36, kInUse = 40, kFreeDescs = 44, kMaxSize = 48, kCount = 52;
// Slot fields.
constexpr uint32_t kCap = 36, kQueued = 40, kOpen = 44, kFirst = 48, kLast = 52, kNext = 56,
                   kSuspended = 60;
// Descriptor fields.
constexpr uint32_t kData = 0, kLength = 4, kDescNext = 8;

bool sendText(const std::string& text, void* mbox, void* ipc) {
  return IPC_send(text.data(), static_cast<uint32_t>(text.size()), 1, &mbox, ipc) == 1;
}

std::string receiveText(void* mbox, void* ipc) {
  char buf[64];
  uint32_t length = 0;
  if (IPC_receive(buf, sizeof buf, &length, 0, 1, &mbox, ipc) != 1) return "<failed>";
  return std::string(buf, length);
}

TEST_F(IpcTest, NewBlockHasTheDocumentedLayoutAndFreeListOrder) {
  // N = 3 slots, M = 4 messages of S = 10 bytes.
  void* ipc = IPC_create("L", 3, 4, 10, -1);
  ASSERT_NE(ipc, nullptr);
  RawBlock raw("L");
  ASSERT_TRUE(raw.valid());
  ASSERT_EQ(raw.size(), (10u + 12u) * 4u + 64u * 3u + 56u);

  EXPECT_EQ(raw.str(0), "L");
  EXPECT_EQ(raw.u32(kMaxSize), 10u);
  EXPECT_EQ(raw.u32(kInUse), 0u);
  EXPECT_EQ(raw.u32(kCount), 0u);
  // Slots at 56, 120, 184, pushed in ascending order onto the front.
  EXPECT_EQ(raw.u32(kFreeSlots), 184u);
  EXPECT_EQ(raw.u32(184 + kNext), 120u);
  EXPECT_EQ(raw.u32(120 + kNext), 56u);
  EXPECT_EQ(raw.u32(56 + kNext), 0u);
  // Descriptors at 248, 260, 272, 284; data areas from 296, the first one
  // going to the head of the free list.
  EXPECT_EQ(raw.u32(kFreeDescs), 284u);
  const uint32_t expectedNext[4] = {0, 248, 260, 272};
  const uint32_t expectedData[4] = {326, 316, 306, 296};
  for (uint32_t i = 0; i < 4; ++i) {
    const uint32_t d = 248 + 12 * i;
    EXPECT_EQ(raw.u32(d + kDescNext), expectedNext[i]) << "descriptor " << i;
    EXPECT_EQ(raw.u32(d + kData), expectedData[i]) << "descriptor " << i;
    EXPECT_EQ(raw.u32(d + kLength), 0u) << "descriptor " << i;
  }

  // The highest slot is handed out first and filled field by field.
  void* a = IPC_create_mailbox("A", 3, 2, ipc);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(raw.str(184), "A");
  EXPECT_EQ(raw.u32(184 + kCap), 2u);
  EXPECT_EQ(raw.u32(184 + kQueued), 0u);
  EXPECT_EQ(raw.u32(184 + kOpen), 1u);
  EXPECT_EQ(raw.u32(184 + kFirst), 0u);
  EXPECT_EQ(raw.u32(184 + kLast), 0u);
  EXPECT_EQ(raw.u32(184 + kNext), 0u);
  EXPECT_EQ(raw.u32(184 + kSuspended), 0u);
  EXPECT_EQ(raw.u32(kInUse), 184u);
  EXPECT_EQ(raw.u32(kFreeSlots), 120u);
  EXPECT_EQ(raw.u32(kCount), 1u);

  // Messages take descriptors from the head and queue at the tail.
  ASSERT_TRUE(sendText("hello", a, ipc));
  ASSERT_TRUE(sendText("xy", a, ipc));
  EXPECT_EQ(raw.u32(kFreeDescs), 260u);
  EXPECT_EQ(raw.u32(184 + kQueued), 2u);
  EXPECT_EQ(raw.u32(184 + kFirst), 284u);
  EXPECT_EQ(raw.u32(184 + kLast), 272u);
  EXPECT_EQ(raw.u32(284 + kDescNext), 272u);
  EXPECT_EQ(raw.u32(284 + kLength), 5u);
  EXPECT_EQ(raw.bytesAt(296, 5), "hello");
  EXPECT_EQ(raw.u32(272 + kLength), 2u);
  EXPECT_EQ(raw.bytesAt(306, 2), "xy");

  // A taken descriptor goes back to the front of the free list.
  EXPECT_EQ(receiveText(a, ipc), "hello");
  EXPECT_EQ(raw.u32(kFreeDescs), 284u);
  EXPECT_EQ(raw.u32(284 + kDescNext), 260u);
  EXPECT_EQ(raw.u32(184 + kFirst), 272u);
  EXPECT_EQ(raw.u32(184 + kQueued), 1u);

  // A second mailbox goes to the front of the in-use list; closing the
  // first unlinks it and returns its slot and its queued descriptor.
  void* b = IPC_create_mailbox("B", 3, 2, ipc);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(raw.u32(kInUse), 120u);
  EXPECT_EQ(raw.u32(120 + kNext), 184u);
  EXPECT_EQ(raw.u32(kCount), 2u);
  EXPECT_EQ(IPC_close_mailbox(a, ipc), 1);
  EXPECT_EQ(raw.u32(kInUse), 120u);
  EXPECT_EQ(raw.u32(120 + kNext), 0u);
  EXPECT_EQ(raw.u32(kFreeSlots), 184u);
  EXPECT_EQ(raw.u32(184 + kNext), 56u);
  EXPECT_EQ(raw.u32(kFreeDescs), 272u);
  EXPECT_EQ(raw.u32(272 + kDescNext), 284u);
  EXPECT_EQ(raw.listLength(kFreeDescs, kDescNext), 4u);
  EXPECT_EQ(raw.u32(kCount), 2u) << "the creation count never goes down";

  EXPECT_EQ(IPC_close_mailbox(b, ipc), 1);
  EXPECT_EQ(raw.listLength(kFreeSlots, kNext), 3u);
  EXPECT_EQ(IPC_close(ipc), 1);
}

// An object "C" with N = 2 slots (56, 120), M = 3 descriptors (184, 196, 208)
// and S = 8 (data areas 220, 228, 236); block size 244. Mailbox "X" has slot
// 120, "Y" slot 56. `opened_` is a second handle made by IPC_open, which does
// not know N and M and relies on the bounds of the mapping.
class CorruptionTest : public IpcTest {
 protected:
  void SetUp() override {
    ipc_ = IPC_create("C", 2, 3, 8, -1);
    ASSERT_NE(ipc_, nullptr);
    x_ = IPC_create_mailbox("X", 3, 3, ipc_);
    ASSERT_NE(IPC_create_mailbox("Y", 3, 3, ipc_), nullptr);
    opened_ = IPC_open("C", -1);
    ASSERT_NE(opened_, nullptr);
    ox_ = IPC_open_mailbox("X", 3, opened_);
    ASSERT_NE(ox_, nullptr);
    raw_ = std::make_unique<RawBlock>("C");
    ASSERT_EQ(raw_->size(), 244u);
  }
  void TearDown() override {
    IPC_close(opened_);
    IPC_close(ipc_);
  }
  // Expects both handles' sends to X to fail as corrupt.
  void expectSendsCorrupt(uint32_t bad) {
    EXPECT_FALSE(sendText("m", x_, ipc_)) << bad;
    EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT) << bad;
    EXPECT_FALSE(sendText("m", ox_, opened_)) << bad;
    EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT) << bad;
  }
  void* ipc_ = nullptr;
  void* x_ = nullptr;
  void* opened_ = nullptr;
  void* ox_ = nullptr;
  std::unique_ptr<RawBlock> raw_;
};

TEST_F(CorruptionTest, BadLinksAndLengthsAreErrorsThatChangeNothing) {
  for (uint32_t bad : {0xFFFFFFF0u, 244u, 240u, 56u}) {
    raw_->setU32(kFreeDescs, bad);
    expectSendsCorrupt(bad);
  }
  raw_->setU32(kFreeDescs, 190);  // off the descriptor grid, which the creator knows
  EXPECT_FALSE(sendText("m", x_, ipc_));
  EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT);
  raw_->setU32(kFreeDescs, 208);
  raw_->setU32(208 + kData, 240);  // its data area would run past the end
  expectSendsCorrupt(240);
  raw_->setU32(208 + kData, 220);
  EXPECT_EQ(raw_->u32(120 + kQueued), 0u);

  // A queued message with an impossible length or link.
  ASSERT_TRUE(sendText("12345678", x_, ipc_));
  raw_->setU32(208 + kLength, 0x7FFFFFFF);
  char buf[8];
  uint32_t length = 0, index = 0;
  EXPECT_EQ(IPC_receive_peek(buf, sizeof buf, &length, 0, 1, &ox_, &index, opened_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT);
  raw_->setU32(208 + kLength, 8);
  raw_->setU32(120 + kFirst, 0xFFFFFFFC);
  EXPECT_EQ(receiveText(ox_, opened_), "<failed>");
  EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT);
  raw_->setU32(120 + kFirst, 208);
  EXPECT_EQ(receiveText(x_, ipc_), "12345678") << "repaired, the block works again";

  for (uint32_t bad : {60u, 244u, 0xFFFFFFC0u}) {
    raw_->setU32(kFreeSlots, bad);
    EXPECT_EQ(IPC_create_mailbox("Z", 3, 1, opened_), nullptr) << bad;
    EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT) << bad;
  }
}

TEST_F(CorruptionTest, HugeCountsAndCyclesEndInAnErrorNotAHang) {
  auto keepEvent = NamedEvent::open("CX", NamedEvent::Reset::Manual);  // X's, across closes
  ASSERT_NE(keepEvent, nullptr);
  ASSERT_TRUE(sendText("a", x_, ipc_));
  ASSERT_TRUE(sendText("b", x_, ipc_));
  const uint32_t first = raw_->u32(120 + kFirst);
  raw_->setU32(raw_->u32(120 + kLast) + kDescNext, first);  // queue: a -> b -> a ...
  raw_->setU32(120 + kQueued, 0xFFFFFFFF);
  raw_->setU32(kCount, 0xFFFFFFFF);
  raw_->setU32(kInUse, 56);
  raw_->setU32(56 + kNext, 56);  // in-use: Y -> Y -> ...; X unreachable

  auto stray = NamedEvent::create("Cmissing", NamedEvent::Reset::Manual, false);
  for (void* ipc : {ipc_, opened_}) {
    EXPECT_EQ(IPC_open_mailbox("missing", 3, ipc), nullptr);
    EXPECT_EQ(lastCode(), IPC_ERR_MAILBOX_NOT_FOUND);
  }
  EXPECT_FALSE(sendText("c", x_, ipc_));
  EXPECT_EQ(lastCode(), IPC_ERR_MAILBOX_FULL);
  EXPECT_EQ(IPC_close_mailbox(ox_, opened_), 1);
  EXPECT_EQ(IPC_close_mailbox(x_, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_MAILBOX_NOT_FOUND);

  // X back on the in-use list: its cyclic queue is walked a bounded number
  // of steps when its last handle goes.
  raw_->setU32(kInUse, 120);
  raw_->setU32(120 + kNext, 0);
  raw_->setU32(kCount, 2);
  raw_->setU32(120 + kOpen, 0);
  void* again = IPC_open_mailbox("X", 3, ipc_);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(IPC_close_mailbox(again, ipc_), 0);
  EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT);
}

TEST_F(CorruptionTest, OpeningABlockWithAnImpossibleHeaderFails) {
  for (uint32_t bad : {0u, 245u}) {  // no S, or one data area would not fit
    raw_->setU32(kMaxSize, bad);
    EXPECT_EQ(IPC_open("C", -1), nullptr);
    EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT);
  }
  raw_->setU32(kMaxSize, 8);
  raw_->setU32(0, 0x00005A5A);  // another name
  EXPECT_EQ(IPC_open("C", -1), nullptr);
  EXPECT_EQ(lastCode(), IPC_ERR_CORRUPT);
}

}  // namespace
}  // namespace kmx::ipc_test
