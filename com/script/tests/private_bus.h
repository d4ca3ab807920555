// A private D-Bus daemon for one test: its own socket in the test's
// directory, and the service directory of the test's XDG_DATA_HOME, so that
// activation starts the freshly built server.
#pragma once

#include <sys/types.h>

#include <string>

namespace sdbus {
class IConnection;
}

namespace vx::script::testing {

class PrivateBus {
 public:
  // Starts dbus-daemon with its files under `directory` and services from
  // `serviceDirectory`; address() is empty when it could not start.
  PrivateBus(const std::string& directory, const std::string& serviceDirectory);
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  const std::string& address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

// Whether process `pid` still runs (a zombie counts as ended).
bool processRuns(pid_t pid);

// The process that holds the script server's bus name, as the bus knows it.
pid_t scriptServerPid(sdbus::IConnection& connection);

// The resident memory of process `pid` in KiB; -1 when it cannot be read.
long residentKiB(pid_t pid);

}  // namespace vx::script::testing
