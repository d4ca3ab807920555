// The bus vexctl talks to the script server on, and the script server on it.
//
// The session bus when one is reachable (DBUS_SESSION_BUS_ADDRESS, else
// sd-bus's default $XDG_RUNTIME_DIR/bus). Where the bus can neither reach
// a running UTVEX.Script nor activate one, vexctl starts the vxscript beside
// itself on that bus. With no session bus at all (a fresh machine, an ssh
// session) it starts a private dbus-daemon whose service directory
// activates that vxscript. Whatever it started is stopped when the session
// ends: the script server first, then the daemon.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>

#include <sdbus-c++/sdbus-c++.h>

namespace vx::cli {

inline constexpr const char* kServiceName = "UTVEX.Script";

class BusSession {
 public:
  // `programDir` holds vxscript.
  explicit BusSession(std::string programDir);
  // Reaches the bus (and starts what it lacks); throws std::runtime_error
  // when no bus can be had.
  void open();
  ~BusSession();
  BusSession(const BusSession&) = delete;
  BusSession& operator=(const BusSession&) = delete;

  sdbus::IConnection& connection() { return *connection_; }
  // Another connection to the same bus, for a thread of its own.
  std::unique_ptr<sdbus::IConnection> newConnection() const;
  bool privateBus() const { return daemonPid_ > 0; }
  // Stops what this session started; also run by the destructor.
  void stop();
  // Notes the process of the script server on a private bus, for
  // emergencyStop().
  void noteServer();
  // For a signal or the end of --timeout: ends the helpers by process id
  // alone, with no bus call (the main thread may be inside one): the script
  // server and whatever else the private daemon started, then the daemon;
  // SIGKILL for what SIGTERM does not end in time.
  void emergencyStop();

 private:
  void startPrivateBus();
  void ensureServer(const std::string& address);
  pid_t serverPid();

  std::string programDir_;
  std::string workDir_;     // the private bus's files
  std::string address_;     // the bus's address
  // Atomic: the signal watcher reads them while the main thread runs.
  std::atomic<pid_t> daemonPid_{-1};    // the private dbus-daemon
  std::atomic<pid_t> serverChild_{-1};  // a vxscript started by us on the session bus
  std::atomic<pid_t> activatedServer_{-1};  // the vxscript the private bus activated
  std::unique_ptr<sdbus::IConnection> connection_;
};

}  // namespace vx::cli
