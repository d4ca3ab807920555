// The UT's identity and version answers, fetched in one status request and
// kept until the next refresh: one slot per status item, empty until filled.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vx::connect {

namespace status_item {
inline constexpr uint32_t kServiceLock = 0x1F;
inline constexpr uint32_t kEsn = 0x1D;
inline constexpr uint32_t kUtType = 0x21;
inline constexpr uint32_t kSmid = 0x25;
inline constexpr uint32_t kVersionText = 0x26;
inline constexpr uint32_t kFirmwareRev = 0x27;
inline constexpr uint32_t kGumVersion = 0x28;
inline constexpr uint32_t kCalibrationOld = 0x34;
inline constexpr uint32_t kGaiProtocolRev = 0x37;
inline constexpr uint32_t kIs95ProtocolRev = 0x38;
inline constexpr uint32_t kModel = 0x39;
inline constexpr uint32_t kDspFirmwareText = 0x3A;
inline constexpr uint32_t kCalibrationNew = 0x42;
}  // namespace status_item

// The items of one refresh, in the order the request names them.
inline constexpr std::array<uint32_t, 12> kCachedStatusItems = {
    status_item::kSmid,          status_item::kModel,          status_item::kDspFirmwareText,
    status_item::kCalibrationOld, status_item::kUtType,        status_item::kGumVersion,
    status_item::kFirmwareRev,   status_item::kGaiProtocolRev, status_item::kIs95ProtocolRev,
    status_item::kEsn,           status_item::kVersionText,    status_item::kCalibrationNew,
};

class StatusCache {
 public:
  // Empties every slot.
  void clear();
  // Fills the slot of one of kCachedStatusItems (others are ignored).
  void store(uint32_t item, std::span<const uint8_t> answer);
  // The answer of an item; empty for an empty slot.
  std::span<const uint8_t> answer(uint32_t item) const;

 private:
  std::array<std::vector<uint8_t>, kCachedStatusItems.size()> slots_;
};

}  // namespace vx::connect
