#include "vx/download/software_file_check.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "kmx/platform/paths.h"
#include "kmx/platform/process.h"

namespace vx::download {
namespace {

constexpr int kUnpackWaitMs = 10000;
constexpr std::size_t kPieceBytes = 1000;

bool isExecutable(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool copyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!in || !out) return false;
  out << in.rdbuf();
  out.flush();
  return static_cast<bool>(out);
}

off_t fileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
}

// Runs gzip on `compressed` and waits for it; a gzip that outlasts the wait
// is killed, so a stuck unpacker never holds the check.
void unpack(const std::string& gzip, const std::string& compressed) {
  const pid_t pid = kmx::startDetached(gzip, {"-d", "-f", compressed}, "/dev/null");
  if (pid < 0) return;
  kmx::ProcessWatch watch(pid);
  if (!watch.valid()) return;  // already gone
  pollfd fd{watch.fd(), POLLIN, 0};
  if (::poll(&fd, 1, kUnpackWaitMs) <= 0) ::kill(pid, SIGKILL);
}

}  // namespace

std::string unpackerPath() {
  const std::string beside = kmx::programDir() + "/gzip";
  if (isExecutable(beside)) return beside;
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    if (dir.empty()) continue;
    std::string candidate = std::string(dir) + "/gzip";
    if (isExecutable(candidate)) return candidate;
  }
  return {};
}

SRecordError checkSRecordFile(const std::string& path, bool* bootBlockMarker) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return SRecordError::EmptyFile;
  SRecordParser parser;
  std::array<char, kPieceBytes> piece;
  while (in) {
    in.read(piece.data(), piece.size());
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    if (!parser.feed({reinterpret_cast<const uint8_t*>(piece.data()), got})) break;
  }
  const SRecordError error = parser.finish();
  if (bootBlockMarker != nullptr) *bootBlockMarker = parser.bootBlockMarkerSeen();
  return error;
}

FileCheck checkSoftwareFile(const std::string& path, ImageKind expected) {
  FileCheck check;
  std::string checked = path;
  kmx::TempFile unpacked("vxdownload");
  if (unpacked.valid()) {
    const std::string compressed = unpacked.path() + ".gz";
    const std::string gzip = unpackerPath();
    if (!gzip.empty() && copyFile(path, compressed)) unpack(gzip, compressed);
    std::remove(compressed.c_str());
    if (fileSize(unpacked.path()) > 0) {
      checked = unpacked.path();
      check.unpacked = true;
    }
  }
  check.error = checkSRecordFile(checked, &check.bootBlockMarker);
  const bool wantBootBlock = expected == ImageKind::BootBlock;
  check.passed = check.error == SRecordError::None && check.bootBlockMarker == wantBootBlock;
  return check;
}

}  // namespace vx::download
