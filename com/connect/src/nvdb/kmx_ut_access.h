// What the NV database reads from and writes to the UT, over a KMX client
// connection.
#pragma once

#include <string_view>

#include "nv_commit.h"
#include "ut_access.h"

namespace vx::nvdb {

class KmxUtAccess final : public NvUtAccess, public NvUtChanges {
 public:
  // Lends the connection handle; the caller keeps it open while this is used.
  explicit KmxUtAccess(void* connection) : connection_(connection) {}

  bool readVersionBlock(std::array<uint8_t, kVersionBlockSize>& block) override;
  bool readMemory(uint32_t address, std::span<uint8_t> out) override;
  bool listDimension(uint32_t item, uint16_t& count) override;
  ItemRead readItem(uint32_t item, uint32_t index, std::span<uint8_t> out) override;

  bool writeItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) override;
  bool insertItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) override;
  bool deleteItem(uint32_t item, uint32_t index) override;

 private:
  void* connection_;
};

// The UT reports an element without a value as an NV status whose first
// number is 2 in its error text; any other text is a real failure.
bool isNotActiveText(std::string_view utErrorText);

}  // namespace vx::nvdb
