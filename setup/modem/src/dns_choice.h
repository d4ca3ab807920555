// The name servers of the dial-up connection: the user's two addresses, or
// none, in which case the server assigns them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace obnet {

using Ipv4 = std::array<std::uint8_t, 4>;  // first octet first, as written

struct DnsAddresses {
  Ipv4 primary{};
  Ipv4 secondary{};
  bool operator==(const DnsAddresses&) const = default;
};

// Empty: ask the server for name servers.
using DnsChoice = std::optional<DnsAddresses>;

// The text an octet field shows after an edit: a number of 256 or more
// becomes "255"; anything else is kept as typed.
std::string clampOctetText(std::string_view text);

// The eight octet fields in page order (primary 1 to 4, secondary 1 to 4).
// The user's addresses count only when all eight fields are filled; each
// field is read as its clamped value.
DnsChoice dnsChoiceFromOctets(const std::array<std::string, 8>& fields);

// "a.b.c.d"
std::string dottedQuad(const Ipv4& address);

}  // namespace obnet
