#include "paced_queue.h"

#include <algorithm>

#include "kmx/proto/frame_format.h"

namespace kmx::sim {
namespace {

int64_t byteTimeUs(uint32_t rate) { return rate == 0 ? 0 : 10'000'000LL / rate; }

// A UART's receive FIFO hands over its last bytes after this many quiet
// character times.
constexpr int64_t kFifoTimeoutBytes = 4;

}  // namespace

void PacedQueue::push(std::span<const uint8_t> bytes, int64_t nowUs) {
  if (bytes_.empty()) lineBusyFromUs_ = nowUs;
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

std::size_t PacedQueue::handedOver(std::size_t arrived, int64_t nowUs, int64_t perByte) const {
  if (!batched() || arrived == 0 || arrived >= trigger_) return arrived;
  if (flagEndsBatch_) {
    const auto end = bytes_.begin() + static_cast<std::ptrdiff_t>(arrived);
    if (std::find(bytes_.begin(), end, proto::kFrameFlag) != end) return arrived;
  }
  // The rest waits for the FIFO's time-out, which the line's next byte
  // would put off.
  const bool lineQuiet = arrived == bytes_.size();
  const int64_t lastArrivedUs = lineBusyFromUs_ + static_cast<int64_t>(arrived) * perByte;
  return lineQuiet && nowUs >= lastArrivedUs + kFifoTimeoutBytes * perByte ? arrived : 0;
}

std::vector<uint8_t> PacedQueue::take(int64_t nowUs, bool paced, uint32_t rate) {
  std::size_t count = bytes_.size();
  int64_t perByte = byteTimeUs(rate);
  if (paced && perByte > 0) {
    int64_t elapsed = std::max<int64_t>(0, nowUs - lineBusyFromUs_);
    count = handedOver(std::min<std::size_t>(count, static_cast<std::size_t>(elapsed / perByte)), nowUs, perByte);
    lineBusyFromUs_ += static_cast<int64_t>(count) * perByte;
  }
  std::vector<uint8_t> out(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
  return out;
}

int64_t PacedQueue::nextReadyUs(bool paced, uint32_t rate) const {
  if (bytes_.empty()) return -1;
  if (!paced) return 0;
  const int64_t perByte = byteTimeUs(rate);
  if (!batched()) return lineBusyFromUs_ + perByte;
  // The trigger's byte, a flag before it, or the time-out after the last byte.
  const std::size_t within = std::min(bytes_.size(), trigger_);
  if (flagEndsBatch_) {
    const auto flag = std::find(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(within), proto::kFrameFlag);
    const auto at = static_cast<int64_t>(flag - bytes_.begin());
    if (static_cast<std::size_t>(at) < within) return lineBusyFromUs_ + (at + 1) * perByte;
  }
  if (bytes_.size() >= trigger_) return lineBusyFromUs_ + static_cast<int64_t>(trigger_) * perByte;
  return lineBusyFromUs_ + static_cast<int64_t>(bytes_.size() + kFifoTimeoutBytes) * perByte;
}

}  // namespace kmx::sim
