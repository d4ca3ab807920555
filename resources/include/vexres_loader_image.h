// The loader image: the bytes of binary resource ("FLASH", 176), which the
// download sends into the UT's RAM before a software image. A UT accepts it
// only when the image checks out, so a damaged transfer or a resource of
// another kind is refused before anything runs.
//
// Layout, little-endian, explicit offsets:
//
//   offset  size  field
//   0       8     magic "UTVXLDR1" (ASCII, no terminator)
//   8       4     format version (1)
//   12      4     payload length in bytes (L)
//   16      4     CRC-32 of the payload (the zlib/IEEE 802.3 CRC, as zlib's crc32)
//   20      L     payload
//   20+L    ...   only SUB bytes (0x1A) may follow: Xmodem pads its last block with them
//
// Payload of format version 1 (what the resource libraries carry; the check
// below treats it as opaque bytes):
//
//   0       32    name "UTVEX RAM loader 1.0", NUL-padded
//   32      4     load address in the UT's RAM
//   36      4     entry offset from the load address
//   40      4     receive block size (1024, the Xmodem block)
//   44      4     flash sector size
//   48      256   byte translation table: entry i is (i * 167 + 13) mod 256
#ifndef VEXRES_LOADER_IMAGE_H
#define VEXRES_LOADER_IMAGE_H

#include <cstddef>
#include <cstdint>

namespace vx::res::loader_image {

inline constexpr char kMagic[8] = {'U', 'T', 'V', 'X', 'L', 'D', 'R', '1'};
inline constexpr std::size_t kOffsetMagic = 0;
inline constexpr std::size_t kOffsetVersion = 8;
inline constexpr std::size_t kOffsetPayloadLength = 12;
inline constexpr std::size_t kOffsetPayloadCrc = 16;
inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::uint32_t kFormatVersion = 1;
inline constexpr std::uint8_t kPadByte = 0x1A;

// Payload fields of format version 1.
inline constexpr std::size_t kPayloadOffsetName = 0;
inline constexpr std::size_t kPayloadNameSize = 32;
inline constexpr std::size_t kPayloadOffsetLoadAddress = 32;
inline constexpr std::size_t kPayloadOffsetEntry = 36;
inline constexpr std::size_t kPayloadOffsetBlockSize = 40;
inline constexpr std::size_t kPayloadOffsetSectorSize = 44;
inline constexpr std::size_t kPayloadOffsetTable = 48;
inline constexpr std::size_t kPayloadTableSize = 256;
inline constexpr std::size_t kPayloadSize = kPayloadOffsetTable + kPayloadTableSize;

}  // namespace vx::res::loader_image

// True when `data` holds a loader image: the magic, format version 1, a
// payload of the stated length whose CRC-32 matches, and nothing after it
// but SUB padding.
bool VexLoaderImageIsValid(const std::uint8_t* data, std::size_t size);

#endif  // VEXRES_LOADER_IMAGE_H
