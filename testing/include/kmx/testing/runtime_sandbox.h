// Gives a test its own runtime and port directories, so tests can run in
// parallel without seeing each other's named objects.
#pragma once

#include <string>

namespace kmx::testing {

class RuntimeSandbox {
 public:
  // Makes a fresh directory and points KMX_RUNTIME_DIR, KMX_PORT_DIR and
  // XDG_STATE_HOME (its "state" folder) into it.
  RuntimeSandbox();
  ~RuntimeSandbox();  // removes the directory and everything in it
  RuntimeSandbox(const RuntimeSandbox&) = delete;
  RuntimeSandbox& operator=(const RuntimeSandbox&) = delete;

  const std::string& root() const { return root_; }
  const std::string& runtimeDir() const { return runtimeDir_; }
  const std::string& portDir() const { return portDir_; }
  // Names of the entries left in the runtime directory (the ports folder
  // excluded), for checks that nothing was left behind.
  std::string leftovers() const;

 private:
  std::string root_;
  std::string runtimeDir_;
  std::string portDir_;
};

}  // namespace kmx::testing
