#include "safety_copy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vx::script {

namespace {

// The ESN as the UT gives it ("0x0012ABCD"), kept to characters that are
// safe in a file name.
std::string fileNamePart(std::string_view esn) {
  std::string part;
  for (char c : esn) {
    const bool safe = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (safe) part += c;
  }
  return part.empty() ? std::string("unknown") : part;
}

bool makeDirectories(const std::string& path, std::string* error) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string prefix = path.substr(0, at);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      if (error != nullptr) *error = prefix + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

}  // namespace

std::string safetyCopyDirectory() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base;
  if (state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr && home[0] == '/' ? home : "/tmp") + "/.local/state";
  }
  return base + "/utvex/safety-copies";
}

std::optional<std::string> newSafetyCopyPath(std::string_view esn, std::time_t now, std::string* error) {
  const std::string directory = safetyCopyDirectory();
  if (!makeDirectories(directory, error)) return std::nullopt;
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  const std::string stem = directory + "/" + fileNamePart(esn) + "-" + stamp;
  for (int n = 1; n < 1000; ++n) {
    std::string path = stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".vex";
    if (::access(path.c_str(), F_OK) != 0) return path;
  }
  if (error != nullptr) *error = stem + ": no free name";
  return std::nullopt;
}

}  // namespace vx::script
