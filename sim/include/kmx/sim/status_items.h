// The UT's status items: identity, versions and calibration data answered by
// the status-data command, each a block of bytes keyed by its item number.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kmx::sim {

namespace status_item {
inline constexpr uint16_t kServiceLock = 0x1F;
inline constexpr uint16_t kEsn = 0x1D;
inline constexpr uint16_t kUtType = 0x21;
inline constexpr uint16_t kSmid = 0x25;
inline constexpr uint16_t kVersionText = 0x26;
inline constexpr uint16_t kFirmwareRev = 0x27;
inline constexpr uint16_t kGumVersion = 0x28;
inline constexpr uint16_t kCalibrationOld = 0x34;
inline constexpr uint16_t kGaiProtocolRev = 0x37;
inline constexpr uint16_t kIs95ProtocolRev = 0x38;
inline constexpr uint16_t kModel = 0x39;
inline constexpr uint16_t kDspFirmwareText = 0x3A;
inline constexpr uint16_t kCalibrationNew = 0x42;
}  // namespace status_item

// The factory ESN; each further phone of a simulated bench gets the next
// number.
inline constexpr uint64_t kDefaultEsn = 0xA5A5A5A59F3A5C21ULL;

class StatusItems {
 public:
  StatusItems();  // factory values for every item above

  // The answer of an item; an unknown item answers with no bytes.
  std::vector<uint8_t> answer(uint16_t item) const;
  void set(uint16_t item, std::vector<uint8_t> bytes) { items_[item] = std::move(bytes); }
  void erase(uint16_t item) { items_.erase(item); }

  // ESN with its length class t (4..7): the answer is t followed by eight
  // bytes whose low 8·t bits are the number (the rest is filler the reader
  // must mask off).
  void setEsn(uint8_t lengthClass, uint64_t value);
  // A text answer; line feeds are kept as the UT sends them (bare).
  void setText(uint16_t item, const std::string& text);

 private:
  std::map<uint16_t, std::vector<uint8_t>> items_;
};

}  // namespace kmx::sim
