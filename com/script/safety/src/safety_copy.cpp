#include "vx/safety/safety_copy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vx::safety {

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
    std::string path = stem;
    if (n > 1) path.append("-").append(std::to_string(n));
    path.append(".vex");
    if (::access(path.c_str(), F_OK) != 0) return path;
  }
  if (error != nullptr) *error = stem + ": no free name";
  return std::nullopt;
}

bool makePrivate(const std::string& path, std::string* error) {
  if (::chmod(path.c_str(), 0600) == 0) return true;
  if (error != nullptr) *error = path + ": " + std::strerror(errno);
  return false;
}

std::string restoreCommand(std::string_view path) {
  const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c != '\0' && std::strchr("/._+-", c) != nullptr);
  });
  std::string command = "vexctl restore ";
  if (plain) return command.append(path);
  // Single quotes keep everything as it is but a single quote, which ends
  // the quoted run, is given escaped, and starts a new one.
  command += '\'';
  for (char c : path) {
    if (c == '\'') {
      command += "'\\''";
    } else {
      command += c;
    }
  }
  return command + '\'';
}

}  // namespace vx::safety
