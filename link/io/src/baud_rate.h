// The five line rates the driver knows and their bits in the rate mask.
#pragma once

#include <array>
#include <cstdint>

namespace kmx::io {

struct BaudEntry {
  uint32_t rate;
  uint32_t bit;
};

inline constexpr std::array<BaudEntry, 5> kBaudTable = {{
    {9600, 0x01}, {19200, 0x02}, {38400, 0x04}, {57600, 0x08}, {115200, 0x10}}};

inline constexpr uint32_t kAllBaudRates = 0x1F;
inline constexpr uint32_t kInitialBaudRate = 9600;

// The mask bit of `rate`, or 0 when the rate is not in the table.
constexpr uint32_t baudBitForRate(uint32_t rate) {
  for (const BaudEntry& e : kBaudTable) {
    if (e.rate == rate) return e.bit;
  }
  return 0;
}

}  // namespace kmx::io
