// The least a link server can spend on one paced command: a relay thread that
// wakes for the client's command, passes it to the line, wakes again for the
// answer and passes that back. One pipe stands for the client's command event,
// one for its reply event, and a Unix packet socket for the serial line, whose
// far end answers after the time the two frames take at the line rate, one
// message per byte as the simulated line delivers them. The relay's CPU time
// per command is the floor the server is measured against.
#pragma once

#include <benchmark/benchmark.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <thread>

namespace kmx::bench {

struct RelayFloor {
  double cpuUsPerCommand = -1;
  double commandsPerSecond = 0;
};

namespace relay_floor_detail {

inline double threadCpuSeconds(pthread_t thread) {
  clockid_t clock;
  timespec ts{};
  if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &ts) != 0) return -1;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline bool waitReadable(int fd) {
  pollfd set{fd, POLLIN, 0};
  return ppoll(&set, 1, nullptr, nullptr) == 1 && (set.revents & POLLIN) != 0;
}

struct Fds {
  int command[2]{-1, -1};
  int reply[2]{-1, -1};
  int line[2]{-1, -1};
  bool open() {
    return pipe(command) == 0 && pipe(reply) == 0 && socketpair(AF_UNIX, SOCK_SEQPACKET, 0, line) == 0;
  }
  ~Fds() {
    for (int fd : {command[0], command[1], reply[0], reply[1], line[0], line[1]}) {
      if (fd >= 0) close(fd);
    }
  }
};

}  // namespace relay_floor_detail

// Runs the benchmark loop with frames of `frameBytes` each way at `baudRate`.
inline RelayFloor relayFloor(benchmark::State& state, std::size_t frameBytes, unsigned baudRate) {
  using namespace relay_floor_detail;
  Fds fds;
  if (!fds.open()) {
    state.SkipWithError("pipes or socket pair failed");
    return {};
  }
  const auto lineTime = std::chrono::microseconds(2 * frameBytes * 10'000'000 / baudRate);

  // The far end of the line: one answer per frame, after the line time, a
  // message per byte.
  std::thread ut([&] {
    std::array<char, 256> frame{};
    for (;;) {
      const ssize_t n = recv(fds.line[1], frame.data(), frame.size(), 0);
      if (n <= 0) return;
      std::this_thread::sleep_for(lineTime);
      for (ssize_t i = 0; i < n; ++i) {
        if (send(fds.line[1], &frame[static_cast<std::size_t>(i)], 1, 0) != 1) return;
      }
    }
  });
  // The relay: what any server must do per command, and nothing more. The
  // answer's bytes are taken in batches, one call for all that are waiting.
  std::thread relay([&] {
    std::array<char, 256> frame{};
    frame.fill('f');
    std::array<char, 16> bytes{};
    std::array<iovec, 16> iov{};
    std::array<mmsghdr, 16> headers{};
    char token = 0;
    for (;;) {
      if (!waitReadable(fds.command[0]) || read(fds.command[0], &token, 1) != 1 || token == 0) return;
      if (send(fds.line[0], frame.data(), frameBytes, 0) < 0) return;
      for (std::size_t answered = 0; answered < frameBytes;) {
        if (!waitReadable(fds.line[0])) return;
        for (std::size_t i = 0; i < headers.size(); ++i) {
          iov[i] = {&bytes[i], 1};
          headers[i] = mmsghdr{};
          headers[i].msg_hdr.msg_iov = &iov[i];
          headers[i].msg_hdr.msg_iovlen = 1;
        }
        const int got = recvmmsg(fds.line[0], headers.data(), headers.size(), MSG_DONTWAIT, nullptr);
        if (got <= 0) return;
        answered += static_cast<std::size_t>(got);
      }
      if (write(fds.reply[1], &token, 1) != 1) return;
    }
  });

  const double cpuStart = threadCpuSeconds(relay.native_handle());
  const auto start = std::chrono::steady_clock::now();
  char token = 1;
  for (auto _ : state) {
    if (write(fds.command[1], &token, 1) != 1 || read(fds.reply[0], &token, 1) != 1) {
      state.SkipWithError("relay failed");
      break;
    }
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = threadCpuSeconds(relay.native_handle()) - cpuStart;

  token = 0;  // the relay's sign to end
  (void)!write(fds.command[1], &token, 1);
  relay.join();
  shutdown(fds.line[0], SHUT_RDWR);
  ut.join();

  RelayFloor floor;
  if (state.iterations() > 0 && wall > 0) {
    floor.cpuUsPerCommand = cpu * 1e6 / static_cast<double>(state.iterations());
    floor.commandsPerSecond = static_cast<double>(state.iterations()) / wall;
  }
  return floor;
}

}  // namespace kmx::bench
