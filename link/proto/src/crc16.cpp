#include "kmx/proto/crc16.h"

namespace kmx::proto {
namespace {

constexpr std::array<uint16_t, 256> makeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned reg = i << 8;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000U) != 0 ? (reg << 1) ^ 0x1021U : reg << 1;
    }
    table[i] = static_cast<uint16_t>(reg);
  }
  return table;
}

}  // namespace

constinit const std::array<uint16_t, 256> kCrc16Table = makeTable();

uint16_t crc16(uint16_t start, const uint8_t* data, std::size_t length) noexcept {
  unsigned reg = static_cast<uint16_t>(~start);
  for (std::size_t i = 0; i < length; ++i) {
    reg = (reg << 8) ^ kCrc16Table[((reg >> 8) ^ data[i]) & 0xFFU];
  }
  return static_cast<uint16_t>(~reg);
}

}  // namespace kmx::proto
