#include "decompressor.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "kmx/platform/paths.h"
#include "kmx/platform/process.h"
#include "kmx/platform/wait.h"

namespace vx::nvdb {

namespace {

constexpr const char* kProgram = "gzip";
constexpr int kKillGraceMs = 1000;

bool isExecutable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

// Appended piece by piece: g++ 12 warns wrongly about `dir + "/" + name`.
std::string inDirectory(std::string dir) {
  dir += '/';
  dir += kProgram;
  return dir;
}

bool waitForEnd(const kmx::ProcessWatch& watch, int timeoutMs) {
  if (!watch.valid()) return true;  // gone before it could be watched
  const int fds[1] = {watch.fd()};
  return kmx::waitForAny(fds, timeoutMs) == 0;
}

}  // namespace

std::string locateDecompressor() {
  const std::string beside = inDirectory(kmx::programDir());
  if (isExecutable(beside)) return beside;
  const char* path = std::getenv("PATH");
  std::string_view dirs = path == nullptr ? "" : path;
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    std::string dir(dirs.substr(0, colon));
    dirs = colon == std::string_view::npos ? std::string_view{} : dirs.substr(colon + 1);
    if (dir.empty()) dir.assign(1, '.');
    const std::string candidate = inDirectory(std::move(dir));
    if (isExecutable(candidate)) return candidate;
  }
  return beside;
}

DecompressResult runDecompressor(const std::string& decompressor, const std::string& gzFile,
                                 int timeoutMs) {
  // gzip's own complaints would only repeat what the load reports.
  const pid_t pid = kmx::startDetached(decompressor, {"-d", "-f", gzFile}, "/dev/null");
  if (pid < 0) return DecompressResult::NotStarted;
  kmx::ProcessWatch watch(pid);
  if (waitForEnd(watch, timeoutMs)) return DecompressResult::Finished;
  // A straggler must not go on writing a file the load is about to remove.
  if (watch.valid()) {
    kill(pid, SIGKILL);
    waitForEnd(watch, kKillGraceMs);
  }
  return DecompressResult::TimedOut;
}

}  // namespace vx::nvdb
