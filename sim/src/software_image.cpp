#include "software_image.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "vx/download/srecord_parser.h"

namespace kmx::sim {
namespace {

constexpr uint8_t kSub = 0x1A;
constexpr std::size_t kHeaderTextMax = 39;  // what the version block holds

std::string headerText(std::span<const uint8_t> data) {
  std::string text;
  for (uint8_t b : data) {
    if (b < 0x20 || b > 0x7E || text.size() == kHeaderTextMax) break;
    text += static_cast<char>(b);
  }
  return text;
}

bool isGzip(std::span<const uint8_t> bytes) { return bytes.size() >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b; }

// Inflates a gzip stream into the parser piece by piece, so a large image is
// never held inflated. After the stream only SUB padding may follow. False
// when the stream is damaged or cut short; a parser error stops it early
// and is left for the parser to report.
bool inflateInto(std::span<const uint8_t> gzip, vx::download::SRecordParser& parser, bool* trailingBytes) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return false;
  std::array<uint8_t, 16384> out;
  std::size_t at = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.avail_in == 0) {
      const std::size_t piece = std::min<std::size_t>(gzip.size() - at, 1u << 20);
      stream.next_in = const_cast<Bytef*>(gzip.data() + at);
      stream.avail_in = static_cast<uInt>(piece);
      at += piece;
    }
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t produced = out.size() - stream.avail_out;
    if (!parser.feed(std::span<const uint8_t>(out.data(), produced))) break;
    if (status == Z_BUF_ERROR && stream.avail_in == 0 && at < gzip.size()) status = Z_OK;  // more to give
  }
  const bool ended = status == Z_STREAM_END;
  if (ended) {
    const std::size_t untaken = (gzip.size() - at) + stream.avail_in;
    const auto tail = gzip.subspan(gzip.size() - untaken);
    *trailingBytes = std::any_of(tail.begin(), tail.end(), [](uint8_t b) { return b != kSub; });
  }
  inflateEnd(&stream);
  return ended || parser.error() != vx::download::SRecordError::None;
}

}  // namespace

CheckedImage checkSoftwareImage(std::span<const uint8_t> received) {
  CheckedImage result;
  FlashedImage& image = result.image;
  bool headerSeen = false;
  uLong crc = crc32(0, nullptr, 0);
  vx::download::SRecordParser parser([&](const vx::download::SRecord& record) {
    if (record.type == 0 && !headerSeen) {
      headerSeen = true;
      image.header = headerText(record.data);
    } else if (record.type >= 1 && record.type <= 3) {
      image.dataBytes += record.data.size();
      crc = crc32(crc, record.data.data(), static_cast<uInt>(record.data.size()));
    } else if (record.type >= 7) {
      image.startAddress = record.address;
    }
  });

  bool trailingBytes = false;
  if (isGzip(received)) {
    if (!inflateInto(received, parser, &trailingBytes)) {
      result.error = kImageDoesNotInflate;
      return result;
    }
  } else {
    parser.feed(received);
  }
  result.error = static_cast<uint16_t>(parser.finish());
  if (result.error == 0 && trailingBytes) result.error = static_cast<uint16_t>(vx::download::SRecordError::UnexpectedByte);
  result.bootBlock = parser.bootBlockMarkerSeen();
  image.crc32 = static_cast<uint32_t>(crc);
  return result;
}

std::optional<uint32_t> versionNumberIn(const std::string& text) {
  auto digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  // Reads a decimal number at `i` (a long one stops growing at a million,
  // which is out of range anyway); false when there is no digit.
  auto numberAt = [&](std::size_t& i, uint32_t& value) {
    if (!digit(i)) return false;
    for (value = 0; digit(i); ++i) value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(text[i] - '0'), 1000000);
    return true;
  };
  for (std::size_t start = 0; start < text.size(); ++start) {
    if (!digit(start) || (start > 0 && digit(start - 1))) continue;
    std::size_t i = start;
    uint32_t part[3] = {};
    bool triple = true;
    for (int n = 0; n < 3 && triple; ++n) {
      if (n > 0 && (i >= text.size() || text[i++] != '.')) triple = false;
      if (triple && !numberAt(i, part[n])) triple = false;
    }
    if (triple && part[0] <= 0xFFFF && part[1] <= 0xFF && part[2] <= 0xFF) return part[0] << 16 | part[1] << 8 | part[2];
  }
  return std::nullopt;
}

}  // namespace kmx::sim
