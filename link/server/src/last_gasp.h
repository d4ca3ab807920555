// Last gasp records: the UT's binary record of a fatal error, with a printf
// format that the UT itself supplies, turned into the text record clients
// receive. The format comes from outside, so it is never handed to printf:
// a conversion is carried out only when it matches the record's fixed
// argument list, anything else is printed literally, and the text is bounded
// to the formatting buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace kmx::server {

inline constexpr std::size_t kLastGaspTextBuffer = 504;

// One formatting argument: a 32-bit number or a text.
using FormatArg = std::variant<uint32_t, std::string>;

// Formats `format` with `args`, taking the arguments in order; the result
// holds at most kLastGaspTextBuffer - 1 characters.
std::string formatBounded(std::string_view format, std::span<const FormatArg> args);

// The payload of the asynchronous message for a last gasp packet of UT
// packet type 3 (older form) or 5 (newer form): two 32-bit time stamp words,
// the text with its NUL, then 4 bytes. Empty when the packet is shorter than
// its fixed fields or its strings are not terminated inside it.
std::optional<std::vector<uint8_t>> lastGaspPayload(uint8_t packetType, std::span<const uint8_t> bytes);

}  // namespace kmx::server
