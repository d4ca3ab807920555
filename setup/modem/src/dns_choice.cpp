#include "dns_choice.h"

#include <algorithm>

namespace obnet {

namespace {

// The value of a field of digits, saturated well above 255; nullopt when the
// field holds anything but digits.
std::optional<unsigned> digitsValue(std::string_view text) {
  if (text.empty()) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 100000u);
  }
  return value;
}

}  // namespace

std::string clampOctetText(std::string_view text) {
  auto value = digitsValue(text);
  if (value && *value >= 256) return "255";
  return std::string(text);
}

DnsChoice dnsChoiceFromOctets(const std::array<std::string, 8>& fields) {
  DnsAddresses dns;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    auto value = digitsValue(clampOctetText(fields[i]));
    if (!value) return std::nullopt;
    Ipv4& address = i < 4 ? dns.primary : dns.secondary;
    address[i % 4] = static_cast<std::uint8_t>(*value);
  }
  return dns;
}

std::string dottedQuad(const Ipv4& address) {
  return std::to_string(address[0]) + '.' + std::to_string(address[1]) + '.' +
         std::to_string(address[2]) + '.' + std::to_string(address[3]);
}

}  // namespace obnet
