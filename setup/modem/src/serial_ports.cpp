#include "serial_ports.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <system_error>

namespace obnet {

namespace fs = std::filesystem;

namespace {

struct Numbered {
  unsigned number;
  std::string path;
};

// The nodes "<prefix><digits>" in dir, in numeric order.
std::vector<std::string> numberedNodes(const fs::path& dir, const std::string& prefix) {
  std::vector<Numbered> found;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string digits = name.substr(prefix.size());
    if (digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    found.push_back({static_cast<unsigned>(std::stoul(digits)), it->path().string()});
  }
  std::sort(found.begin(), found.end(),
            [](const Numbered& a, const Numbered& b) { return a.number < b.number; });
  std::vector<std::string> paths;
  for (auto& n : found) paths.push_back(std::move(n.path));
  return paths;
}

std::string groupName(gid_t gid) {
  std::vector<char> buffer(4096);
  struct group entry {};
  struct group* result = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr)
    return result->gr_name;
  return {};
}

}  // namespace

bool uartPresent(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EACCES || errno == EBUSY;
  struct serial_struct info {};
  bool present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return present;
}

std::vector<std::string> listSerialPorts(const std::string& devRoot, const UartProbe& probe) {
  std::vector<std::string> ports;
  std::set<fs::path> named;  // nodes a by-id link points at

  std::vector<std::string> byId;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(devRoot) / "serial" / "by-id", ec), end;
       !ec && it != end; it.increment(ec))
    byId.push_back(it->path().string());
  std::sort(byId.begin(), byId.end());
  for (auto& link : byId) {
    std::error_code linkError;
    fs::path target = fs::canonical(link, linkError);
    if (linkError) continue;  // a dangling link: the device has gone
    named.insert(target);
    ports.push_back(link);
  }

  for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
    for (auto& node : numberedNodes(devRoot, prefix)) {
      std::error_code nodeError;
      fs::path canonical = fs::canonical(node, nodeError);
      if (!nodeError && named.count(canonical) != 0) continue;
      if (std::string(prefix) == "ttyS" && probe && !probe(node)) continue;
      ports.push_back(node);
    }
  }
  return ports;
}

PortCheck checkPortOpens(const std::string& path) {
  PortCheck check;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    check.error = errno;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) check.group = groupName(st.st_gid);
    return check;
  }
  ::close(fd);
  return check;
}

}  // namespace obnet
