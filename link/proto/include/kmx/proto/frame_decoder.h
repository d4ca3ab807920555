// Turns the received byte stream back into packets. The decoder keeps its
// state between calls, so a packet may arrive spread over any number of reads.
// Good packets are handed to a sink without their CRC; damaged input is only
// counted in LinkStats.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "kmx/proto/frame_format.h"
#include "kmx/proto/link_stats.h"

namespace kmx::proto {

// A non-owning reference to something callable as void(ByteSpan packet). It
// is only used for the duration of one FrameDecoder::feed call, so it may refer
// to a temporary lambda written in that call.
class PacketSink {
 public:
  template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, PacketSink> &&
             std::is_invocable_v<F&, ByteSpan>)
  PacketSink(F&& callable) noexcept  // NOLINT(google-explicit-constructor)
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
        call_([](void* object, ByteSpan packet) {
          (*static_cast<std::remove_reference_t<F>*>(object))(packet);
        }) {}

  void operator()(ByteSpan packet) const { call_(object_, packet); }

 private:
  void* object_;
  void (*call_)(void*, ByteSpan);
};

class FrameDecoder {
 public:
  explicit FrameDecoder(LinkStats& stats) noexcept : stats_(stats) {}
  FrameDecoder(const FrameDecoder&) = delete;
  FrameDecoder& operator=(const FrameDecoder&) = delete;

  // Decodes `bytes`, calling `sink` for every complete packet whose CRC
  // matches. The packet span points into the decoder's own buffer and is valid
  // only during the call to the sink. Returns the number of bytes taken: all
  // of them, unless the sink called stopFeeding().
  std::size_t feed(ByteSpan bytes, PacketSink sink);

  // Called from a sink: the bytes after this packet are not for the decoder
  // (the line changes hands), so feed() returns after the sink.
  void stopFeeding() noexcept { stop_ = true; }

  // Forgets a partly received packet and a pending escape.
  void reset() noexcept {
    count_ = 0;
    afterEscape_ = false;
    opened_ = false;
  }

  // A frame has begun and not ended: bytes of a packet are held, an escape
  // waits for its second byte, or the last byte was a flag that ended no
  // packet (the opening flag of the next frame).
  bool inFrame() const noexcept { return count_ != 0 || afterEscape_ || opened_; }

  // Unescaped bytes held of the packet being received.
  std::size_t pending() const noexcept { return count_; }
  LinkStats& stats() const noexcept { return stats_; }

 private:
  void complete(std::size_t length, const PacketSink& sink);

  LinkStats& stats_;
  std::size_t count_ = 0;
  bool afterEscape_ = false;
  bool opened_ = false;
  bool stop_ = false;
  std::array<uint8_t, kMaxPacketSize> packet_;
};

}  // namespace kmx::proto
