// Checking a loader image before it is accepted into RAM.
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "vexres_loader_image.h"

namespace {

std::uint32_t read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

bool VexLoaderImageIsValid(const std::uint8_t* data, std::size_t size) {
  namespace li = vx::res::loader_image;
  if (data == nullptr || size < li::kHeaderSize) return false;
  if (std::memcmp(data + li::kOffsetMagic, li::kMagic, sizeof li::kMagic) != 0) return false;
  if (read32(data + li::kOffsetVersion) != li::kFormatVersion) return false;
  const std::uint32_t length = read32(data + li::kOffsetPayloadLength);
  if (length > size - li::kHeaderSize) return false;
  const std::uint8_t* payload = data + li::kHeaderSize;
  const std::uint8_t* end = payload + length;
  if (!std::all_of(end, data + size, [](std::uint8_t b) { return b == li::kPadByte; })) return false;
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), payload, static_cast<uInt>(length));
  return static_cast<std::uint32_t>(crc) == read32(data + li::kOffsetPayloadCrc);
}
