// A port's claim: which link server serves a device, whatever name it was
// given. The claim is the named object <runtime>/<identity>.port (see
// kmx/io/port_name.h for identities); the client that starts a server makes
// it and holds it until the server has answered, and the server holds it for
// as long as it has the port. A client that names the device otherwise reads
// the claim and joins that server, so one line never gets two servers.
//
// Layout, little-endian:
//   0  u32  magic "KMXP" (0x50584D4B)
//   4  u32  key length k, 1..20
//   8  20   the key, k bytes, the rest 0
//  28  u32  server name length n, 1..4096
//  32  n    the server name (what the server was started with), the rest 0
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kmx/platform/named_file.h"

namespace kmx {

namespace port_claim {
inline constexpr uint32_t kMagic = 0x50584D4B;
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kKeyLength = 4;
inline constexpr std::size_t kKey = 8;
inline constexpr std::size_t kKeyRoom = 20;
inline constexpr std::size_t kNameLength = 28;
inline constexpr std::size_t kName = 32;
inline constexpr std::size_t kNameRoom = 4096;
inline constexpr std::size_t kSize = kName + kNameRoom;
inline constexpr const char kSuffix[] = ".port";
}  // namespace port_claim

struct PortClaimRecord {
  std::string key;         // names the server's IPC objects
  std::string serverName;  // the name the server was started with
};

class PortClaim {
 public:
  PortClaim() = default;

  // The record of the live claim on `identity`; nullopt when nobody claims
  // it, or when the claim cannot be read or is malformed.
  static std::optional<PortClaimRecord> read(const std::string& identity);

  // Claims `identity` for the server `record` names: makes the claim, or
  // joins one that records the same key. Invalid when another server's
  // claim records another key, or the claim cannot be made.
  static PortClaim hold(const std::string& identity, const PortClaimRecord& record);

  bool valid() const { return file_.valid(); }
  void release() { file_.release(); }

 private:
  explicit PortClaim(NamedFile file) : file_(std::move(file)) {}
  NamedFile file_;
};

}  // namespace kmx
