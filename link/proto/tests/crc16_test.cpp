#include "kmx/proto/crc16.h"
#include "kmx/proto/frame_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace kmx::proto {
namespace {

ByteSpan ascii(const char* text) {
  return {reinterpret_cast<const uint8_t*>(text), std::strlen(text)};
}

// Bit-at-a-time CRC with the same parameters, to check every table entry.
uint16_t bitwiseCrc(ByteSpan bytes) {
  unsigned reg = 0xFFFF;
  for (uint8_t byte : bytes) {
    reg ^= static_cast<unsigned>(byte) << 8;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000U) != 0 ? ((reg << 1) ^ 0x1021U) & 0xFFFFU : (reg << 1) & 0xFFFFU;
    }
  }
  return static_cast<uint16_t>(reg ^ 0xFFFFU);
}

TEST(Crc16, CheckValues) {
  EXPECT_EQ(crc16(0, ascii("123456789")), 0xD64E);
  EXPECT_EQ(crc16(0, ascii("abc")), 0xAEB5);
  EXPECT_EQ(crc16(0, ByteSpan{}), 0x0000);
}

TEST(Crc16, EveryTableEntryMatchesBitwiseComputation) {
  for (unsigned value = 0; value < 256; ++value) {
    const uint8_t byte = static_cast<uint8_t>(value);
    const uint8_t pair[2] = {byte, static_cast<uint8_t>(~byte)};
    ASSERT_EQ(crc16(0, ByteSpan(&byte, 1)), bitwiseCrc(ByteSpan(&byte, 1))) << value;
    ASSERT_EQ(crc16(0, pair), bitwiseCrc(pair)) << value;
  }
}

TEST(Crc16, ChainingFinishedValuesGivesCrcOfConcatenation) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(300);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  const uint16_t whole = crc16(0, data);
  EXPECT_EQ(whole, bitwiseCrc(data));
  for (std::size_t cut = 0; cut <= data.size(); ++cut) {
    const uint16_t first = crc16(0, data.data(), cut);
    ASSERT_EQ(crc16(first, data.data() + cut, data.size() - cut), whole) << cut;
  }
  // An empty piece leaves a finished value unchanged.
  EXPECT_EQ(crc16(whole, ByteSpan{}), whole);
}

}  // namespace
}  // namespace kmx::proto
