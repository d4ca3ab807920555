#include "simulated_ut.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "child_process.h"
#include "kmx/platform/runtime_dir.h"

namespace vx::cli {

SimulatedUt::SimulatedUt(std::string programDir)
    : programDir_(std::move(programDir)), port_("vexctl-" + std::to_string(::getpid())) {}

void SimulatedUt::start() {
  const std::string& programDir = programDir_;
  int control[2];
  if (::pipe2(control, O_CLOEXEC) != 0) throw std::runtime_error("cannot start the simulated UT: no pipe");
  pid_ = startChild(ChildSpec{{programDir + "/utsim", "--port", port_}, control[0], -1});
  ::close(control[0]);
  control_ = control[1];
  const std::string entry = kmx::portDir() + "/" + port_;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  struct stat info {};
  while (::lstat(entry.c_str(), &info) != 0) {
    if (pid_ <= 0 || waitChild(pid_, 0)) pid_ = -1;
    // pid_ is atomic: the signal watcher may read it meanwhile.
    if (pid_ <= 0 || std::chrono::steady_clock::now() > until) {
      stop();
      throw std::runtime_error("the simulated UT (" + programDir + "/utsim) did not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

SimulatedUt::~SimulatedUt() { stop(); }

void SimulatedUt::emergencyStop() { endProcesses({pid_.load()}, kEmergencyGraceMs); }

void SimulatedUt::stop() {
  if (control_ >= 0) {
    // A write to a simulator that has already gone must not end vexctl.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    static const char kQuit[] = "quit\n";
    [[maybe_unused]] ssize_t written = ::write(control_, kQuit, sizeof kQuit - 1);
    ::sigaction(SIGPIPE, &previous, nullptr);
    ::close(control_);
    control_ = -1;
  }
  if (pid_ > 0) {
    if (!waitChild(pid_, 5000)) stopChild(pid_, 2000);
    pid_ = -1;
  }
}

}  // namespace vx::cli
