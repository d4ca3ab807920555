// CRC-16 of the UT link: polynomial 0x1021 processed most significant bit
// first, register preset to 0xFFFF, result inverted (check value over
// "123456789" is 0xD64E). The routine is incremental: it takes a start value,
// inverts it on entry and returns the finished value, so
//   crc16(crc16(0, a), b) == crc16(0, a + b).
// A computation starts from 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kmx::proto {

// The 256-entry lookup table for polynomial 0x1021.
extern const std::array<uint16_t, 256> kCrc16Table;

uint16_t crc16(uint16_t start, const uint8_t* data, std::size_t length) noexcept;

inline uint16_t crc16(uint16_t start, std::span<const uint8_t> bytes) noexcept {
  return crc16(start, bytes.data(), bytes.size());
}

}  // namespace kmx::proto
