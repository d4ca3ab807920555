#include "server_start.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kmx/platform/paths.h"
#include "kmx/platform/runtime_dir.h"

namespace kmx::client {
namespace {

bool isProgram(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// An object of this library, to find the library's own directory.
const int kAnchor = 0;

}  // namespace

std::string findServerProgram() {
  if (const char* path = std::getenv("PATH")) {
    std::string dirs = path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
      std::size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      // An empty entry would mean the current directory: not searched.
      if (end > start) {
        std::string candidate = dirs.substr(start, end - start) + "/" + kServerProgram;
        if (isProgram(candidate)) return candidate;
      }
      start = end + 1;
    }
  }
  std::string beside = programDir() + "/" + kServerProgram;
  if (isProgram(beside)) return beside;
  std::string installed = moduleDir(&kAnchor) + "/../bin/" + kServerProgram;
  if (isProgram(installed)) return installed;
  return {};
}

std::string serverLogPath(const std::string& device) {
  std::string dir = runtimeDir();
  return dir.empty() ? std::string() : dir + "/" + kServerProgram + "-" + device + ".log";
}

FileIdentity identifyFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return {};
  return FileIdentity{st.st_dev, st.st_ino, true};
}

// /proc/locks lists every lock on the system, one per line:
//   "<n>: FLOCK  ADVISORY  READ <pid> <major>:<minor>:<inode> <start> <end>"
// with "<n>: -> ..." lines for processes waiting for a lock.
bool fileIsHeld(const FileIdentity& file) {
  if (!file.known) return true;
  FILE* locks = std::fopen("/proc/locks", "re");
  if (locks == nullptr) return true;
  bool held = false;
  char line[256];
  while (!held && std::fgets(line, sizeof line, locks) != nullptr) {
    char kind[16] = {};
    char mode[16] = {};
    char access[16] = {};
    long pid = 0;
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
    if (std::sscanf(line, "%*d: %15s %15s %15s %ld %x:%x:%lu", kind, mode, access, &pid, &major,
                    &minor, &inode) != 7) {
      continue;  // a waiter, or a line of another form
    }
    held = std::strcmp(kind, "FLOCK") == 0 && inode == file.inode &&
           major == ::major(file.device) && minor == ::minor(file.device);
  }
  std::fclose(locks);
  return held;
}

}  // namespace kmx::client
