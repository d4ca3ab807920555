// Small helpers shared by the driver's tests.
#pragma once

#include <dirent.h>
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "kmxio.h"

namespace kmx::io::testing {

// True when `fd` polls readable within timeoutMs (0: right now).
inline bool isSignalled(int fd, int timeoutMs = 0) {
  pollfd pfd{fd, POLLIN, 0};
  return ::poll(&pfd, 1, timeoutMs) == 1 && (pfd.revents & POLLIN) != 0;
}

// Reads from the port, waiting on its read event, until `count` bytes came or
// timeoutMs passed.
inline std::vector<uint8_t> readPort(void* port, std::size_t count, int timeoutMs = 5000) {
  std::vector<uint8_t> data;
  const int event = KMXIOGetReadEventHandle(port);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (data.size() < count && std::chrono::steady_clock::now() < deadline) {
    if (!isSignalled(event, 100)) continue;
    uint32_t length = 0;
    const uint8_t* bytes = KMXIOReadData(port, &length);
    if (bytes != nullptr) data.insert(data.end(), bytes, bytes + length);
  }
  return data;
}

inline int openDescriptorCount() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
  }
  return count;
}

}  // namespace kmx::io::testing
