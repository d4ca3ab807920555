// Faults switched on by a test or a person: which requests the UT ignores,
// rejects or answers wrongly.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace kmx::sim {

struct InjectedRejection {
  uint16_t errorCode = 0;
  std::string text;
};

struct Faults {
  bool silent = false;                  // ignore every request
  std::array<bool, 256> silentFor{};    // ignore requests of these codes
  uint32_t silenceNext = 0;             // ignore this many more requests
  uint32_t loseResponses = 0;           // carry out, but lose this many answers
  std::map<uint8_t, InjectedRejection> rejections;
  uint32_t badVersionTimes = 0;         // answer the version request with
  uint32_t badVersionLength = 82;       // this length, this many times

  // True when a request of `code` is to be ignored (counts silenceNext down).
  bool takeSilence(uint8_t code) {
    if (silent || silentFor[code]) return true;
    if (silenceNext > 0) {
      --silenceNext;
      return true;
    }
    return false;
  }
};

}  // namespace kmx::sim
