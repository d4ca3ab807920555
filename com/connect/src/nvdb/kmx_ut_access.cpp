#include "kmx_ut_access.h"

#include <cstdint>

#include "kmxclient.h"

namespace vx::nvdb {

namespace {
constexpr uint16_t kUtReportedError = 29;
constexpr uint8_t kSymbolRegion = 0;
}  // namespace

bool isNotActiveText(std::string_view text) {
  const std::size_t first = text.find_first_of("0123456789");
  if (first == std::string_view::npos) return false;
  uint64_t value = 0;
  for (std::size_t at = first; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + static_cast<uint64_t>(text[at] - '0');
    if (value > 2) return false;
  }
  return value == 2;
}

bool KmxUtAccess::readVersionBlock(std::array<uint8_t, kVersionBlockSize>& block) {
  block.fill(0);
  return KMXGetKMXVersionInfo(connection_, block.data()) != 0;
}

bool KmxUtAccess::readMemory(uint32_t address, std::span<uint8_t> out) {
  return KMXReadRegion(connection_, kSymbolRegion, address, static_cast<uint32_t>(out.size()), 0,
                       out.data()) != 0;
}

bool KmxUtAccess::listDimension(uint32_t item, uint16_t& count) {
  return KMXGetNVItemListDimension(connection_, item, &count) != 0;
}

NvUtAccess::ItemRead KmxUtAccess::readItem(uint32_t item, uint32_t index, std::span<uint8_t> out) {
  uint32_t length = 0;
  if (KMXReadNVItemData(connection_, item, index, out.data(), static_cast<uint32_t>(out.size()),
                        &length) != 0) {
    return ItemRead::Read;
  }
  if (KMXGetLastError() != kUtReportedError) return ItemRead::Failed;
  char text[256] = {};
  uint16_t textLength = sizeof text;
  KMXGetLastUTErrorInfo(text, &textLength);
  return isNotActiveText(text) ? ItemRead::NotActive : ItemRead::Failed;
}

bool KmxUtAccess::writeItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) {
  return KMXWriteNVItemData(connection_, item, index, value.data(),
                            static_cast<uint32_t>(value.size())) != 0;
}

bool KmxUtAccess::insertItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) {
  return KMXInsertNVItemData(connection_, item, index, value.data(),
                             static_cast<uint32_t>(value.size())) != 0;
}

bool KmxUtAccess::deleteItem(uint32_t item, uint32_t index) {
  return KMXDeleteNVItemData(connection_, item, index) != 0;
}

}  // namespace vx::nvdb
