// The UT's memory as seen through the region commands: segments of bytes at
// addresses within numbered regions. A read or write must lie inside one
// segment; anything else is a memory fault.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kmx::sim {

class MemoryMap {
 public:
  // Places (or replaces) a segment starting at `base`.
  void place(uint8_t region, uint32_t base, std::vector<uint8_t> bytes, bool writable);
  bool read(uint8_t region, uint32_t address, uint32_t length, std::vector<uint8_t>& out) const;
  bool write(uint8_t region, uint32_t address, std::span<const uint8_t> data);
  // The bytes of the segment that starts at `base`, or null.
  const std::vector<uint8_t>* segmentAt(uint8_t region, uint32_t base) const;

 private:
  struct Segment {
    uint8_t region;
    uint32_t base;
    std::vector<uint8_t> bytes;
    bool writable;
  };
  // Index of the segment holding [address, address + length), or -1.
  int locate(uint8_t region, uint32_t address, uint64_t length) const;

  std::vector<Segment> segments_;
};

}  // namespace kmx::sim
