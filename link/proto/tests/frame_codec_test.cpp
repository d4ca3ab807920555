#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "kmx/proto/crc16.h"
#include "kmx/proto/frame_decoder.h"
#include "kmx/proto/frame_encoder.h"

namespace kmx::proto {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes concat(const Bytes& a, const Bytes& b) {
  Bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

bool isSpecial(uint8_t b) { return b == 0x1B || b == 0x1E || b == 0x5B; }

// The wire form of one packet (header and payload as one run).
Bytes wireFrame(const Bytes& packet) {
  FrameEncoder encoder;
  EXPECT_TRUE(encoder.encode(packet, {}));
  return Bytes(encoder.frame().begin(), encoder.frame().end());
}

struct Decoded {
  std::vector<Bytes> packets;
  LinkStats stats;
};

// Feeds `wire` cut into pieces at the given positions into one decoder.
Decoded decode(const Bytes& wire, const std::vector<std::size_t>& cuts = {}) {
  Decoded out;
  FrameDecoder decoder(out.stats);
  auto sink = [&](ByteSpan packet) { out.packets.emplace_back(packet.begin(), packet.end()); };
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    decoder.feed(ByteSpan(wire).subspan(from, cut - from), sink);
    from = cut;
  }
  decoder.feed(ByteSpan(wire).subspan(from), sink);
  return out;
}

void expectNoCounters(const LinkStats& s) {
  EXPECT_EQ(s.crcErrors, 0U);
  EXPECT_EQ(s.badEscapes, 0U);
  EXPECT_EQ(s.receiveOverflows, 0U);
}

// ---------------------------------------------------------------- encoder

TEST(FrameEncoder, EscapesExactlyTheThreeSpecialBytes) {
  const Bytes payload = {0x5B, 0x1E, 0x1B, 0x00, 0x03, 0x5A, 0x5C, 0x1A, 0x1C, 0x1D, 0x1F, 0xFF};
  FrameEncoder encoder;
  ASSERT_TRUE(encoder.encode(Bytes{0x40}, {payload}));
  const Bytes frame(encoder.frame().begin(), encoder.frame().end());
  const Bytes expectedStart = {0x1E, 0x40, 0x1B, 0x02, 0x1B, 0x01, 0x1B, 0x00, 0x00, 0x03,
                               0x5A, 0x5C, 0x1A, 0x1C, 0x1D, 0x1F, 0xFF};
  ASSERT_GE(frame.size(), expectedStart.size() + 3);
  EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), frame.begin()));
  EXPECT_EQ(frame.back(), 0x1E);
  // The flag never appears inside the frame.
  EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x1E), 2);
}

TEST(FrameEncoder, RequestHeaderAndCrcLowByteFirst) {
  // Command '1', sequence '2' and payload "3456789" make the packet
  // "123456789", whose CRC 0xD64E goes out low byte first: 4E D6.
  const Bytes payload = {'3', '4', '5', '6', '7', '8', '9'};
  FrameEncoder encoder;
  ASSERT_TRUE(encoder.encodeRequest('1', '2', {payload}));
  const Bytes expected = {0x1E, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x4E, 0xD6, 0x1E};
  EXPECT_EQ(Bytes(encoder.frame().begin(), encoder.frame().end()), expected);
}

TEST(FrameEncoder, PiecesAreConcatenatedAndEmptyPiecesContributeNothing) {
  const Bytes a = {1, 0x1B, 3}, b = {0x5B}, c = {7, 8, 0x1E, 9};
  FrameEncoder pieces, whole;
  ASSERT_TRUE(pieces.encodeRequest(0x21, 1, {a, ByteSpan{}, b, ByteSpan(), c}));
  ASSERT_TRUE(whole.encodeRequest(0x21, 1, {concat(concat(a, b), c)}));
  EXPECT_TRUE(std::ranges::equal(pieces.frame(), whole.frame()));
  ASSERT_TRUE(pieces.encodeRequest(0x21, 0, {}));
  EXPECT_EQ(pieces.frame().size(), 6U);  // flag, header, CRC, flag (CRC bytes permitting)
}

TEST(FrameEncoder, FrameMustFitInTransmitBuffer) {
  const Bytes header = {0x10, 0x01};
  FrameEncoder encoder;
  // 8206 plain payload bytes make 2 + 8206 + 2 = 8210 bytes between the
  // flags: exactly 8212 with both flags, unless a CRC byte needs escaping.
  int fitted = 0, refused = 0;
  for (int filler = 0x20; filler < 0x60; ++filler) {
    if (isSpecial(static_cast<uint8_t>(filler))) continue;
    const Bytes payload(8206, static_cast<uint8_t>(filler));
    const uint16_t crc = crc16(crc16(0, header), payload);
    const bool crcPlain = !isSpecial(crc & 0xFF) && !isSpecial(crc >> 8);
    ASSERT_EQ(encoder.encode(header, {payload}), crcPlain) << filler;
    if (crcPlain) {
      EXPECT_EQ(encoder.frame().size(), kMaxFrameSize);
      ++fitted;
    } else {
      EXPECT_TRUE(encoder.frame().empty());
      ++refused;
    }
    const Bytes tooLong(8207, static_cast<uint8_t>(filler));
    EXPECT_FALSE(encoder.encode(header, {tooLong}));
    EXPECT_TRUE(encoder.frame().empty());
  }
  EXPECT_GT(fitted, 0);
  EXPECT_GT(refused, 0);  // the CRC's own escapes count against the limit too
}

// ---------------------------------------------------------------- decoder

TEST(FrameDecoder, EscapeIndexThreeDecodesToZero) {
  Bytes wire = wireFrame({0x07, 0x00, 0x09});
  ASSERT_EQ(wire[2], 0x00);
  wire[2] = 0x03;
  wire.insert(wire.begin() + 2, 0x1B);
  const Decoded d = decode(wire);
  ASSERT_EQ(d.packets.size(), 1U);
  EXPECT_EQ(d.packets[0], (Bytes{0x07, 0x00, 0x09}));
  expectNoCounters(d.stats);
}

TEST(FrameDecoder, BadEscapeIsCountedAndDroppedWhileThePacketGoesOn) {
  for (uint8_t bad : {uint8_t{0x1E}, uint8_t{0x04}, uint8_t{0xFF}}) {
    Bytes wire = wireFrame({0x07, 0x08, 0x09});
    const Bytes insert = {0x1B, bad};
    wire.insert(wire.begin() + 2, insert.begin(), insert.end());  // after 0x07
    const Decoded d = decode(wire);
    ASSERT_EQ(d.packets.size(), 1U) << int(bad);
    EXPECT_EQ(d.packets[0], (Bytes{0x07, 0x08, 0x09}));
    EXPECT_EQ(d.stats.badEscapes, 1U);
    EXPECT_EQ(d.stats.crcErrors, 0U);
  }
}

TEST(FrameDecoder, ShortPacketsAreDroppedWithoutCountingAndThreeBytesPass) {
  const Decoded d = decode(concat({0x1E, 0x1E, 0x1E, 0x41, 0x1E, 0x41, 0x42, 0x1E}, wireFrame({0x55})));
  ASSERT_EQ(d.packets.size(), 1U);
  EXPECT_EQ(d.packets[0], Bytes{0x55});  // type byte plus CRC
  expectNoCounters(d.stats);
}

TEST(FrameDecoder, BytesBeforeTheFirstFlagFailTheCrc) {
  const Decoded d = decode(concat({0x41, 0x42, 0x43, 0x44}, wireFrame({0x03, 0x11})));
  ASSERT_EQ(d.packets.size(), 1U);
  EXPECT_EQ(d.packets[0], (Bytes{0x03, 0x11}));
  EXPECT_EQ(d.stats.crcErrors, 1U);
}

TEST(FrameDecoder, PacketSplitAcrossReadsDecodesIdentically) {
  // A stream with escapes, an index-3 escape, a bad escape between packets'
  // bytes, a damaged packet and short packets.
  Bytes stream = concat(wireFrame({0x01, 0x00, 0x1B, 0x1E, 0x5B, 0x42}), wireFrame({0x80, 0x5B}));
  Bytes withZero = wireFrame({0x09, 0x00, 0x0A});
  withZero[2] = 0x03;
  withZero.insert(withZero.begin() + 2, 0x1B);
  stream = concat(stream, withZero);
  Bytes withBad = wireFrame({0x0B, 0x0C});
  withBad.insert(withBad.begin() + 2, {0x1B, 0x1E});
  stream = concat(stream, withBad);
  Bytes damaged = wireFrame({0x0D, 0x0E, 0x0F});
  damaged[2] ^= 0x40;
  stream = concat(concat(stream, damaged), {0x1E, 0x41, 0x1E});

  const Decoded whole = decode(stream);
  ASSERT_EQ(whole.packets.size(), 4U);
  EXPECT_EQ(whole.stats.badEscapes, 1U);
  EXPECT_EQ(whole.stats.crcErrors, 1U);

  auto expectSame = [&](const Decoded& d, const std::string& how) {
    EXPECT_EQ(d.packets, whole.packets) << how;
    EXPECT_EQ(d.stats.badEscapes, whole.stats.badEscapes) << how;
    EXPECT_EQ(d.stats.crcErrors, whole.stats.crcErrors) << how;
    EXPECT_EQ(d.stats.receiveOverflows, 0U) << how;
  };
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    expectSame(decode(stream, {cut}), "cut at " + std::to_string(cut));
  }
  std::vector<std::size_t> everyByte(stream.size());
  for (std::size_t i = 0; i < stream.size(); ++i) everyByte[i] = i;
  expectSame(decode(stream, everyByte), "one byte per read");
  std::mt19937 rng(3);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < stream.size(); ++i) {
      if (rng() % 4 == 0) cuts.push_back(i);
    }
    expectSame(decode(stream, cuts), "random cuts, round " + std::to_string(round));
  }
}

TEST(FrameDecoder, OverflowStartsANewPacketWithTheByteThatDidNotFit) {
  const Bytes good = wireFrame({0x03, 0x44, 0x55});
  Bytes wire = {0x1E};
  wire.insert(wire.end(), kMaxPacketSize, 0x41);
  wire.insert(wire.end(), good.begin() + 1, good.end());  // without its opening flag
  for (const auto& cuts : {std::vector<std::size_t>{}, std::vector<std::size_t>{kMaxPacketSize + 1}}) {
    const Decoded d = decode(wire, cuts);
    ASSERT_EQ(d.packets.size(), 1U);
    EXPECT_EQ(d.packets[0], (Bytes{0x03, 0x44, 0x55}));
    EXPECT_EQ(d.stats.receiveOverflows, 1U);
    EXPECT_EQ(d.stats.crcErrors, 0U);
  }
}

TEST(FrameDecoder, LargestFramePassesButAFullBufferOverflowsOnTheFlag) {
  // The largest frame an encoder makes carries an 8210-byte packet.
  FrameEncoder encoder;
  Bytes payload(8206, 0x41);
  for (uint8_t filler = 0x41; !encoder.encode(Bytes{0x10, 0x00}, {payload}); ++filler) {
    std::fill(payload.begin(), payload.end(), filler);
  }
  const Bytes frame(encoder.frame().begin(), encoder.frame().end());
  const Decoded largest = decode(frame);
  ASSERT_EQ(largest.packets.size(), 1U);
  EXPECT_EQ(largest.packets[0].size(), 8208U);
  expectNoCounters(largest.stats);

  // 8211 held bytes: the closing flag itself finds the buffer full.
  Bytes full = {0x1E};
  full.insert(full.end(), kMaxPacketSize, 0x41);
  full.push_back(0x1E);
  const Decoded overflowed = decode(concat(full, wireFrame({0x07})));
  ASSERT_EQ(overflowed.packets.size(), 1U);
  EXPECT_EQ(overflowed.packets[0], Bytes{0x07});
  EXPECT_EQ(overflowed.stats.receiveOverflows, 1U);
  EXPECT_EQ(overflowed.stats.crcErrors, 0U);
}

TEST(FrameDecoder, ResetForgetsPartialPacketAndPendingEscape) {
  LinkStats stats;
  FrameDecoder decoder(stats);
  std::vector<Bytes> packets;
  auto sink = [&](ByteSpan p) { packets.emplace_back(p.begin(), p.end()); };
  decoder.feed(Bytes{0x1E, 0x41, 0x42, 0x1B}, sink);
  EXPECT_EQ(decoder.pending(), 2U);
  decoder.reset();
  EXPECT_EQ(decoder.pending(), 0U);
  // Without the reset the pending escape would swallow the opening flag.
  decoder.feed(wireFrame({0x06, 0x07}), sink);
  ASSERT_EQ(packets.size(), 1U);
  EXPECT_EQ(packets[0], (Bytes{0x06, 0x07}));
  expectNoCounters(stats);
}

// A frame has begun from its opening flag until its closing flag, across
// reads; a flag that ends a packet ends it, the next flag opens another.
TEST(FrameDecoder, InFrameFromTheOpeningFlagToTheClosingOne) {
  LinkStats stats;
  FrameDecoder decoder(stats);
  auto sink = [](ByteSpan) {};
  const Bytes wire = wireFrame({0x06, 0x1B, 0x07});
  EXPECT_FALSE(decoder.inFrame());
  for (std::size_t i = 0; i + 1 < wire.size(); ++i) {
    decoder.feed(ByteSpan(wire).subspan(i, 1), sink);
    EXPECT_TRUE(decoder.inFrame()) << "after byte " << i;
  }
  decoder.feed(ByteSpan(wire).subspan(wire.size() - 1), sink);
  EXPECT_FALSE(decoder.inFrame());
  decoder.feed(Bytes{0x1E}, sink);
  EXPECT_TRUE(decoder.inFrame()) << "the opening flag of the next frame";
  decoder.reset();
  EXPECT_FALSE(decoder.inFrame());
}

// ---------------------------------------------------------------- round trip

TEST(FrameCodec, RandomPacketsSurviveTheRoundTrip) {
  std::mt19937 rng(11);
  FrameEncoder encoder;
  LinkStats stats;
  FrameDecoder decoder(stats);
  Bytes wire;
  std::vector<Bytes> sent;
  int refused = 0;
  for (int round = 0; round < 300; ++round) {
    const Bytes header = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng() & 1)};
    const std::size_t length = round % 10 == 0 ? 4000 + rng() % 5000 : rng() % 300;
    Bytes payload(length);
    for (auto& b : payload) {
      // Every fourth byte special, so escapes are frequent.
      const uint8_t specials[] = {0x1B, 0x1E, 0x5B, 0x00};
      b = rng() % 4 == 0 ? specials[rng() % 4] : static_cast<uint8_t>(rng());
    }
    const std::size_t split = length == 0 ? 0 : rng() % length;
    const ByteSpan all(payload);
    const bool fits = encoder.encode(header, {all.first(split), all.subspan(split)});
    std::size_t escaped = 0;
    const Bytes packet = concat(header, payload);
    const uint16_t crc = crc16(0, packet);
    for (uint8_t b : concat(packet, {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)})) {
      escaped += isSpecial(b) ? 2 : 1;
    }
    ASSERT_EQ(fits, escaped + 2 <= kMaxFrameSize) << round;
    if (!fits) {
      ++refused;
      continue;
    }
    wire.insert(wire.end(), encoder.frame().begin(), encoder.frame().end());
    sent.push_back(packet);
  }
  EXPECT_GT(refused, 0);
  std::vector<Bytes> received;
  std::size_t from = 0;
  while (from < wire.size()) {
    const std::size_t chunk = std::min<std::size_t>(1 + rng() % 3000, wire.size() - from);
    decoder.feed(ByteSpan(wire).subspan(from, chunk),
                 [&](ByteSpan p) { received.emplace_back(p.begin(), p.end()); });
    from += chunk;
  }
  EXPECT_EQ(received, sent);
  expectNoCounters(stats);
}

}  // namespace
}  // namespace kmx::proto
