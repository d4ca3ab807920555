// The dial-up entry "OB Packet Data" in the forms the systems keep it in:
// the Windows NT phonebook section, the Windows 95/98 IP settings record, and
// the pppd peer file with its chat script and name server hook. All of them
// are pure functions of the user's choices.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dns_choice.h"

namespace obnet {

inline constexpr std::string_view kEntryName = "OB Packet Data";
inline constexpr std::string_view kPhoneNumber = "#777";
inline constexpr unsigned kLineSpeed = 38400;

// ---- Windows NT 4 and 2000: a section appended to the phonebook file ----

// The three fixed pieces of the phonebook section: the head (a blank line,
// "[OB Packet Data]" and the entry's fixed settings), the media lines ending
// in "Port=" without a line end, and the device lines.
struct PhonebookPieces {
  std::string_view head;
  std::string_view media;
  std::string_view device;
};

// The pieces this wizard writes.
const PhonebookPieces& packetDataPhonebookPieces();

// The section as appended to the phonebook: the head, the six address lines,
// the media piece, the port name (empty when none is selected) and CR LF,
// then the device piece.
std::string ntPhonebookEntry(const PhonebookPieces& pieces, const DnsChoice& dns,
                             std::string_view port);

// ---- Windows 95/98: the binary "IP" value of the entry's profile ----

inline constexpr std::size_t kIpSettingsSize = 28;
using IpSettingsRecord = std::array<std::uint8_t, kIpSettingsSize>;

// The record as stored before any choice: its length (28, little-endian) in
// bytes 0 to 3 and every other byte zero, so server-assigned addresses.
const IpSettingsRecord& ipSettingsTemplate();

// The template with the user's name servers: byte 4 set to 2, the primary
// address in bytes 12 to 15 and the secondary in 16 to 19, each with its
// first octet in the highest byte. Server-assigned name servers leave the
// template as it is.
IpSettingsRecord ipSettingsRecord(const IpSettingsRecord& base, const DnsChoice& dns);

// ---- Linux: pppd ----

// pppd names a peer by its file name under /etc/ppp/peers, so the entry's
// name is written without spaces.
inline constexpr std::string_view kPeerName = "ob-packet-data";
// The first line of every file the wizard writes; a file without it is not
// ours and is never replaced.
inline constexpr std::string_view kOwnerMarker = "# Written by obnetmodem";

struct PeerSettings {
  std::string port;      // device path, for example /dev/ttyUSB0
  DnsChoice dns;         // the user's name servers, or server-assigned
  std::string chatPath;  // where the chat script is installed
};

// A word as pppd's option files read it: quoted, with backslash escapes for
// quotes and backslashes. Throws std::invalid_argument for control
// characters, which no option file can carry.
std::string pppdQuoted(std::string_view word);

// The peer file: the port, the line speed, the chat script, modem control,
// and name servers from the server (usepeerdns). The ipparam names the
// connection to the ip-up hooks, which is how the user's name servers reach
// the system. Throws std::invalid_argument when the port is not an absolute
// device path or holds characters an option file cannot carry.
std::string peerFileText(const PeerSettings& settings);

// The chat script that dials the packet data service.
std::string chatScriptText();

// The ip-up hook that puts the user's name servers in /etc/ppp/resolv.conf
// for this connection only; the system's own usepeerdns hook (or
// resolvconf's) installs that file and restores the old one when the link
// goes down. Its file name sorts before theirs.
std::string dnsHookText(const DnsAddresses& dns);
inline constexpr std::string_view kDnsHookName = "0000ob-packet-data-dns";

}  // namespace obnet
