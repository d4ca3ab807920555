// One request to the UT: a command code and its payload, with the number of
// retransmissions and the response time-out it may use, and what to do with
// the outcome.
#pragma once

#include <algorithm>
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

  // Whether an accepted answer with these bytes can be this request's: the
  // response frame carries only the sequence bit, so an answer that came
  // after its own request gave up would otherwise be taken for the next
  // request with the same bit. Commands with a fixed answer length, and
  // those whose answer echoes the request, say so here.
  bool answerFits(std::span<const uint8_t> answer) const {
    if (answerLength >= 0 && answer.size() != static_cast<std::size_t>(answerLength)) return false;
    return !answerEchoes || std::equal(answer.begin(), answer.end(), payload.begin(), payload.end());
  }

  uint8_t code;
  std::vector<uint8_t> payload;
  Completion completion;
  int retryLimit = 2;     // retransmissions after the first send; -1: no limit
  int timeoutMs = 600;    // response time-out of each transmission
  uint64_t owner = 0;  // the serial of the client it serves (0: the server's own)
  int answerLength = -1;     // an accepted answer's length (-1: it varies)
  bool answerEchoes = false; // an accepted answer repeats the payload
};

using UtRequestPtr = std::unique_ptr<UtRequest>;

}  // namespace kmx::server
