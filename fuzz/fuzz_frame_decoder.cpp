// Feeds arbitrary bytes to the frame decoder, split into reads whose size
// comes from the first input byte, and checks what comes out:
// - every packet has 1..8209 bytes;
// - decoding the same bytes in one read gives the same packets and counters;
// - a packet that fits in a frame, encoded again and decoded by a fresh
//   decoder, comes back unchanged with no error counted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kmx/proto/crc16.h"
#include "kmx/proto/frame_decoder.h"
#include "kmx/proto/frame_encoder.h"

namespace {

using kmx::proto::ByteSpan;
using Packets = std::vector<std::vector<uint8_t>>;

void check(bool condition) {
  if (!condition) std::abort();
}

bool sameStats(const kmx::proto::LinkStats& a, const kmx::proto::LinkStats& b) {
  return a.crcErrors == b.crcErrors && a.badEscapes == b.badEscapes &&
         a.receiveOverflows == b.receiveOverflows && a.retransmissions == b.retransmissions;
}

std::size_t escapedSize(ByteSpan bytes) {
  std::size_t n = 0;
  for (uint8_t b : bytes) n += (b == 0x1B || b == 0x1E || b == 0x5B) ? 2 : 1;
  return n;
}

void checkReencoding(ByteSpan packet) {
  static kmx::proto::FrameEncoder encoder;
  const uint16_t crc = kmx::proto::crc16(0, packet);
  const uint8_t crcBytes[2] = {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)};
  const bool fits = escapedSize(packet) + escapedSize(crcBytes) + 2 <= kmx::proto::kMaxFrameSize;
  check(encoder.encode(packet, {}) == fits);
  if (!fits) return;
  kmx::proto::LinkStats stats;
  kmx::proto::FrameDecoder decoder(stats);
  int count = 0;
  decoder.feed(encoder.frame(), [&](ByteSpan again) {
    ++count;
    check(again.size() == packet.size() &&
          std::memcmp(again.data(), packet.data(), packet.size()) == 0);
  });
  check(count == 1);
  check(sameStats(stats, kmx::proto::LinkStats{}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = std::size_t{data[0]} * 37 + 1;  // 1 .. 9436 bytes per read
  const ByteSpan wire(data + 1, size - 1);

  kmx::proto::LinkStats chunkedStats;
  kmx::proto::FrameDecoder chunked(chunkedStats);
  Packets chunkedPackets;
  for (std::size_t from = 0; from < wire.size(); from += chunk) {
    chunked.feed(wire.subspan(from, std::min(chunk, wire.size() - from)), [&](ByteSpan packet) {
      check(!packet.empty() && packet.size() <= kmx::proto::kMaxPacketPayload);
      chunkedPackets.emplace_back(packet.begin(), packet.end());
      checkReencoding(packet);
    });
  }

  kmx::proto::LinkStats wholeStats;
  kmx::proto::FrameDecoder whole(wholeStats);
  Packets wholePackets;
  whole.feed(wire, [&](ByteSpan packet) { wholePackets.emplace_back(packet.begin(), packet.end()); });
  check(wholePackets == chunkedPackets);
  check(sameStats(wholeStats, chunkedStats));
  check(whole.pending() == chunked.pending());
  return 0;
}
