// Byte-level constants of the UT link frame format.
//
// A frame is: flag, escaped packet, flag. The packet is the header (request:
// command code and sequence byte; response: status and sequence byte;
// unsolicited: packet type), the payload and the CRC-16 of everything before
// it, low byte first. Inside a frame the bytes 0x1B, 0x1E and 0x5B are sent as
// the escape byte followed by their index in the escape table; a receiver also
// accepts index 3, which stands for 0x00.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kmx::proto {

using ByteSpan = std::span<const uint8_t>;

inline constexpr uint8_t kFrameFlag = 0x1E;
inline constexpr uint8_t kEscapeByte = 0x1B;
inline constexpr std::array<uint8_t, 4> kEscapeTable = {0x1B, 0x1E, 0x5B, 0x00};

// A whole transmit frame, both flags included, never exceeds this.
inline constexpr std::size_t kMaxFrameSize = 8212;
// Unescaped bytes of one received packet, CRC included, that the receiver holds.
inline constexpr std::size_t kMaxPacketSize = 8211;
inline constexpr std::size_t kCrcSize = 2;
// The largest packet a decoder hands on (CRC removed).
inline constexpr std::size_t kMaxPacketPayload = kMaxPacketSize - kCrcSize;

}  // namespace kmx::proto
