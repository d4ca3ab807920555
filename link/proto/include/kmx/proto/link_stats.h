// Error counters of the UT link, read by clients through the link statistics
// command. The counters wrap around at 2^32.
#pragma once

#include <cstdint>

namespace kmx::proto {

struct LinkStats {
  uint32_t crcErrors = 0;         // packets of 3 or more bytes whose CRC did not match
  uint32_t badEscapes = 0;        // escape byte followed by a byte above 3
  uint32_t receiveOverflows = 0;  // a byte arrived while the packet buffer was full
  uint32_t retransmissions = 0;   // response time-outs while the link was up
  // Responses that belong to no waiting request (no request, the other
  // sequence bit, or bytes the request's answer cannot have), dropped. The
  // server's own count: the link statistics reply does not carry it.
  uint32_t strayAnswers = 0;

  // The link went down: the receive-side counters start again; the
  // retransmission count is kept.
  void resetOnLinkDown() noexcept {
    crcErrors = 0;
    badEscapes = 0;
    receiveOverflows = 0;
  }

  void resetAll() noexcept {
    resetOnLinkDown();
    retransmissions = 0;
    strayAnswers = 0;
  }
};

}  // namespace kmx::proto
