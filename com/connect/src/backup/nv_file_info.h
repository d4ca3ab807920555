// The header of an NV backup file: "VEX", the format number, the UT model,
// and the UT's two NV layout versions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::backup {

struct NvFileInfo {
  uint32_t format = 0;
  std::string model;
  uint16_t nrVersion = 0;
  uint32_t version = 0;
};

// Nullopt when the text does not start with "VEX" and one more byte, when
// a token is missing or is not a number, or when the format number is 0.
std::optional<NvFileInfo> parseNvFileInfo(std::string_view text);

// The five header lines a backup starts with.
std::string nvFileHeader(const std::string& model, uint32_t nrVersion, uint32_t version);

}  // namespace vx::backup
