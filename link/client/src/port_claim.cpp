#include "kmx_port_claim.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "kmx/proto/byte_order.h"

namespace kmx {
namespace {

using namespace port_claim;

std::optional<PortClaimRecord> decode(int fd) {
  std::array<uint8_t, kSize> bytes{};
  if (::pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return std::nullopt;
  if (proto::loadLe32(&bytes[kMagicOffset]) != kMagic) return std::nullopt;
  const uint32_t keyLength = proto::loadLe32(&bytes[kKeyLength]);
  const uint32_t nameLength = proto::loadLe32(&bytes[kNameLength]);
  if (keyLength == 0 || keyLength > kKeyRoom || nameLength == 0 || nameLength > kNameRoom) return std::nullopt;
  PortClaimRecord record;
  record.key.assign(reinterpret_cast<const char*>(&bytes[kKey]), keyLength);
  record.serverName.assign(reinterpret_cast<const char*>(&bytes[kName]), nameLength);
  // Neither may hold a NUL: both are handed on as C strings.
  if (record.key.find('\0') != std::string::npos || record.serverName.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  return record;
}

bool encode(int fd, const PortClaimRecord& record) {
  std::array<uint8_t, kSize> bytes{};
  proto::storeLe32(&bytes[kMagicOffset], kMagic);
  proto::storeLe32(&bytes[kKeyLength], static_cast<uint32_t>(record.key.size()));
  std::memcpy(&bytes[kKey], record.key.data(), record.key.size());
  proto::storeLe32(&bytes[kNameLength], static_cast<uint32_t>(record.serverName.size()));
  std::memcpy(&bytes[kName], record.serverName.data(), record.serverName.size());
  return ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
}

}  // namespace

std::optional<PortClaimRecord> PortClaim::read(const std::string& identity) {
  NamedFile file = NamedFile::acquire(identity, kSuffix, NamedFile::Kind::RegularFile,
                                      NamedFile::Mode::OpenExisting, 0, {});
  if (!file.valid()) return std::nullopt;
  auto record = decode(file.fd());
  file.release();
  return record;
}

PortClaim PortClaim::hold(const std::string& identity, const PortClaimRecord& record) {
  if (record.key.empty() || record.key.size() > kKeyRoom || record.serverName.empty() ||
      record.serverName.size() > kNameRoom) {
    errno = EINVAL;
    return {};
  }
  bool created = false;
  NamedFile file = NamedFile::acquire(identity, kSuffix, NamedFile::Kind::RegularFile,
                                      NamedFile::Mode::OpenOrCreate, kSize,
                                      [&record](int fd) { return encode(fd, record); }, &created);
  if (!file.valid()) return {};
  if (!created) {
    const auto existing = decode(file.fd());
    if (!existing || existing->key != record.key) {
      file.release();
      errno = EBUSY;
      return {};
    }
  }
  return PortClaim(std::move(file));
}

}  // namespace kmx
