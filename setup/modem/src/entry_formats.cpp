#include "entry_formats.h"

#include <stdexcept>

namespace obnet {

namespace {

constexpr std::string_view kHead =
    "\r\n"
    "[OB Packet Data]\r\n"
    "Encoding=1\r\n"
    "Type=1\r\n"
    "AutoLogon=0\r\n"
    "DialParamsUID=0\r\n"
    "UsePwForNetwork=0\r\n"
    "BaseProtocol=1\r\n"
    "Authentication=-1\r\n"
    "ExcludedProtocols=3\r\n"
    "LcpExtensions=1\r\n"
    "DataEncryption=0\r\n"
    "SwCompression=1\r\n"
    "NegotiateMultilinkAlways=0\r\n"
    "SkipNwcWarning=0\r\n"
    "SkipDownLevelDialog=0\r\n"
    "DialMode=0\r\n"
    "DialPercent=75\r\n"
    "DialSeconds=120\r\n"
    "HangUpPercent=10\r\n"
    "HangUpSeconds=120\r\n"
    "OverridePref=15\r\n"
    "RedialAttempts=3\r\n"
    "RedialSeconds=60\r\n"
    "IdleDisconnectSeconds=0\r\n"
    "RedialOnLinkFailure=0\r\n"
    "CallbackMode=0\r\n"
    "CustomDialDll=\r\n"
    "CustomDialFunc=\r\n"
    "AuthenticateServer=0\r\n"
    "SecureLocalFiles=0\r\n"
    "ShowMonitorIconInTaskBar=1\r\n"
    "IpPrioritizeRemote=1\r\n"
    "IpHeaderCompression=1\r\n"
    "IpAddress=0.0.0.0\r\n";

constexpr std::string_view kMedia =
    "IpFrameSize=1006\r\n"
    "\r\n"
    "MEDIA=serial\r\n"
    "Port=";

constexpr std::string_view kDevice =
    "OtherPortOk=1\r\n"
    "Device=UT Wireless Modem\r\n"
    "ConnectBPS=38400\r\n"
    "\r\n"
    "DEVICE=modem\r\n"
    "PhoneNumber=#777\r\n"
    "AreaCode=\r\n"
    "CountryCode=1\r\n"
    "CountryID=1\r\n"
    "UseDialingRules=0\r\n"
    "Comment=\r\n"
    "HwFlowControl=1\r\n"
    "Protocol=1\r\n"
    "Compression=1\r\n"
    "Speaker=0\r\n";

void putAddress(IpSettingsRecord& record, std::size_t lowByte, const Ipv4& address) {
  // First octet in the highest byte, last octet in the lowest.
  for (std::size_t i = 0; i < 4; ++i) record[lowByte + 3 - i] = address[i];
}

}  // namespace

const PhonebookPieces& packetDataPhonebookPieces() {
  static const PhonebookPieces pieces{kHead, kMedia, kDevice};
  return pieces;
}

std::string ntPhonebookEntry(const PhonebookPieces& pieces, const DnsChoice& dns,
                             std::string_view port) {
  std::string out(pieces.head);
  if (dns) {
    out += "IpDnsAddress=" + dottedQuad(dns->primary) + "\r\n";
    out += "IpDns2Address=" + dottedQuad(dns->secondary) + "\r\n";
  } else {
    out += "IpDnsAddress=0.0.0.0\r\n";
    out += "IpDns2Address=0.0.0.0\r\n";
  }
  out += "IpWinsAddress=0.0.0.0\r\n";
  out += "IpWins2Address=0.0.0.0\r\n";
  out += "IpAssign=1\r\n";
  out += dns ? "IpNameAssign=2\r\n" : "IpNameAssign=1\r\n";
  out += pieces.media;
  out += port;
  out += "\r\n";
  out += pieces.device;
  return out;
}

const IpSettingsRecord& ipSettingsTemplate() {
  static const IpSettingsRecord record = [] {
    IpSettingsRecord r{};
    r[0] = static_cast<std::uint8_t>(kIpSettingsSize);
    return r;
  }();
  return record;
}

IpSettingsRecord ipSettingsRecord(const IpSettingsRecord& base, const DnsChoice& dns) {
  IpSettingsRecord record = base;
  if (dns) {
    record[4] = 2;
    putAddress(record, 12, dns->primary);
    putAddress(record, 16, dns->secondary);
  }
  return record;
}

std::string pppdQuoted(std::string_view word) {
  std::string out = "\"";
  for (char c : word) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f)
      throw std::invalid_argument("contains a control character");
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string peerFileText(const PeerSettings& settings) {
  if (settings.port.empty() || settings.port.front() != '/')
    throw std::invalid_argument("the port \"" + settings.port + "\" is not a device path");
  std::string port = pppdQuoted(settings.port);
  std::string chat = pppdQuoted("/usr/sbin/chat -v -f " + settings.chatPath);
  std::string out;
  out += kOwnerMarker;
  out += ": the dial-up connection \"OB Packet Data\",\n";
  out += "# the UT as a wireless modem for the packet data service.\n";
  out += "# Start it with \"pon ob-packet-data\" (or \"pppd call ob-packet-data\"),\n";
  out += "# stop it with \"poff ob-packet-data\".\n";
  out += port + "\n";
  out += std::to_string(kLineSpeed) + "\n";
  out += "connect " + chat + "\n";
  out += "modem\n";
  out += "crtscts\n";
  out += "noauth\n";
  out += "defaultroute\n";
  out += "noipdefault\n";
  // The UT's packet data service carries IP frames of at most 1006 bytes.
  out += "mtu 1006\n";
  out += "mru 1006\n";
  if (settings.dns)
    out += "# The name servers chosen in the wizard replace the server's: see "
           "/etc/ppp/ip-up.d/" + std::string(kDnsHookName) + ".\n";
  else
    out += "# Name servers are assigned by the server.\n";
  out += "usepeerdns\n";
  out += "ipparam " + std::string(kPeerName) + "\n";
  return out;
}

std::string chatScriptText() {
  std::string out;
  out += kOwnerMarker;
  out += ": dials the UT's packet data service\n";
  out += "# for the dial-up connection \"OB Packet Data\".\n";
  out += "ABORT BUSY\n";
  out += "ABORT 'NO CARRIER'\n";
  out += "ABORT 'NO DIALTONE'\n";
  out += "ABORT ERROR\n";
  out += "TIMEOUT 60\n";
  out += "'' ATZ\n";
  out += "OK 'ATDT" + std::string(kPhoneNumber) + "'\n";
  out += "CONNECT ''\n";
  return out;
}

std::string dnsHookText(const DnsAddresses& dns) {
  std::string out = "#!/bin/sh\n";
  out += kOwnerMarker;
  out += ": the name servers chosen for the dial-up connection\n";
  out += "# \"OB Packet Data\". pppd's ip-up runs this before the system's usepeerdns\n";
  out += "# hooks, which install /etc/ppp/resolv.conf and restore the old name\n";
  out += "# servers when the link goes down.\n";
  out += "[ \"$PPP_IPPARAM\" = \"" + std::string(kPeerName) + "\" ] || exit 0\n";
  out += "printf 'nameserver %s\\n' " + dottedQuad(dns.primary) + " " + dottedQuad(dns.secondary) +
         " > /etc/ppp/resolv.conf\n";
  return out;
}

}  // namespace obnet
