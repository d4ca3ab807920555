// The UT's loader receiving software by Xmodem: it asks for the transfer
// with NAK (8-bit checksum mode) until the first block comes, acknowledges
// good blocks (1024-byte STX blocks, and 128-byte SOH blocks), refuses bad
// ones with NAK, and acknowledges EOT. Faults: cancel, refuse blocks, never
// start, stay silent after EOT. The loader may give one transfer a plan of
// its own: no start NAK, a cancel after some blocks, a check of the whole
// transfer at its EOT.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kmx::sim {

struct XmodemFaults {
  bool neverStart = false;      // send no NAK to start
  uint32_t refuseBlocks = 0;    // answer this many good blocks with NAK
  bool cancel = false;          // answer the next block with CAN CAN
  bool silentAfterEot = false;  // do not acknowledge EOT
  uint32_t nakEots = 0;         // answer this many EOTs with NAK
  std::vector<uint8_t> answerNext;  // answer the next block with these bytes instead
};

// What the loader wants of the transfer it starts.
struct XmodemPlan {
  bool silentStart = false;        // send no NAK to start
  uint32_t cancelAfterBlocks = 0;  // answer the block after this many accepted ones with CAN CAN (0: no)
  // Asked at EOT with the transfer's data: false answers CAN CAN instead
  // of ACK (the transfer is refused).
  std::function<bool(const std::vector<uint8_t>&)> acceptAtEot;
};

class XmodemReceiver {
 public:
  // How the current transfer ended.
  enum class End { Open, Done, Cancelled, Refused };

  static constexpr int kFirstNakMs = 200;  // the loader's start-up time
  static constexpr int kNakEveryMs = 1000;

  // Starts waiting for a transfer.
  void start(int64_t nowMs, XmodemPlan plan = {});
  // Changes the plan of the transfer under way.
  void setPlan(XmodemPlan plan) { plan_ = std::move(plan); }
  void stop() { active_ = false; }
  bool active() const { return active_; }
  End end() const { return end_; }

  // Bytes from the host; returns what the receiver answers. Sets `finished`
  // when EOT has been acknowledged (the transfer is in received(); end() is
  // Done). A transfer cancelled or refused ends with end() saying so.
  std::vector<uint8_t> receive(std::span<const uint8_t> bytes, XmodemFaults& faults, int64_t nowMs,
                               bool* finished);
  // The periodic NAK while no block has come; -1 when nothing is due.
  std::vector<uint8_t> tick(int64_t nowMs, const XmodemFaults& faults);
  int64_t nextDueMs() const { return active_ && !started_ ? nextNakMs_ : -1; }

  // A block that stops arriving for this long is given up (receiver time-out).
  static constexpr int kBlockGapMs = 1000;

  const std::vector<uint8_t>& received() const { return data_; }
  uint32_t blocksAccepted() const { return blocksAccepted_; }
  uint32_t naksSent() const { return naksSent_; }
  uint32_t blocksSeen() const { return blocksSeen_; }  // good blocks, repeats included

 private:
  XmodemPlan plan_;
  End end_ = End::Open;
  bool active_ = false;
  bool started_ = false;  // a good block has arrived: no more start NAKs
  int64_t lastByteMs_ = 0;
  int64_t nextNakMs_ = 0;
  uint8_t expected_ = 1;
  std::vector<uint8_t> pending_;  // bytes of a block not yet complete
  std::vector<uint8_t> data_;
  uint32_t blocksAccepted_ = 0;
  uint32_t naksSent_ = 0;
  uint32_t blocksSeen_ = 0;
};

}  // namespace kmx::sim
