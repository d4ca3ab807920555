// Bytes on their way along the serial line. Without pacing they pass at once;
// with pacing they leave at the line rate, 10 bit times per byte (start bit,
// eight data bits, stop bit), as a real UART would send them.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace kmx::sim {

class PacedQueue {
 public:
  void push(std::span<const uint8_t> bytes, int64_t nowUs);
  // Takes the bytes whose wire time has passed at `nowUs` (all of them when
  // pacing is off).
  std::vector<uint8_t> take(int64_t nowUs, bool paced, uint32_t rate);
  // When the next byte will be through, or -1 when the queue is empty.
  int64_t nextReadyUs(bool paced, uint32_t rate) const;
  bool empty() const { return bytes_.empty(); }
  void clear() { bytes_.clear(); }

 private:
  std::deque<uint8_t> bytes_;
  int64_t lineBusyFromUs_ = 0;  // when the byte at the front started on the wire
};

}  // namespace kmx::sim
