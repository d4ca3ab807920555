// The simulated UT of `--sim`: the utsim program beside vexctl, serving a
// port of its own ("vexctl-<pid>") in the port directory for this run, and
// told to quit when the run ends.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>

namespace vx::cli {

class SimulatedUt {
 public:
  explicit SimulatedUt(std::string programDir);
  // Starts utsim from the program directory and waits for its port; throws
  // std::runtime_error when it does not come up.
  void start();
  ~SimulatedUt();
  SimulatedUt(const SimulatedUt&) = delete;
  SimulatedUt& operator=(const SimulatedUt&) = delete;

  const std::string& port() const { return port_; }
  void stop();
  // For a signal or the end of --timeout: ends the simulator by its process
  // id (SIGTERM, then SIGKILL after a grace) and waits until it has gone.
  void emergencyStop();

 private:
  std::string programDir_;
  std::string port_;
  std::atomic<pid_t> pid_{-1};
  int control_ = -1;  // utsim's standard input
};

}  // namespace vx::cli
