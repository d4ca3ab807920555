// The simulated UT of `--sim`: the utsim program beside vexctl, serving a
// port of its own ("vexctl-<pid>") in the port directory for this run, and
// told to quit when the run ends.
#pragma once

#include <sys/types.h>

#include <string>

namespace vx::cli {

class SimulatedUt {
 public:
  // Starts utsim from `programDir` and waits for its port; throws
  // std::runtime_error when it does not come up.
  explicit SimulatedUt(const std::string& programDir);
  ~SimulatedUt();
  SimulatedUt(const SimulatedUt&) = delete;
  SimulatedUt& operator=(const SimulatedUt&) = delete;

  const std::string& port() const { return port_; }
  void stop();
  // For a signal: tells the simulator to quit, nothing else.
  void emergencyStop();

 private:
  std::string port_;
  pid_t pid_ = -1;
  int control_ = -1;  // utsim's standard input
};

}  // namespace vx::cli
