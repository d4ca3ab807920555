#include "serial_ports.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

namespace vx::cli {
namespace {

namespace fs = std::filesystem;

// The nodes "<prefix><digits>" in `dir`, in numeric order.
std::vector<std::string> numberedNodes(const fs::path& dir, const std::string& prefix) {
  std::vector<std::pair<unsigned long, std::string>> found;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || !name.starts_with(prefix)) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    found.emplace_back(std::stoul(digits), it->path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& [number, path] : found) paths.push_back(std::move(path));
  return paths;
}

std::string firstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The tty's driver. Newer kernels put each port on a "serial-base" bus of
// its own between the tty and the hardware's driver: that one is named.
std::string driverOf(const fs::path& sysTty, const std::string& kernelName) {
  std::error_code ec;
  fs::path device = fs::canonical(sysTty / kernelName / "device", ec);
  for (int depth = 0; !ec && depth < 4 && !device.empty(); ++depth) {
    const fs::path driver = fs::read_symlink(device / "driver", ec);
    if (ec) return {};
    const bool serialBase = driver.string().find("/serial-base/") != std::string::npos;
    if (!serialBase) return driver.filename().string();
    device = device.parent_path();
  }
  return {};
}

// The 8250 driver registers ports that do not exist: their type is 0.
bool uartPresent(const fs::path& sysTty, const std::string& kernelName) {
  std::error_code ec;
  if (!fs::exists(sysTty / kernelName / "device", ec)) return false;
  const std::string type = firstLine(sysTty / kernelName / "type");
  return type.empty() || type != "0";
}

std::string groupName(gid_t gid) {
  std::vector<char> buffer(4096);
  group entry{};
  group* result = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr) return result->gr_name;
  return {};
}

void noteAccess(SerialPort& port, const std::string& path) {
  port.accessible = ::access(path.c_str(), R_OK | W_OK) == 0;
  struct stat info {};
  if (!port.accessible && ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
    port.group = groupName(info.st_gid);
  }
}

}  // namespace

std::vector<SerialPort> listSerialPorts(const PortRoots& roots) {
  std::vector<SerialPort> ports;
  std::set<std::string> named;  // kernel names a by-id link leads to
  std::vector<std::string> byId;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(roots.dev) / "serial" / "by-id", ec), end; !ec && it != end;
       it.increment(ec)) {
    byId.push_back(it->path().string());
  }
  std::sort(byId.begin(), byId.end());
  for (const std::string& link : byId) {
    std::error_code linkError;
    const fs::path target = fs::canonical(link, linkError);
    if (linkError) continue;  // a dangling link: the device has gone
    SerialPort port{link, target.filename().string(), driverOf(roots.sysTty, target.filename().string()), false, false, {}};
    noteAccess(port, link);
    named.insert(port.device);
    ports.push_back(std::move(port));
  }
  for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
    for (const std::string& path : numberedNodes(roots.dev, prefix)) {
      const std::string kernelName = fs::path(path).filename().string();
      if (named.count(kernelName) != 0) continue;
      if (std::string_view(prefix) == "ttyS" && !uartPresent(roots.sysTty, kernelName)) continue;
      SerialPort port{path, kernelName, driverOf(roots.sysTty, kernelName), false, false, {}};
      noteAccess(port, path);
      ports.push_back(std::move(port));
    }
  }
  if (roots.portDir.empty()) return ports;
  std::vector<fs::path> simulated;
  for (fs::directory_iterator it(roots.portDir, ec), end; !ec && it != end; it.increment(ec)) {
    simulated.push_back(it->path());
  }
  std::sort(simulated.begin(), simulated.end());
  for (const fs::path& entry : simulated) {
    std::error_code statError;
    const fs::file_status status = fs::status(entry, statError);
    if (statError || (status.type() != fs::file_type::socket && status.type() != fs::file_type::character)) continue;
    std::error_code linkError;
    const fs::path target = fs::canonical(entry, linkError);
    SerialPort port{entry.filename().string(), linkError ? entry.string() : target.string(), "simulator", true, false, {}};
    noteAccess(port, entry.string());
    ports.push_back(std::move(port));
  }
  return ports;
}

}  // namespace vx::cli
