// What the simulated UT's loader does with the software image of a download:
// inflate it when it is gzip-compressed, check it as S-records and, when it
// is good, describe what would be flashed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "kmx/sim/ut_simulator.h"

namespace kmx::sim {

struct CheckedImage {
  uint16_t error = 0;    // 0: good; else an S-record parser error or kImageDoesNotInflate
  bool bootBlock = false;  // the S0 header carries the boot-block marker
  FlashedImage image;
};

// Checks an image as received (SUB padding included).
CheckedImage checkSoftwareImage(std::span<const uint8_t> received);

// The first dotted triple of decimal numbers in `text` ("UT 5.0.1" -> 5, 0, 1)
// packed as a << 16 | b << 8 | c; nullopt when there is none that fits
// (a up to 65535, b and c up to 255).
std::optional<uint32_t> versionNumberIn(const std::string& text);

}  // namespace kmx::sim
