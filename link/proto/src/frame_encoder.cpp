#include "kmx/proto/frame_encoder.h"

#include <cstring>

#include "byte_scan.h"
#include "kmx/proto/crc16.h"

namespace kmx::proto {
namespace {

constexpr uint8_t escapeIndex(uint8_t byte) noexcept {
  return byte == 0x1B ? 0 : byte == 0x1E ? 1 : 2;  // only called for 0x1B, 0x1E, 0x5B
}

// Appends the escaped form of `bytes` to buf[len..limit). False when it does
// not fit; `len` is then meaningless.
bool escapeInto(ByteSpan bytes, uint8_t* buf, std::size_t& len, std::size_t limit) noexcept {
  const uint8_t* p = bytes.data();
  std::size_t left = bytes.size();
  while (left != 0) {
    const std::size_t run = detail::runWithout(p, left, 0x1B, 0x1E, 0x5B);
    if (run > limit - len) return false;
    std::memcpy(buf + len, p, run);
    len += run;
    p += run;
    left -= run;
    if (left == 0) break;
    if (limit - len < 2) return false;
    buf[len++] = kEscapeByte;
    buf[len++] = escapeIndex(*p);
    ++p;
    --left;
  }
  return true;
}

}  // namespace

bool FrameEncoder::encode(ByteSpan header, std::span<const ByteSpan> pieces) noexcept {
  uint8_t* const buf = buffer_.data();
  // Everything between the flags has to leave room for the closing flag.
  const std::size_t limit = kMaxFrameSize - 1;
  std::size_t len = 0;
  buf[len++] = kFrameFlag;

  uint16_t crc = crc16(0, header);
  bool fits = escapeInto(header, buf, len, limit);
  for (const ByteSpan& piece : pieces) {
    if (!fits) break;
    crc = crc16(crc, piece);
    fits = escapeInto(piece, buf, len, limit);
  }
  const uint8_t crcBytes[kCrcSize] = {static_cast<uint8_t>(crc & 0xFF),
                                      static_cast<uint8_t>(crc >> 8)};
  if (!fits || !escapeInto(crcBytes, buf, len, limit)) {
    length_ = 0;
    return false;
  }
  buf[len++] = kFrameFlag;
  length_ = len;
  return true;
}

bool FrameEncoder::encodeRequest(uint8_t command, uint8_t sequenceBit,
                                 std::span<const ByteSpan> pieces) noexcept {
  const uint8_t header[2] = {command, sequenceBit};
  return encode(header, pieces);
}

}  // namespace kmx::proto
