#include <gtest/gtest.h>

#include "node_value.h"

namespace vx::nvdb {
namespace {

NVNode scalar(NVNodeDataType type, uint32_t offset) {
  NVNode node;
  node.data.dataType = type;
  node.data.offset = offset;
  node.data.size = scalarWidth(type);
  return node;
}

NVNode bitfield(NVNodeDataType type, uint32_t offset, uint32_t wordBytes, uint32_t position, uint32_t width) {
  NVNode node = scalar(type, offset);
  node.data.size = wordBytes;
  node.data.bitPosition = position;
  node.data.bitWidth = width;
  return node;
}

TEST(NodeValue, SignedTypesGiveTheirTwosComplementPattern) {
  NVItemInfo item;
  item.value = {0xFF, 0xFE, 0xFF, 0x80, 0x00, 0x00, 0x80};
  EXPECT_EQ(readNodeValue(item, scalar(NVNodeDataType::NV_CHAR, 0)), 0xFFFFFFFFu);
  EXPECT_EQ(readNodeValue(item, scalar(NVNodeDataType::NV_UCHAR, 0)), 0xFFu);
  EXPECT_EQ(readNodeValue(item, scalar(NVNodeDataType::NV_SHORT, 1)), 0xFFFFFFFEu);
  EXPECT_EQ(readNodeValue(item, scalar(NVNodeDataType::NV_USHORT, 1)), 0xFFFEu);
  EXPECT_EQ(readNodeValue(item, scalar(NVNodeDataType::NV_LONG, 3)), 0x80000080u);
  EXPECT_EQ(readNodeValue(item, scalar(NVNodeDataType::NV_BLOB, 0)), 0u);
  EXPECT_EQ(readNodeValue(item, scalar(NVNodeDataType::NV_ULONG, 4)), std::nullopt) << "past the end";
  EXPECT_FALSE(writeNodeValue(item, scalar(NVNodeDataType::NV_ULONG, 4), 1));
  EXPECT_FALSE(writeNodeValue(item, scalar(NVNodeDataType::NV_BLOB, 0), 1));
}

TEST(NodeValue, OnlyNumbersTheTypeHoldsFitAndWhatReadsGiveBackFitsAgain) {
  const NVNode uchar = scalar(NVNodeDataType::NV_UCHAR, 0);
  EXPECT_EQ(fitNodeValue(uchar, 255), 255u);
  EXPECT_EQ(fitNodeValue(uchar, 300), std::nullopt);
  EXPECT_EQ(fitNodeValue(uchar, -1), std::nullopt);
  EXPECT_EQ(nodeValueRange(uchar), "0..255");
  const NVNode schar = scalar(NVNodeDataType::NV_CHAR, 0);
  EXPECT_EQ(fitNodeValue(schar, -128), 0xFFFFFF80u);
  EXPECT_EQ(fitNodeValue(schar, 0xFFFFFF80u), 0xFFFFFF80u) << "the pattern a read gives";
  EXPECT_EQ(fitNodeValue(schar, 128), std::nullopt);
  EXPECT_EQ(fitNodeValue(schar, 0xFFFFFF7Fu), std::nullopt);
  EXPECT_EQ(fitNodeValue(scalar(NVNodeDataType::NV_ULONG, 0), -1), std::nullopt);
  EXPECT_EQ(fitNodeValue(scalar(NVNodeDataType::NV_LONG, 0), 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(fitNodeValue(scalar(NVNodeDataType::NV_LONG, 0), -2147483649LL), std::nullopt);
  // A signed bitfield below bit 31 reads back unsigned, so both forms fit.
  const NVNode field = bitfield(NVNodeDataType::NV_BITFIELD, 0, 4, 4, 3);
  EXPECT_EQ(fitNodeValue(field, 7), 7u);
  EXPECT_EQ(fitNodeValue(field, -4), 0xFFFFFFFCu);
  EXPECT_EQ(fitNodeValue(field, 8), std::nullopt);
  EXPECT_EQ(fitNodeValue(bitfield(NVNodeDataType::NV_UBITFIELD, 0, 4, 0, 1), 2), std::nullopt);
  EXPECT_EQ(fitNodeValue(scalar(NVNodeDataType::NV_DOUBLE, 0), 0), std::nullopt);
}

TEST(NodeValue, BitfieldsAreMaskedOutOfTheirWord) {
  NVItemInfo item;
  item.value = {0x0A, 0xBC, 0xDE, 0x0F};
  // 0x1FF into 4 bits at position 4: only those bits change.
  ASSERT_TRUE(writeNodeValue(item, bitfield(NVNodeDataType::NV_UBITFIELD, 0, 4, 4, 4), 0x1FF));
  EXPECT_EQ(item.value, (std::vector<uint8_t>{0xFA, 0xBC, 0xDE, 0x0F}));
  EXPECT_EQ(readNodeValue(item, bitfield(NVNodeDataType::NV_UBITFIELD, 0, 4, 4, 4)), 0xFu);
  EXPECT_EQ(readNodeValue(item, bitfield(NVNodeDataType::NV_UBITFIELD, 0, 4, 3, 1)), 1u);

  // A signed field is negative only when it includes bit 31.
  item.value = {0x00, 0x00, 0x00, 0xF0};
  EXPECT_EQ(readNodeValue(item, bitfield(NVNodeDataType::NV_BITFIELD, 0, 4, 28, 4)), 0xFFFFFFFFu);
  item.value = {0xF0, 0x00, 0x00, 0x00};
  EXPECT_EQ(readNodeValue(item, bitfield(NVNodeDataType::NV_BITFIELD, 0, 4, 4, 4)), 0xFu);

  // A field in the last byte of a buffer uses only the bytes that remain.
  item.value = {0x00, 0x00, 0x0C};
  const NVNode last = bitfield(NVNodeDataType::NV_UBITFIELD, 2, 1, 2, 2);
  EXPECT_EQ(readNodeValue(item, last), 3u);
  ASSERT_TRUE(writeNodeValue(item, last, 1));
  EXPECT_EQ(item.value, (std::vector<uint8_t>{0x00, 0x00, 0x04}));
  EXPECT_EQ(item.value.size(), 3u);
}

}  // namespace
}  // namespace vx::nvdb
