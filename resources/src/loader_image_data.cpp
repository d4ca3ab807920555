// The loader image, built by the compiler from its fields so that no
// generated file is needed and every library carries the same bytes.
#include "loader_image_data.h"

#include <array>
#include <cstddef>

#include "vexres_loader_image.h"

namespace vx::res {
namespace {

namespace li = loader_image;

constexpr std::uint32_t kLoadAddress = 0x00200000;
constexpr std::uint32_t kEntryOffset = 0x00000030;
constexpr std::uint32_t kBlockSize = 1024;
constexpr std::uint32_t kSectorSize = 0x00010000;
constexpr char kName[] = "UTVEX RAM loader 1.0";
static_assert(sizeof kName <= li::kPayloadNameSize);

using Image = std::array<std::uint8_t, li::kHeaderSize + li::kPayloadSize>;

constexpr void put32(Image& image, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) image[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The reflected CRC-32 (polynomial 0xEDB88320, initial and final inversion),
// the same value zlib's crc32 gives; bitwise, as it runs once at compile time.
constexpr std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

constexpr Image buildImage() {
  Image image{};
  for (std::size_t i = 0; i < sizeof li::kMagic; ++i)
    image[li::kOffsetMagic + i] = static_cast<std::uint8_t>(li::kMagic[i]);
  put32(image, li::kOffsetVersion, li::kFormatVersion);
  put32(image, li::kOffsetPayloadLength, static_cast<std::uint32_t>(li::kPayloadSize));

  constexpr std::size_t p = li::kHeaderSize;
  for (std::size_t i = 0; kName[i] != '\0'; ++i) image[p + li::kPayloadOffsetName + i] = static_cast<std::uint8_t>(kName[i]);
  put32(image, p + li::kPayloadOffsetLoadAddress, kLoadAddress);
  put32(image, p + li::kPayloadOffsetEntry, kEntryOffset);
  put32(image, p + li::kPayloadOffsetBlockSize, kBlockSize);
  put32(image, p + li::kPayloadOffsetSectorSize, kSectorSize);
  for (std::size_t i = 0; i < li::kPayloadTableSize; ++i)
    image[p + li::kPayloadOffsetTable + i] = static_cast<std::uint8_t>((i * 167 + 13) & 0xFF);

  put32(image, li::kOffsetPayloadCrc, crc32(image.data() + p, li::kPayloadSize));
  return image;
}

constexpr Image kImage = buildImage();

}  // namespace

std::span<const std::uint8_t> loaderImage() { return kImage; }

}  // namespace vx::res
