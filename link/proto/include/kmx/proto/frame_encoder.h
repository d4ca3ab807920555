// Builds one transmit frame into a fixed buffer. The frame stays in the
// encoder until the next encode, so a retransmission can send the same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "kmx/proto/frame_format.h"

namespace kmx::proto {

class FrameEncoder {
 public:
  // Frame = flag, escaped header, escaped pieces in order, escaped CRC over
  // header and pieces (low byte first), flag. Empty pieces contribute nothing.
  // Returns false, leaving no frame, when the result would not fit in
  // kMaxFrameSize bytes.
  bool encode(ByteSpan header, std::span<const ByteSpan> pieces) noexcept;
  bool encode(ByteSpan header, std::initializer_list<ByteSpan> pieces) noexcept {
    return encode(header, std::span<const ByteSpan>(pieces.begin(), pieces.size()));
  }

  // A request frame: header [command code, sequence bit].
  bool encodeRequest(uint8_t command, uint8_t sequenceBit,
                     std::span<const ByteSpan> pieces) noexcept;
  bool encodeRequest(uint8_t command, uint8_t sequenceBit,
                     std::initializer_list<ByteSpan> pieces) noexcept {
    return encodeRequest(command, sequenceBit,
                         std::span<const ByteSpan>(pieces.begin(), pieces.size()));
  }

  // The last frame built (empty before the first and after a failure).
  ByteSpan frame() const noexcept { return {buffer_.data(), length_}; }
  void clear() noexcept { length_ = 0; }

 private:
  std::array<uint8_t, kMaxFrameSize> buffer_;
  std::size_t length_ = 0;
};

}  // namespace kmx::proto
