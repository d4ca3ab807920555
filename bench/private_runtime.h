// A benchmark's own runtime and port directory, so that its named objects
// and simulated ports meet nobody else's; removed when the program ends.
// It is made under `base`: /tmp by default; a benchmark that measures the
// cost of the named objects themselves puts them on a tmpfs, where the
// runtime directory lives in use (see tmpfsBase()).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kmx::bench {

class PrivateRuntime {
 public:
  explicit PrivateRuntime(const std::string& stem, const std::string& base = "/tmp") {
    std::string pattern = base + "/" + stem + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    setenv("KMX_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("KMX_PORT_DIR", dir_.c_str(), 1);
  }
  ~PrivateRuntime() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  PrivateRuntime(const PrivateRuntime&) = delete;
  PrivateRuntime& operator=(const PrivateRuntime&) = delete;

  bool ready() const { return !dir_.empty(); }
  const std::string& path() const { return dir_; }

  // A tmpfs for the runtime directory: $XDG_RUNTIME_DIR when set (it is one
  // in a login session), else /dev/shm, else /tmp.
  static std::string tmpfsBase() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run != nullptr && run[0] != '\0') return run;
    std::error_code ignored;
    if (std::filesystem::is_directory("/dev/shm", ignored)) return "/dev/shm";
    return "/tmp";
  }

 private:
  std::string dir_;
};

}  // namespace kmx::bench
