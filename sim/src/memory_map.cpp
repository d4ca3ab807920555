#include "kmx/sim/memory_map.h"

#include <algorithm>

namespace kmx::sim {

void MemoryMap::place(uint8_t region, uint32_t base, std::vector<uint8_t> bytes, bool writable) {
  std::erase_if(segments_, [&](const Segment& s) { return s.region == region && s.base == base; });
  segments_.push_back(Segment{region, base, std::move(bytes), writable});
}

int MemoryMap::locate(uint8_t region, uint32_t address, uint64_t length) const {
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const Segment& segment = segments_[i];
    if (segment.region != region || address < segment.base) continue;
    uint64_t offset = address - segment.base;
    if (offset + length <= segment.bytes.size()) return static_cast<int>(i);
  }
  return -1;
}

bool MemoryMap::read(uint8_t region, uint32_t address, uint32_t length,
                     std::vector<uint8_t>& out) const {
  int index = locate(region, address, length);
  if (index < 0) return false;
  const Segment& segment = segments_[static_cast<std::size_t>(index)];
  auto begin = segment.bytes.begin() + (address - segment.base);
  out.assign(begin, begin + length);
  return true;
}

bool MemoryMap::write(uint8_t region, uint32_t address, std::span<const uint8_t> data) {
  int index = locate(region, address, data.size());
  if (index < 0) return false;
  Segment& segment = segments_[static_cast<std::size_t>(index)];
  if (!segment.writable) return false;
  std::copy(data.begin(), data.end(), segment.bytes.begin() + (address - segment.base));
  return true;
}

const std::vector<uint8_t>* MemoryMap::segmentAt(uint8_t region, uint32_t base) const {
  for (const auto& segment : segments_) {
    if (segment.region == region && segment.base == base) return &segment.bytes;
  }
  return nullptr;
}

}  // namespace kmx::sim
