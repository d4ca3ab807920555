#include "bus_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "child_process.h"

namespace vx::cli {
namespace {

constexpr int kStartWaitMs = 10000;

std::unique_ptr<sdbus::IProxy> daemonProxy(sdbus::IConnection& bus) {
  return sdbus::createProxy(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus");
}

bool nameHasOwner(sdbus::IConnection& bus) {
  bool owned = false;
  daemonProxy(bus)->callMethod("NameHasOwner").onInterface("org.freedesktop.DBus")
      .withArguments(std::string(kServiceName)).storeResultsTo(owned);
  return owned;
}

bool nameActivatable(sdbus::IConnection& bus) {
  std::vector<std::string> names;
  daemonProxy(bus)->callMethod("ListActivatableNames").onInterface("org.freedesktop.DBus").storeResultsTo(names);
  for (const std::string& name : names) {
    if (name == kServiceName) return true;
  }
  return false;
}

// The address sd-bus uses for the session bus.
std::string sessionAddress() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != '\0') {
    return address;
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    return std::string("unix:path=") + runtime + "/bus";
  }
  return {};
}

// Whether an address can be tried: a unix:path= socket that does not exist
// cannot be (and sd-bus's failed opening leaks its bus object).
bool worthTrying(const std::string& address) {
  const std::string prefix = "unix:path=";
  if (!address.starts_with(prefix)) return true;
  const std::string path = address.substr(prefix.size(), address.find(',') - prefix.size());
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

BusSession::BusSession(std::string programDir) : programDir_(std::move(programDir)) {}

void BusSession::open() {
  std::string address = sessionAddress();
  if (!address.empty() && worthTrying(address)) {
    try {
      connection_ = sdbus::createSessionBusConnectionWithAddress(address);
      address_ = address;
    } catch (const sdbus::Error&) {
      connection_.reset();
    }
  }
  if (!connection_) {
    startPrivateBus();
    return;
  }
  try {
    ensureServer(address);
  } catch (...) {
    stop();
    throw;
  }
}

BusSession::~BusSession() { stop(); }

std::unique_ptr<sdbus::IConnection> BusSession::newConnection() const {
  return sdbus::createSessionBusConnectionWithAddress(address_);
}

void BusSession::startPrivateBus() {
  char pattern[] = "/tmp/vexctl-bus-XXXXXX";
  std::string base = std::getenv("TMPDIR") != nullptr ? std::string(std::getenv("TMPDIR")) + "/vexctl-bus-XXXXXX"
                                                      : std::string(pattern);
  if (::mkdtemp(base.data()) == nullptr) throw std::runtime_error("cannot make a directory for a private bus");
  workDir_ = base;
  const std::string services = workDir_ + "/services";
  std::filesystem::create_directories(services);
  {
    std::ofstream service(services + "/UTVEX.Script.service");
    service << "[D-BUS Service]\nName=" << kServiceName << "\nExec=" << programDir_ << "/vxscript\n";
  }
  {
    std::ofstream config(workDir_ + "/bus.conf");
    config << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n  <type>session</type>\n  <listen>unix:path="
           << workDir_ << "/bus</listen>\n  <servicedir>" << services
           << "</servicedir>\n  <policy context=\"default\">\n"
              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n    <allow eavesdrop=\"true\"/>\n"
              "    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
  }
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("cannot start a private bus: no pipe");
  daemonPid_ = startChild(ChildSpec{{"dbus-daemon", "--config-file=" + workDir_ + "/bus.conf", "--nofork",
                                     "--print-address=3"},
                                    -1, report[1]});
  ::close(report[1]);
  std::string line;
  pollfd fd{report[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && ::poll(&fd, 1, kStartWaitMs) > 0) {
    char buffer[256];
    const ssize_t got = ::read(report[0], buffer, sizeof buffer);
    if (got <= 0) break;
    line.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(report[0]);
  const auto end = line.find('\n');
  if (daemonPid_ <= 0 || end == std::string::npos) {
    stop();
    throw std::runtime_error("no session bus, and dbus-daemon could not start a private one");
  }
  const std::string address = line.substr(0, end);
  try {
    connection_ = sdbus::createSessionBusConnectionWithAddress(address);
    address_ = address;
  } catch (const sdbus::Error&) {
    // The constructor fails: the destructor will not stop the daemon.
    stop();
    throw;
  }
}

// A bus that has no UTVEX.Script and cannot activate one gets ours.
void BusSession::ensureServer(const std::string& address) {
  if (nameHasOwner(*connection_) || nameActivatable(*connection_)) return;
  serverChild_ = startChild(ChildSpec{{programDir_ + "/vxscript", "--bus", address}, -1, -1});
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
  while (!nameHasOwner(*connection_)) {
    if (serverChild_ <= 0 || waitChild(serverChild_, 0)) serverChild_ = -1;
    if (serverChild_ <= 0 || std::chrono::steady_clock::now() > until) {
      stopChild(serverChild_, 2000);
      serverChild_ = -1;
      throw std::runtime_error("the script server " + programDir_ + "/vxscript did not start on the bus");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

pid_t BusSession::serverPid() {
  try {
    if (!nameHasOwner(*connection_)) return -1;
    uint32_t pid = 0;
    daemonProxy(*connection_)->callMethod("GetConnectionUnixProcessID").onInterface("org.freedesktop.DBus")
        .withArguments(std::string(kServiceName)).storeResultsTo(pid);
    return static_cast<pid_t>(pid);
  } catch (const sdbus::Error&) {
    return -1;
  }
}

void BusSession::noteServer() {
  if (daemonPid_ > 0) activatedServer_ = serverPid();
}

void BusSession::emergencyStop() {
  // The server may still be starting (activated, not yet noted): the
  // daemon's children are all this run's.
  std::vector<pid_t> servers = {serverChild_.load(), activatedServer_.load()};
  if (daemonPid_ > 0) {
    for (pid_t child : childrenOf(daemonPid_)) servers.push_back(child);
  }
  endProcesses(servers, kEmergencyGraceMs);
  endProcesses({daemonPid_.load()}, kEmergencyGraceMs);
  if (!workDir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(workDir_, ec);
  }
}

void BusSession::stop() {
  if (serverChild_ > 0) {
    stopChild(serverChild_, 5000);
    serverChild_ = -1;
  }
  if (daemonPid_ > 0) {
    // The activated server is the daemon's child, not ours: end it by the
    // process id the bus knows, and wait until it has gone.
    const pid_t server = connection_ ? serverPid() : -1;
    connection_.reset();
    if (server > 0) ::kill(server, SIGTERM);
    stopChild(daemonPid_, 5000);
    daemonPid_ = -1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server > 0 && processRuns(server) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  connection_.reset();
  if (!workDir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(workDir_, ec);
    workDir_.clear();
  }
}

}  // namespace vx::cli
