// Lost log packets, counted per log id by the gaps in their 8-bit sequence
// numbers. Counting for an id starts with the first packet after it was
// (re)registered or the link went down.
#pragma once

#include <array>
#include <cstdint>

namespace kmx::server {

class LogLossTable {
 public:
  static constexpr std::size_t kIds = 128;

  // A log packet of `id` with sequence number `sequence` arrived.
  void count(uint8_t id, uint8_t sequence) {
    if (id >= kIds) return;
    Record& r = records_[id];
    if (r.active) {
      uint8_t step = static_cast<uint8_t>(sequence - r.last);
      if (step >= 2) r.lost += step - 1u;
    } else {
      r.active = true;
      r.lost = 0;
    }
    r.last = sequence;
  }

  // The lost count, or 0 when counting is not active for the id.
  uint32_t lost(uint8_t id) const { return id < kIds && records_[id].active ? records_[id].lost : 0; }
  void resetCount(uint8_t id) {
    if (id < kIds) records_[id].lost = 0;
  }
  void stopCounting(uint8_t id) {
    if (id < kIds) records_[id].active = false;
  }
  void stopAll() {
    for (auto& r : records_) r.active = false;
  }

 private:
  struct Record {
    uint8_t last = 0;
    uint32_t lost = 0;
    bool active = false;
  };
  std::array<Record, kIds> records_{};
};

}  // namespace kmx::server
