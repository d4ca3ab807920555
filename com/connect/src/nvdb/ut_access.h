// What the NV database asks of the UT. The connection object answers through
// its KMX connection; tests and the fuzz target can answer from memory.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace vx::nvdb {

inline constexpr std::size_t kVersionBlockSize = 83;

class NvUtAccess {
 public:
  enum class ItemRead {
    Read,       // the buffer holds the item's value
    NotActive,  // the UT holds the element but it has no value
    Failed,
  };

  virtual ~NvUtAccess() = default;
  virtual bool readVersionBlock(std::array<uint8_t, kVersionBlockSize>& block) = 0;
  // Reads region 0 of the UT's memory.
  virtual bool readMemory(uint32_t address, std::span<uint8_t> out) = 0;
  virtual bool listDimension(uint32_t item, uint16_t& count) = 0;
  virtual ItemRead readItem(uint32_t item, uint32_t index, std::span<uint8_t> out) = 0;
};

}  // namespace vx::nvdb
