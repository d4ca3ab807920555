// An NvUtAccess answered from memory: a version block, region 0 bytes, list
// dimensions and item values, with counts of what was asked. Also makes
// gzip streams, so tests can hand the loader what a UT would send.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ut_access.h"

namespace vx::nvdb::testing {

std::vector<uint8_t> gzipped(const std::string& text);

class MemoryUt : public NvUtAccess {
 public:
  static constexpr uint32_t kSymbolAddress = 0x00400000;

  // Places the compressed symbol information and points the version block at it.
  void setSymbolInformation(const std::vector<uint8_t>& compressed);
  void setSymbolInformationSize(uint32_t size);  // the size the version block claims
  void place(uint32_t address, const std::string& bytes);
  void setDimension(uint32_t item, uint16_t count) { dimensions_[item] = count; }
  void setValue(uint32_t item, uint32_t index, std::vector<uint8_t> value) {
    values_[{item, index}] = std::move(value);
  }
  void setNotActive(uint32_t item, uint32_t index) { notActive_.insert({item, index}); }
  void failDimensionOf(uint32_t item) { failingDimensions_.insert(item); }

  bool readVersionBlock(std::array<uint8_t, kVersionBlockSize>& block) override;
  bool readMemory(uint32_t address, std::span<uint8_t> out) override;
  bool listDimension(uint32_t item, uint16_t& count) override;
  ItemRead readItem(uint32_t item, uint32_t index, std::span<uint8_t> out) override;

  uint32_t memoryReads = 0;
  uint32_t itemReads = 0;

 private:
  std::array<uint8_t, kVersionBlockSize> version_{};
  std::map<uint32_t, std::vector<uint8_t>> memory_;  // segment base -> bytes
  std::map<uint32_t, uint16_t> dimensions_;
  std::map<std::pair<uint32_t, uint32_t>, std::vector<uint8_t>> values_;
  std::set<std::pair<uint32_t, uint32_t>> notActive_;
  std::set<uint32_t> failingDimensions_;
};

}  // namespace vx::nvdb::testing
