#include "private_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <sdbus-c++/sdbus-c++.h>

namespace vx::script::testing {

PrivateBus::PrivateBus(const std::string& directory, const std::string& serviceDirectory) {
  const std::string config = directory + "/bus.conf";
  {
    std::ofstream out(config);
    out << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n  <type>session</type>\n"
           "  <listen>unix:path="
        << directory << "/bus</listen>\n  <servicedir>" << serviceDirectory
        << "</servicedir>\n"
           "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
  }
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(pipeFds[1], 3);
    const std::string configArg = "--config-file=" + config;
    ::execlp("dbus-daemon", "dbus-daemon", configArg.c_str(), "--nofork", "--print-address=3",
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  std::string line;
  pollfd fd{pipeFds[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && ::poll(&fd, 1, 10000) > 0) {
    char buffer[256];
    ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    line.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeFds[0]);
  if (auto end = line.find('\n'); end != std::string::npos) address_ = line.substr(0, end);
}

PrivateBus::~PrivateBus() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool processRuns(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return false;
  // The state follows the command name in parentheses.
  auto close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

pid_t scriptServerPid(sdbus::IConnection& connection) {
  auto daemon = sdbus::createProxy(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
  uint32_t pid = 0;
  daemon->callMethod("GetConnectionUnixProcessID")
      .onInterface("org.freedesktop.DBus")
      .withArguments(std::string("UTVEX.Script"))
      .storeResultsTo(pid);
  return static_cast<pid_t>(pid);
}

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace vx::script::testing
