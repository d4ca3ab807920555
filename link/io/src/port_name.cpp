#include "port_name.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <charconv>

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

}  // namespace kmx::io
