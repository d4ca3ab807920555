#include "kmx/io/port_name.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kmx/platform/runtime_dir.h"

namespace kmx::io {
namespace {

// n for a name "COMn" (any case, n >= 1), else 0.
unsigned comNumber(std::string_view name) {
  if (name.size() < 4) return 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  }
  unsigned n = 0;
  const char* first = name.data() + 3;
  const char* last = name.data() + name.size();
  if (!std::isdigit(static_cast<unsigned char>(*first))) return 0;
  const auto [end, ec] = std::from_chars(first, last, n);
  if (ec != std::errc() || end != last) return 0;
  return n;
}

}  // namespace

std::vector<std::string> candidatePaths(std::string_view name, const std::string& portDir) {
  std::vector<std::string> paths;
  if (name.empty()) return paths;
  if (name.find('/') != std::string_view::npos) {
    paths.emplace_back(name);
    return paths;
  }
  if (!portDir.empty()) paths.push_back(portDir + "/" + std::string(name));
  paths.push_back("/dev/" + std::string(name));
  if (const unsigned n = comNumber(name); n != 0) {
    paths.push_back("/dev/ttyS" + std::to_string(n - 1));
  }
  return paths;
}

std::optional<ResolvedPort> resolvePort(std::string_view name) {
  if (name.empty()) {
    errno = EINVAL;
    return std::nullopt;
  }
  // Read from the environment on every open, so each test or caller can
  // point it elsewhere. Without a usable port directory the /dev names remain.
  std::string dir;
  if (name.find('/') == std::string_view::npos) dir = kmx::portDir();
  for (const std::string& path : candidatePaths(name, dir)) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      return ResolvedPort{path, S_ISSOCK(st.st_mode) ? PortKind::Simulator : PortKind::Tty};
    }
    // Only a name that is not there moves on to the next candidate.
    if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
  }
  errno = ENOENT;
  return std::nullopt;
}

std::optional<std::string> bareKey(std::string_view name) {
  if (name.empty() || isPathName(name)) return std::nullopt;
  std::string key;
  for (const char c : name) {
    if (c == '%') {
      key += "%25";
    } else {
      key += c;
    }
  }
  if (key.size() > kMaxPortKey) return std::nullopt;
  return key;
}

namespace {

std::string hex(uint64_t value) {
  char text[17];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, 16);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

// A tty by its device number, so that every node and link of one line names
// it alike; anything else by its inode, as short as it fits.
std::string identityOf(const struct stat& st) {
  if (S_ISCHR(st.st_mode)) {
    return "%c" + std::to_string(major(st.st_rdev)) + "." + std::to_string(minor(st.st_rdev));
  }
  std::string plain = "%i" + hex(st.st_dev) + "." + hex(st.st_ino);
  if (plain.size() <= kMaxPortKey) return plain;
  // FNV-1a over the two numbers: 64 bits for a socket deep in a file system
  // with long inode numbers.
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (uint64_t value : {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}) {
    for (int i = 0; i < 8; ++i) {
      hash ^= (value >> (8 * i)) & 0xFF;
      hash *= 0x100000001b3ULL;
    }
  }
  return "%h" + hex(hash);
}

}  // namespace

std::optional<PortDevice> locatePort(std::string_view name) {
  if (name.empty()) {
    errno = EINVAL;
    return std::nullopt;
  }
  std::string path(name);
  if (!isPathName(name)) {
    auto resolved = resolvePort(name);
    if (!resolved) return std::nullopt;
    path = std::move(resolved->path);
  }
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return std::nullopt;
  PortDevice device;
  device.path = real;
  std::free(real);
  struct stat st {};
  if (::stat(device.path.c_str(), &st) != 0) return std::nullopt;
  if (!S_ISCHR(st.st_mode) && !S_ISSOCK(st.st_mode)) {
    errno = ENOTTY;
    return std::nullopt;
  }
  // A socket is opened by connecting, which needs write permission only.
  if (::access(device.path.c_str(), S_ISSOCK(st.st_mode) ? W_OK : R_OK | W_OK) != 0) return std::nullopt;
  device.kind = S_ISSOCK(st.st_mode) ? PortKind::Simulator : PortKind::Tty;
  device.identity = identityOf(st);
  const auto key = bareKey(name);
  device.key = key ? *key : device.identity;
  device.serverName = key ? std::string(name) : device.path;
  return device;
}

std::string exclusiveClaimName(std::string_view name) {
  if (const auto device = locatePort(name)) {
    const std::string_view path = device->path;
    constexpr std::string_view kDev = "/dev/";
    if (path.starts_with(kDev) && bareKey(path.substr(kDev.size())) == path.substr(kDev.size())) {
      return "VEX_" + std::string(path.substr(kDev.size()));
    }
    return "VEX_" + device->identity;
  }
  if (name.starts_with("/dev/")) name.remove_prefix(5);
  std::string claim = "VEX_";
  for (char c : name) claim.push_back(c == '/' ? '_' : c);
  return claim;
}

std::string describePortError(std::string_view name, int error) {
  const std::string shown(name);
  switch (error) {
    case ENOENT:
    case ENOTDIR: return shown + ": no such serial port";
    case ENOTTY: return shown + ": not a serial port";
    case EACCES:
    case EPERM: break;
    default: return shown + ": " + std::strerror(error);
  }
  // The device itself tells which group may open it.
  std::string path = shown;
  if (!isPathName(name)) {
    if (auto resolved = resolvePort(name)) path = resolved->path;
  }
  std::string text = path + ": permission denied";
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return text;
  group entry {};
  group* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return text + "; the group " + std::to_string(st.st_gid) + " may open it";
  }
  const std::string group = found->gr_name;
  return text + "; the group " + group + " may open it (sudo usermod -aG " + group +
         " $USER, then log in again)";
}

}  // namespace kmx::io
