#include "xmodem_receiver.h"

namespace kmx::sim {
namespace {

constexpr uint8_t kSoh = 0x01, kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;

}  // namespace

void XmodemReceiver::start(int64_t nowMs, XmodemPlan plan) {
  plan_ = std::move(plan);
  end_ = End::Open;
  active_ = true;
  started_ = false;
  nextNakMs_ = nowMs + kFirstNakMs;
  expected_ = 1;
  pending_.clear();
  data_.clear();
  blocksAccepted_ = 0;
  blocksSeen_ = 0;
}

std::vector<uint8_t> XmodemReceiver::tick(int64_t nowMs, const XmodemFaults& faults) {
  if (!pending_.empty() && nowMs - lastByteMs_ >= kBlockGapMs) pending_.clear();
  if (!active_ || started_ || nowMs < nextNakMs_) return {};
  nextNakMs_ = nowMs + kNakEveryMs;
  if (faults.neverStart || plan_.silentStart) return {};
  ++naksSent_;
  return {kNak};
}

std::vector<uint8_t> XmodemReceiver::receive(std::span<const uint8_t> bytes, XmodemFaults& faults,
                                             int64_t nowMs, bool* finished) {
  *finished = false;
  std::vector<uint8_t> answer;
  if (!active_) return answer;
  // What is left of a block that stopped arriving is noise.
  if (!pending_.empty() && nowMs - lastByteMs_ >= kBlockGapMs) pending_.clear();
  lastByteMs_ = nowMs;
  for (uint8_t byte : bytes) {
    if (pending_.empty()) {
      if (byte == kEot) {
        if (faults.nakEots > 0) {
          --faults.nakEots;
          answer.push_back(kNak);
          continue;
        }
        if (!faults.silentAfterEot) {
          active_ = false;
          if (plan_.acceptAtEot && !plan_.acceptAtEot(data_)) {
            end_ = End::Refused;
            answer.insert(answer.end(), {kCan, kCan});
            return answer;
          }
          end_ = End::Done;
          answer.push_back(kAck);
          *finished = true;
          return answer;
        }
        continue;
      }
      if (byte != kStx && byte != kSoh) continue;  // noise between blocks, or a CAN BS from the sender
    }
    pending_.push_back(byte);
    const std::size_t dataSize = pending_[0] == kStx ? 1024 : 128;
    if (pending_.size() < dataSize + 4) continue;

    const uint8_t number = pending_[1];
    uint8_t sum = 0;
    for (std::size_t i = 3; i < 3 + dataSize; ++i) sum = static_cast<uint8_t>(sum + pending_[i]);
    const bool intact = static_cast<uint8_t>(number ^ 0xFF) == pending_[2] && sum == pending_[3 + dataSize];
    if (intact) {
      started_ = true;
      ++blocksSeen_;
    }
    const bool planned = plan_.cancelAfterBlocks > 0 && blocksAccepted_ >= plan_.cancelAfterBlocks;
    if ((faults.cancel || planned) && intact) {
      if (!planned) faults.cancel = false;
      answer.insert(answer.end(), {kCan, kCan});
      active_ = false;
      end_ = End::Cancelled;
      pending_.clear();
      return answer;
    }
    if (!faults.answerNext.empty() && intact) {
      // Take the block, but answer as told (a test of the sender's reading).
      if (number == expected_) {
        data_.insert(data_.end(), pending_.begin() + 3, pending_.begin() + 3 + static_cast<long>(dataSize));
        ++expected_;
        ++blocksAccepted_;
      }
      answer.insert(answer.end(), faults.answerNext.begin(), faults.answerNext.end());
      faults.answerNext.clear();
      pending_.clear();
      continue;
    }
    const bool repeat = number == static_cast<uint8_t>(expected_ - 1);
    if (intact && repeat) {
      answer.push_back(kAck);  // our ACK was lost: acknowledge it again
    } else if (!intact || number != expected_ || faults.refuseBlocks > 0) {
      if (intact && number == expected_) --faults.refuseBlocks;
      answer.push_back(kNak);
      ++naksSent_;
    } else {
      data_.insert(data_.end(), pending_.begin() + 3, pending_.begin() + 3 + static_cast<long>(dataSize));
      ++expected_;
      ++blocksAccepted_;
      answer.push_back(kAck);
    }
    pending_.clear();
  }
  return answer;
}

}  // namespace kmx::sim
