#include "kmx/platform/paths.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "kmx/platform/last_error.h"

namespace kmx {

std::string programPath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) {
    setLastErrorFromErrno();
    return {};
  }
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string dirName(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string programDir() {
  std::string path = programPath();
  return path.empty() ? std::string() : dirName(path);
}

std::string moduleDir(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return programDir();
  std::string file = info.dli_fname;
  // The main program may be reported by its bare name.
  if (file.find('/') == std::string::npos) return programDir();
  char resolved[PATH_MAX];
  if (realpath(file.c_str(), resolved) != nullptr) file = resolved;
  return dirName(file);
}

TempFile::TempFile(const std::string& stem) {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  std::string pattern = dir + "/" + stem + "-XXXXXX";
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    setLastErrorFromErrno();
    return;
  }
  path_ = pattern;
}

TempFile::TempFile(TempFile&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), keep_(other.keep_) {
  other.fd_ = -1;
  other.path_.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    this->~TempFile();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    keep_ = other.keep_;
    other.fd_ = -1;
    other.path_.clear();
  }
  return *this;
}

TempFile::~TempFile() {
  if (fd_ >= 0) close(fd_);
  if (!path_.empty() && !keep_) unlink(path_.c_str());
  fd_ = -1;
  path_.clear();
}

}  // namespace kmx
