// Error codes the simulated UT puts in its rejections (the first two bytes of
// a rejected response; the text follows). NV rejections carry the NV status
// as the first number of their text, which is how callers recognise an item
// that is not active (status 2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kmx::sim {

enum class UtError : uint16_t {
  UnknownCommand = 0x0001,
  BadLength = 0x0002,
  BadParameter = 0x0003,
  NvFailure = 0x0010,
  MemoryFault = 0x0020,
  NotInTestMode = 0x0030,
};

enum class NvStatus : uint8_t {
  Done = 0,
  NotActive = 2,
  BadItem = 5,
  BadIndex = 6,
  BadLength = 7,
};

// Rejection payload: the error code (2 bytes, little-endian), then the text.
std::vector<uint8_t> rejectionPayload(uint16_t code, const std::string& text);

std::string nvStatusText(NvStatus status);

}  // namespace kmx::sim
