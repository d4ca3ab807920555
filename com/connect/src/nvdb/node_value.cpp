#include "node_value.h"

#include <algorithm>

namespace vx::nvdb {

namespace {

bool isBitfield(NVNodeDataType type) {
  return type == NVNodeDataType::NV_BITFIELD || type == NVNodeDataType::NV_UBITFIELD;
}

// The bytes a node's value occupies: its scalar width, or for a bitfield the
// word at its location as far as the buffer reaches (at most 4 bytes).
uint32_t valueBytes(const NVNode& node) {
  return isBitfield(node.data.dataType) ? node.data.size : scalarWidth(node.data.dataType);
}

bool inBuffer(const NVItemInfo& item, const NVNode& node, uint32_t bytes) {
  return bytes <= item.value.size() && node.data.offset <= item.value.size() - bytes;
}

uint32_t loadLittleEndian(const uint8_t* at, uint32_t bytes) {
  uint32_t word = 0;
  for (uint32_t i = 0; i < bytes; ++i) word |= static_cast<uint32_t>(at[i]) << (8 * i);
  return word;
}

void storeLittleEndian(uint8_t* at, uint32_t bytes, uint32_t word) {
  for (uint32_t i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(word >> (8 * i));
}

uint32_t fieldMask(const NVNode& node) {
  const uint32_t width = node.data.bitWidth;
  const uint32_t low = width >= 32 ? UINT32_MAX : (uint32_t{1} << width) - 1;
  return low << node.data.bitPosition;
}

bool isSigned(NVNodeDataType type) {
  switch (type) {
    case NVNodeDataType::NV_CHAR:
    case NVNodeDataType::NV_SHORT:
    case NVNodeDataType::NV_INT:
    case NVNodeDataType::NV_LONG:
    case NVNodeDataType::NV_BITFIELD:
      return true;
    default:
      return false;
  }
}

// The numbers a node takes: [lowest, highest], and for a signed node whose
// negative values readNodeValue gives sign-extended, their 32-bit patterns
// [patternsFrom, UINT32_MAX] as well (the backup writer saves those).
struct ValueRange {
  int64_t lowest = 0;
  int64_t highest = 0;
  int64_t patternsFrom = 0;  // 0: none
};

std::optional<ValueRange> rangeOf(const NVNode& node) {
  const NVNodeDataType type = node.data.dataType;
  const bool bitfield = isBitfield(type);
  const uint32_t bits = bitfield ? node.data.bitWidth : 8 * scalarWidth(type);
  if (bits == 0 || bits > 32 || type == NVNodeDataType::NV_FLOAT || type == NVNodeDataType::NV_DOUBLE) {
    return std::nullopt;
  }
  const int64_t span = int64_t{1} << bits;
  if (!isSigned(type)) return ValueRange{0, span - 1, 0};
  const int64_t half = span / 2;
  // A signed bitfield below bit 31 reads back as its unsigned field value.
  if (bitfield && node.data.bitPosition + bits < 32) return ValueRange{-half, span - 1, 0};
  return ValueRange{-half, half - 1, (int64_t{1} << 32) - half};
}

}  // namespace

std::optional<uint32_t> fitNodeValue(const NVNode& node, int64_t number) {
  const auto range = rangeOf(node);
  if (!range) return std::nullopt;
  const bool inRange = number >= range->lowest && number <= range->highest;
  const bool pattern = range->patternsFrom != 0 && number >= range->patternsFrom && number <= int64_t{UINT32_MAX};
  if (!inRange && !pattern) return std::nullopt;
  return static_cast<uint32_t>(number);
}

std::string nodeValueRange(const NVNode& node) {
  const auto range = rangeOf(node);
  if (!range) return "no number";
  return std::to_string(range->lowest) + ".." + std::to_string(range->highest);
}

std::optional<uint32_t> readNodeValue(const NVItemInfo& item, const NVNode& node) {
  const uint32_t bytes = valueBytes(node);
  if (bytes == 0) return 0;
  if (node.data.dataType == NVNodeDataType::NV_DOUBLE || node.data.dataType == NVNodeDataType::NV_FLOAT) return 0;
  if (!inBuffer(item, node, bytes)) return std::nullopt;
  const uint32_t raw = loadLittleEndian(item.value.data() + node.data.offset, bytes);
  switch (node.data.dataType) {
    case NVNodeDataType::NV_CHAR:
      return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(raw)));
    case NVNodeDataType::NV_SHORT:
      return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(raw)));
    case NVNodeDataType::NV_UBITFIELD:
      return (raw & fieldMask(node)) >> node.data.bitPosition;
    case NVNodeDataType::NV_BITFIELD:
      // Shifted arithmetically: negative only when the field includes bit 31.
      return static_cast<uint32_t>(static_cast<int32_t>(raw & fieldMask(node)) >>
                                   static_cast<int32_t>(node.data.bitPosition));
    default:
      return raw;
  }
}

bool writeNodeValue(NVItemInfo& item, const NVNode& node, uint32_t value) {
  const uint32_t bytes = valueBytes(node);
  if (bytes == 0 || node.data.dataType == NVNodeDataType::NV_DOUBLE ||
      node.data.dataType == NVNodeDataType::NV_FLOAT || !inBuffer(item, node, bytes)) {
    return false;
  }
  uint8_t* at = item.value.data() + node.data.offset;
  if (isBitfield(node.data.dataType)) {
    const uint32_t mask = fieldMask(node);
    const uint32_t word = loadLittleEndian(at, bytes);
    storeLittleEndian(at, bytes, (word & ~mask) | ((value << node.data.bitPosition) & mask));
  } else {
    storeLittleEndian(at, bytes, value);
  }
  return true;
}

}  // namespace vx::nvdb
