// Message types and sizes of the socket protocol between the serial driver
// and a UT simulator (see docs/design.md, "Simulated ports"). Every SEQPACKET message is one
// type byte followed by its body.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kmx::io::sim {

inline constexpr uint8_t kData = 0x01;   // body: 1..kMaxDataBody line bytes, both ways
inline constexpr uint8_t kLines = 0x02;  // body: 1 byte of kLine* bits
inline constexpr uint8_t kBaud = 0x03;   // body: u32 little-endian bit/s, host to UT

inline constexpr std::size_t kMaxDataBody = 4096;

inline constexpr uint8_t kLineCts = 0x01;  // UT to host
inline constexpr uint8_t kLineDtr = 0x02;  // host to UT
inline constexpr uint8_t kLineRts = 0x04;  // host to UT

}  // namespace kmx::io::sim
