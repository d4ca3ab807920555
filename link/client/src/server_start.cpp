#include "server_start.h"

#include <fcntl.h>
#include <sys/file.h>
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
  return FileIdentity{st.st_dev, st.st_ino, true, path};
}

// /proc/locks lists every lock on the system, one per line:
//   "<n>: FLOCK  ADVISORY  READ <pid> <major>:<minor>:<inode> <start> <end>"
// with "<n>: -> ..." lines for processes waiting for a lock.
// The list is produced a page at a time by position, so while other
// processes take and drop locks (a burst of clients connecting) a read can
// miss a lock that is held all along. A lock missing from the list is
// therefore confirmed on the file itself: it is gone when the path no
// longer names the file, or when an exclusive lock on it can be had at
// once (nobody holds it; the probe lets go at once).
namespace {

bool listedInLocks(const FileIdentity& file) {
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

}  // namespace

bool lockedByAnyone(const FileIdentity& file) {
  const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool held = false;
  if (::fstat(fd, &st) == 0 && st.st_dev == file.device && st.st_ino == file.inode) {
    // Held unless the exclusive lock could be had (a probe that fails
    // otherwise proves nothing).
    held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (!held) ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return held;
}

bool fileIsHeld(const FileIdentity& file) {
  if (!file.known) return true;
  return listedInLocks(file) || lockedByAnyone(file);
}

}  // namespace kmx::client
