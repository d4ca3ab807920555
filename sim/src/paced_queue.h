// Bytes on their way along the serial line. Without pacing they pass at once;
// with pacing they leave at the line rate, 10 bit times per byte (start bit,
// eight data bits, stop bit), as a real UART would send them.
//
// The receiving end takes them as its UART hands them over: one at a time
// (the default, the harshest line for a reader), or through a receive FIFO
// as a PC's serial port does: the bytes come in a batch once `trigger` of
// them have arrived, and the last few after the line has been quiet for
// four character times (the FIFO's time-out). A receiver that knows the
// link's frames may also take a batch as soon as a frame flag arrives.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace kmx::sim {

class PacedQueue {
 public:
  // `trigger` 0 or 1: every byte is handed over as it arrives.
  void setFifo(std::size_t trigger, bool flagEndsBatch) {
    trigger_ = trigger;
    flagEndsBatch_ = flagEndsBatch;
  }
  void push(std::span<const uint8_t> bytes, int64_t nowUs);
  // Takes the bytes handed over by `nowUs` (all of them when pacing is off).
  std::vector<uint8_t> take(int64_t nowUs, bool paced, uint32_t rate);
  // When the next bytes will be handed over, or -1 when the queue is empty.
  int64_t nextReadyUs(bool paced, uint32_t rate) const;
  bool empty() const { return bytes_.empty(); }
  void clear() { bytes_.clear(); }

 private:
  // How many bytes are handed over when the first `arrived` of the queue
  // have crossed the line by `nowUs`.
  std::size_t handedOver(std::size_t arrived, int64_t nowUs, int64_t perByte) const;
  bool batched() const { return trigger_ > 1; }

  std::deque<uint8_t> bytes_;
  int64_t lineBusyFromUs_ = 0;  // when the byte at the front started on the wire
  std::size_t trigger_ = 1;
  bool flagEndsBatch_ = false;
};

}  // namespace kmx::sim
