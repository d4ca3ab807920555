// The baseline that inter-process round trips are measured against: one
// 64-byte message to an echo child over a Unix stream socket pair and back.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace kmx::bench {

inline bool readFull(int fd, char* buf, size_t length) {
  while (length > 0) {
    ssize_t n = read(fd, buf, length);
    if (n <= 0) return false;
    buf += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

inline bool writeFull(int fd, const char* buf, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, buf, length);
    if (n <= 0) return false;
    buf += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

inline void reapChild(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Runs the benchmark loop; stores the mean nanoseconds per round trip.
inline void socketRoundTrip(benchmark::State& state, double* nsPerRoundTrip) {
  constexpr size_t kMessageSize = 64;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    char buf[kMessageSize];
    while (readFull(fds[1], buf, sizeof buf) && writeFull(fds[1], buf, sizeof buf)) {
    }
    _exit(0);
  }
  close(fds[1]);
  char out[kMessageSize];
  char in[kMessageSize];
  std::memset(out, 'p', sizeof out);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (!writeFull(fds[0], out, sizeof out) || !readFull(fds[0], in, sizeof in)) {
      state.SkipWithError("socket ping-pong failed");
      break;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  close(fds[0]);  // the child sees end of file and leaves
  reapChild(child);
  if (state.iterations() > 0) {
    *nsPerRoundTrip = std::chrono::duration<double, std::nano>(elapsed).count() /
                      static_cast<double>(state.iterations());
  }
}

}  // namespace kmx::bench
