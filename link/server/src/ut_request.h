// One request to the UT: a command code and its payload, with the number of
// retransmissions and the response time-out it may use, and what to do with
// the outcome.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace kmx::server {

// How a request ended.
enum class RequestStatus : int {
  Accepted = 0,    // the UT accepted it; the response bytes follow
  Rejected = 1,    // the UT rejected it; the response bytes hold its error
  NoResponse = 2,  // no matching response after every transmission
  Flushed = 3,     // the link went down or was not up, or Xmodem mode
  LinkInitial = 4, // submitted before the link was ever used
  DidNotFit = 5,   // the frame did not fit the transmit buffer
};

struct UtRequest {
  using Completion = std::function<void(RequestStatus, std::span<const uint8_t> response)>;

  UtRequest(uint8_t command, std::vector<uint8_t> bytes, Completion done = {})
      : code(command), payload(std::move(bytes)), completion(std::move(done)) {}

  void complete(RequestStatus status, std::span<const uint8_t> response = {}) {
    if (completion) completion(status, response);
  }

  uint8_t code;
  std::vector<uint8_t> payload;
  Completion completion;
  int retryLimit = 2;     // retransmissions after the first send; -1: no limit
  int timeoutMs = 600;    // response time-out of each transmission
  uint64_t owner = 0;  // the serial of the client it serves (0: the server's own)
};

using UtRequestPtr = std::unique_ptr<UtRequest>;

}  // namespace kmx::server
