#include "status_cache.h"

#include <algorithm>

namespace vx::connect {

namespace {
std::size_t slotOf(uint32_t item) {
  return static_cast<std::size_t>(
      std::find(kCachedStatusItems.begin(), kCachedStatusItems.end(), item) - kCachedStatusItems.begin());
}
}  // namespace

void StatusCache::clear() {
  for (auto& slot : slots_) slot.clear();
}

void StatusCache::store(uint32_t item, std::span<const uint8_t> answer) {
  const std::size_t slot = slotOf(item);
  if (slot < slots_.size()) slots_[slot].assign(answer.begin(), answer.end());
}

std::span<const uint8_t> StatusCache::answer(uint32_t item) const {
  const std::size_t slot = slotOf(item);
  if (slot >= slots_.size()) return {};
  return slots_[slot];
}

}  // namespace vx::connect
