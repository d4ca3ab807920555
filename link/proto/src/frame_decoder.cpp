#include "kmx/proto/frame_decoder.h"

#include <algorithm>
#include <cstring>

#include "byte_scan.h"
#include "kmx/proto/crc16.h"

namespace kmx::proto {

std::size_t FrameDecoder::feed(ByteSpan bytes, PacketSink sink) {
  stop_ = false;
  const uint8_t* p = bytes.data();
  const uint8_t* const end = p + bytes.size();
  uint8_t* const buf = packet_.data();
  std::size_t count = count_;

  while (p != end) {
    // Any byte, the flag included, that arrives while the buffer is full
    // discards the packet so far and starts a new one.
    if (count >= kMaxPacketSize) {
      count = 0;
      ++stats_.receiveOverflows;
    }
    const uint8_t byte = *p++;
    if (afterEscape_) {
      // A flag right after an escape byte is a bad escape, not the end of the
      // packet.
      afterEscape_ = false;
      if (byte < kEscapeTable.size()) {
        buf[count++] = kEscapeTable[byte];
      } else {
        ++stats_.badEscapes;
      }
      continue;
    }
    if (byte == kEscapeByte) {
      afterEscape_ = true;
      continue;
    }
    if (byte == kFrameFlag) {
      opened_ = count == 0;
      count_ = 0;
      complete(count, sink);
      count = 0;
      if (stop_) {
        stop_ = false;
        return static_cast<std::size_t>(p - bytes.data());
      }
      continue;
    }
    buf[count++] = byte;
    // Copy the run of ordinary bytes that follows, as far as the buffer has room.
    const std::size_t room = kMaxPacketSize - count;
    const std::size_t avail = static_cast<std::size_t>(end - p);
    const std::size_t run =
        detail::runWithout(p, std::min(room, avail), kEscapeByte, kFrameFlag);
    std::memcpy(buf + count, p, run);
    count += run;
    p += run;
  }
  count_ = count;
  return bytes.size();
}

void FrameDecoder::complete(std::size_t length, const PacketSink& sink) {
  if (length < 3) return;  // too short to hold anything but noise: not counted
  const uint8_t* const buf = packet_.data();
  const std::size_t bodyLength = length - kCrcSize;
  const uint16_t received =
      static_cast<uint16_t>(buf[bodyLength] | (buf[bodyLength + 1] << 8));
  if (crc16(0, buf, bodyLength) != received) {
    ++stats_.crcErrors;
    return;
  }
  sink(ByteSpan(buf, bodyLength));
}

}  // namespace kmx::proto
