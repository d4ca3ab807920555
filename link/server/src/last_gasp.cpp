#include "last_gasp.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kmx/proto/byte_order.h"
#include "kmx/proto/ut_commands.h"

namespace kmx::server {
namespace {

constexpr std::size_t kMaxText = kLastGaspTextBuffer - 1;
constexpr uint8_t kOlderForm = proto::ut_packet::kLastGaspOld;
constexpr uint8_t kNewerForm = proto::ut_packet::kLastGaspNew;
constexpr std::size_t kOlderFormatAt = 16;
constexpr std::size_t kNewerFileAt = 22;
constexpr std::size_t kNewerFormatAt = 72;

// The NUL-terminated string at `offset`, or nothing when it is not
// terminated before `end` (and inside the bytes).
std::optional<std::string> stringAt(std::span<const uint8_t> bytes, std::size_t offset,
                                    std::size_t end = SIZE_MAX) {
  end = std::min(end, bytes.size());
  if (offset >= end) return std::nullopt;
  const auto* start = reinterpret_cast<const char*>(bytes.data() + offset);
  const void* nul = std::memchr(start, 0, end - offset);
  if (nul == nullptr) return std::nullopt;
  return std::string(start, static_cast<const char*>(nul));
}

// The format strings below are built from checked pieces only, never taken
// from the UT as they stand.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

// Formats one number with a checked conversion spec (flags, width and
// precision digits only; no '*', no length modifier reaches snprintf).
std::string formatNumber(const std::string& spec, char conversion, uint32_t value) {
  char out[kLastGaspTextBuffer];
  std::string fmt = spec;
  switch (conversion) {
    case 'd':
    case 'i':
      fmt += 'd';
      std::snprintf(out, sizeof out, fmt.c_str(), static_cast<int32_t>(value));
      break;
    case 'c':
      fmt += 'c';
      std::snprintf(out, sizeof out, fmt.c_str(), static_cast<int>(static_cast<unsigned char>(value)));
      break;
    default:
      fmt += conversion;  // u, x, X, o
      std::snprintf(out, sizeof out, fmt.c_str(), value);
      break;
  }
  return out;
}

std::string formatText(const std::string& spec, const std::string& value) {
  char out[kLastGaspTextBuffer];
  std::snprintf(out, sizeof out, (spec + 's').c_str(), value.c_str());
  return out;
}

#pragma GCC diagnostic pop

}  // namespace

std::string formatBounded(std::string_view format, std::span<const FormatArg> args) {
  std::string text;
  std::size_t next = 0;
  std::size_t i = 0;
  auto emit = [&](std::string_view piece) {
    if (text.size() < kMaxText) text.append(piece.substr(0, kMaxText - text.size()));
  };
  while (i < format.size() && text.size() < kMaxText) {
    if (format[i] != '%') {
      emit(format.substr(i, 1));
      ++i;
      continue;
    }
    const std::size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      emit("%");
      ++i;
      continue;
    }
    // %[flags][width][.precision][length]conversion
    std::string flags, width, precision;
    while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr) flags += format[i++];
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && width.size() < 3) width += format[i++];
    if (i < format.size() && format[i] == '.') {
      precision += format[i++];
      while (i < format.size() && format[i] >= '0' && format[i] <= '9' && precision.size() < 4)
        precision += format[i++];
    }
    while (i < format.size() && (format[i] == 'h' || format[i] == 'l')) ++i;  // every argument is 32 bits
    const char conversion = i < format.size() ? format[i] : '\0';
    const bool numeric = conversion != '\0' && std::strchr("diuxXoc", conversion) != nullptr;
    const bool textual = conversion == 's';
    const bool matches = next < args.size() && ((numeric && std::holds_alternative<uint32_t>(args[next])) ||
                                                (textual && std::holds_alternative<std::string>(args[next])));
    if (!matches || (i < format.size() && (format[i] >= '0' && format[i] <= '9'))) {
      // Not a conversion this record can fill: print it as it stands.
      std::size_t end = conversion == '\0' ? format.size() : i + 1;
      emit(format.substr(start, end - start));
      i = end;
      continue;
    }
    ++i;
    // Keep only the flags and precision that are defined for this conversion.
    std::string spec = "%";
    for (char flag : flags) {
      if (flag == '#' && std::strchr("oxX", conversion) == nullptr) continue;
      if (flag == '0' && (conversion == 'c' || conversion == 's')) continue;
      spec += flag;
    }
    spec += width;
    if (conversion != 'c') spec += precision;
    const FormatArg& arg = args[next++];
    emit(textual ? formatText(spec, std::get<std::string>(arg))
                 : formatNumber(spec, conversion, std::get<uint32_t>(arg)));
  }
  return text;
}

std::optional<std::vector<uint8_t>> lastGaspPayload(uint8_t packetType, std::span<const uint8_t> b) {
  uint32_t stampHigh = 0, stampLow = 0;
  std::string text;
  if (packetType == kOlderForm) {
    auto utFormat = stringAt(b, kOlderFormatAt);
    if (!utFormat) return std::nullopt;
    const FormatArg args[] = {uint32_t{proto::loadLe16(&b[0])}, uint32_t{proto::loadLe16(&b[2])},
                              proto::loadLe32(&b[4]), proto::loadLe32(&b[8]), proto::loadLe32(&b[12])};
    text = formatBounded("file: %d, line %d: " + *utFormat, args);
  } else if (packetType == kNewerForm) {
    auto utFormat = stringAt(b, kNewerFormatAt);
    auto file = stringAt(b, kNewerFileAt, kNewerFormatAt);  // within its own field
    if (!utFormat || !file) return std::nullopt;
    stampHigh = proto::loadLe32(&b[4]);
    stampLow = proto::loadLe32(&b[0]);
    const FormatArg args[] = {*file, uint32_t{proto::loadLe16(&b[20])}, proto::loadLe32(&b[8]),
                              proto::loadLe32(&b[12]), proto::loadLe32(&b[16])};
    text = formatBounded("file: %s, line %d: " + *utFormat, args);
  } else {
    return std::nullopt;
  }
  std::vector<uint8_t> payload;
  proto::appendLe32(payload, stampHigh);
  proto::appendLe32(payload, stampLow);
  payload.insert(payload.end(), text.begin(), text.end());
  payload.push_back(0);
  payload.insert(payload.end(), 4, 0);  // the record's 4 trailing bytes
  return payload;
}

}  // namespace kmx::server
