#include "paced_queue.h"

#include <algorithm>

namespace kmx::sim {
namespace {

int64_t byteTimeUs(uint32_t rate) { return rate == 0 ? 0 : 10'000'000LL / rate; }

}  // namespace

void PacedQueue::push(std::span<const uint8_t> bytes, int64_t nowUs) {
  if (bytes_.empty()) lineBusyFromUs_ = nowUs;
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> PacedQueue::take(int64_t nowUs, bool paced, uint32_t rate) {
  std::size_t count = bytes_.size();
  int64_t perByte = byteTimeUs(rate);
  if (paced && perByte > 0) {
    int64_t elapsed = std::max<int64_t>(0, nowUs - lineBusyFromUs_);
    count = std::min<std::size_t>(count, static_cast<std::size_t>(elapsed / perByte));
    lineBusyFromUs_ += static_cast<int64_t>(count) * perByte;
  }
  std::vector<uint8_t> out(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
  return out;
}

int64_t PacedQueue::nextReadyUs(bool paced, uint32_t rate) const {
  if (bytes_.empty()) return -1;
  if (!paced) return 0;
  return lineBusyFromUs_ + byteTimeUs(rate);
}

}  // namespace kmx::sim
