// The UT's loader receiving software by Xmodem: it asks for the transfer
// with NAK (8-bit checksum mode) until the first block comes, acknowledges
// good blocks (1024-byte STX blocks, and 128-byte SOH blocks), refuses bad
// ones with NAK, and acknowledges EOT. Faults: cancel, refuse blocks, never
// start, stay silent after EOT.
#pragma once

#include <cstdint>
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

class XmodemReceiver {
 public:
  static constexpr int kFirstNakMs = 200;  // the loader's start-up time
  static constexpr int kNakEveryMs = 1000;

  // Starts waiting for a transfer.
  void start(int64_t nowMs);
  void stop() { active_ = false; }
  bool active() const { return active_; }

  // Bytes from the host; returns what the receiver answers. Sets `finished`
  // when EOT has been acknowledged (the transfer is in received()).
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
