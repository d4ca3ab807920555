// A benchmark's own runtime and port directory, so that its named objects
// and simulated ports meet nobody else's; removed when the program ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kmx::bench {

class PrivateRuntime {
 public:
  explicit PrivateRuntime(const std::string& stem) {
    std::string pattern = "/tmp/" + stem + "-XXXXXX";
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

 private:
  std::string dir_;
};

}  // namespace kmx::bench
