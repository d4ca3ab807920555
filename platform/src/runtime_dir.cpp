#include "kmx/platform/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "kmx/platform/last_error.h"

namespace kmx {
namespace {

std::string envOr(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

// Makes `dir` (0700) when it is missing; an existing directory must be ours.
// A directory of another user could be read or filled with traps by that user,
// so it is refused rather than used.
bool ensurePrivateDir(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) {
    setLastErrorFromErrno();
    return false;
  }
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0) {
    setLastErrorFromErrno();
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    setLastErrorFromErrno(ENOTDIR);
    return false;
  }
  if (st.st_uid != geteuid()) {
    setLastErrorFromErrno(EACCES);
    return false;
  }
  return true;
}

}  // namespace

std::string runtimeDir() {
  std::string dir = envOr("KMX_RUNTIME_DIR");
  if (dir.empty()) {
    std::string xdg = envOr("XDG_RUNTIME_DIR");
    if (!xdg.empty()) {
      dir = xdg + "/kmx";
    } else {
      dir = "/tmp/kmx-" + std::to_string(geteuid());
    }
  }
  return ensurePrivateDir(dir) ? dir : std::string();
}

std::string portDir() {
  std::string dir = envOr("KMX_PORT_DIR");
  if (!dir.empty()) return dir;
  std::string runtime = runtimeDir();
  if (runtime.empty()) return {};
  dir = runtime + "/ports";
  return ensurePrivateDir(dir) ? dir : std::string();
}

bool isValidObjectName(std::string_view name) {
  if (name.empty() || name.size() > 255) return false;
  if (name == "." || name == "..") return false;
  return name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string runtimeObjectPath(std::string_view name, std::string_view suffix) {
  if (!isValidObjectName(name)) {
    setLastErrorFromErrno(EINVAL);
    return {};
  }
  std::string dir = runtimeDir();
  if (dir.empty()) return {};
  std::string path = dir;
  path += '/';
  path += name;
  path += suffix;
  return path;
}

}  // namespace kmx
