#include "kmx/testing/runtime_sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kmx::testing {

namespace fs = std::filesystem;

RuntimeSandbox::RuntimeSandbox() {
  std::string pattern = fs::temp_directory_path().string() + "/kmx-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  runtimeDir_ = root_ + "/run";
  portDir_ = root_ + "/ports";
  fs::create_directory(portDir_);
  setenv("KMX_RUNTIME_DIR", runtimeDir_.c_str(), 1);
  setenv("KMX_PORT_DIR", portDir_.c_str(), 1);
  // What programs keep of their own (safety copies) stays in the sandbox.
  setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
}

RuntimeSandbox::~RuntimeSandbox() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
  unsetenv("KMX_RUNTIME_DIR");
  unsetenv("KMX_PORT_DIR");
  unsetenv("XDG_STATE_HOME");
}

std::string RuntimeSandbox::leftovers() const {
  std::string names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(runtimeDir_, ec)) {
    if (!names.empty()) names += ' ';
    names += entry.path().filename().string();
  }
  return names;
}

}  // namespace kmx::testing
