#include "kmx/sim/status_items.h"

namespace kmx::sim {

using namespace status_item;

StatusItems::StatusItems() {
  setEsn(4, kDefaultEsn);
  items_[kServiceLock] = {0x00, 0x00};
  items_[kUtType] = {0x02};
  // Twenty SMID digits as nibbles; the last one is above 9 on purpose.
  items_[kSmid] = {0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0x78, 0x9A};
  setText(kVersionText, "UT software 4.2.1\nBuilt Dec 08 2026\r\nRelease candidate\n");
  items_[kFirmwareRev] = {0xB5, 0x0F, 0x00, 0x00};  // 4021
  items_[kGumVersion] = {3, 7};
  // Old calibration layout: format 1.2.0.0, station code 2.1.0.5, 17 May 1999,
  // test station 42, manufacturer 1.0.3.9.
  items_[kCalibrationOld] = {1, 2, 0, 0, 2, 1, 0, 5, 5, 17, 19, 99, 42, 0, 1, 0, 3, 9, 0, 0};
  items_[kGaiProtocolRev] = {3};
  items_[kIs95ProtocolRev] = {6};
  items_[kModel] = {0xC9};
  setText(kDspFirmwareText, "DSP 2.14\nboot 1.3\n");
  // New calibration layout: extension 2.0.1, station code 2.1.0.6, 9 Nov 2026,
  // test station 43, manufacturer 1.0.4.0.
  items_[kCalibrationNew] = {2, 0, 0, 0, 1, 0, 2, 1, 0, 6, 11, 9, 20, 26, 43, 0, 1, 0, 4, 0, 0, 0};
}

std::vector<uint8_t> StatusItems::answer(uint16_t item) const {
  auto it = items_.find(item);
  return it == items_.end() ? std::vector<uint8_t>() : it->second;
}

void StatusItems::setEsn(uint8_t lengthClass, uint64_t value) {
  std::vector<uint8_t> bytes = {lengthClass};
  for (int shift = 0; shift < 64; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
  items_[kEsn] = std::move(bytes);
}

void StatusItems::setText(uint16_t item, const std::string& text) {
  items_[item] = std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace kmx::sim
