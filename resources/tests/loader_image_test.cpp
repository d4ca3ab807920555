// The loader image check against damaged and padded images.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "vexres_loader_image.h"

namespace li = vx::res::loader_image;

namespace {

void put32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) image[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A well-formed image around an arbitrary payload, built here independently
// of the resource libraries.
std::vector<std::uint8_t> makeImage(std::size_t payloadSize) {
  std::vector<std::uint8_t> image(li::kHeaderSize + payloadSize);
  std::memcpy(image.data(), li::kMagic, sizeof li::kMagic);
  put32(image, li::kOffsetVersion, li::kFormatVersion);
  put32(image, li::kOffsetPayloadLength, static_cast<std::uint32_t>(payloadSize));
  for (std::size_t i = 0; i < payloadSize; ++i) image[li::kHeaderSize + i] = static_cast<std::uint8_t>(i * 7 + 3);
  put32(image, li::kOffsetPayloadCrc,
        static_cast<std::uint32_t>(crc32(0, image.data() + li::kHeaderSize, static_cast<uInt>(payloadSize))));
  return image;
}

bool valid(const std::vector<std::uint8_t>& image) { return VexLoaderImageIsValid(image.data(), image.size()); }

TEST(LoaderImage, WellFormedImagesPass) {
  EXPECT_TRUE(valid(makeImage(300)));
  EXPECT_TRUE(valid(makeImage(0)));
  // Xmodem pads the last 1024-byte block with SUB.
  auto padded = makeImage(300);
  padded.resize(1024, li::kPadByte);
  EXPECT_TRUE(valid(padded));
}

TEST(LoaderImage, TruncationIsRefused) {
  const auto image = makeImage(300);
  EXPECT_FALSE(VexLoaderImageIsValid(image.data(), image.size() - 1));
  EXPECT_FALSE(VexLoaderImageIsValid(image.data(), li::kHeaderSize - 1));
  EXPECT_FALSE(VexLoaderImageIsValid(image.data(), 0));
  EXPECT_FALSE(VexLoaderImageIsValid(nullptr, image.size()));
}

TEST(LoaderImage, DamagedFieldsAreRefused) {
  auto crcOff = makeImage(300);
  crcOff[li::kOffsetPayloadCrc] ^= 1;
  EXPECT_FALSE(valid(crcOff));

  auto payloadFlip = makeImage(300);
  payloadFlip[li::kHeaderSize + 150] ^= 0x80;
  EXPECT_FALSE(valid(payloadFlip));

  auto magic = makeImage(300);
  magic[li::kOffsetMagic + 7] = '2';
  EXPECT_FALSE(valid(magic));

  auto version = makeImage(300);
  put32(version, li::kOffsetVersion, li::kFormatVersion + 1);
  EXPECT_FALSE(valid(version));

  // A length that claims more than is there must not read past the end.
  auto longer = makeImage(300);
  put32(longer, li::kOffsetPayloadLength, 0xFFFFFFFFu);
  EXPECT_FALSE(valid(longer));
}

TEST(LoaderImage, OnlyPaddingMayFollowThePayload) {
  auto trailing = makeImage(300);
  trailing.push_back(li::kPadByte);
  trailing.push_back(0x00);
  EXPECT_FALSE(valid(trailing));
}

}  // namespace
