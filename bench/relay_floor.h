// The least a link server can spend on one paced command: a relay thread that
// wakes for the client's command, passes it to the line, wakes again when the
// answer can be complete and passes that back. One pipe stands for the
// client's command event, one for its reply event, and a Unix packet socket
// for the serial line, whose far end answers as the simulated paced line
// does: after the request's line time, one message per byte, a byte time
// apart. Such a line cannot be read in one wake-up woken by the line: the
// first byte would wake the reader, so a relay (like the server) sleeps on a
// timer until the answer can be complete and takes its bytes in one call.
// The relay's CPU time per command is the floor the server is measured
// against.
#pragma once

#include <benchmark/benchmark.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
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
  // The far end of the line: one answer per frame, its bytes a byte time
  // apart once the request has crossed the line.
  const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / baudRate);
  std::thread ut([&] {
    prctl(PR_SET_TIMERSLACK, 1UL);  // each byte on time, as the simulator sends it
    std::array<char, 256> frame{};
    for (;;) {
      const ssize_t n = recv(fds.line[1], frame.data(), frame.size(), 0);
      if (n <= 0) return;
      auto due = std::chrono::steady_clock::now() + byteTime * n;
      for (ssize_t i = 0; i < n; ++i, due += byteTime) {
        std::this_thread::sleep_until(due);
        if (send(fds.line[1], &frame[static_cast<std::size_t>(i)], 1, 0) != 1) return;
      }
    }
  });
  // The relay: what any server must do per command, and nothing more. It
  // sleeps until both frames can have crossed the line (and a byte time
  // more, for the far end's own lateness, as the server allows), then takes
  // the answer's bytes in batches, one call for all that are waiting.
  const timespec answerTime{0, static_cast<long>((2 * frameBytes + 1) * 1'000'000'000ULL / (baudRate / 10))};
  std::thread relay([&] {
    prctl(PR_SET_TIMERSLACK, 1UL);
    std::array<char, 256> frame{};
    frame.fill('f');
    std::array<char, 16> bytes{};
    std::array<iovec, 16> iov{};
    std::array<mmsghdr, 16> headers{};
    char token = 0;
    for (;;) {
      if (!waitReadable(fds.command[0]) || read(fds.command[0], &token, 1) != 1 || token == 0) return;
      if (send(fds.line[0], frame.data(), frameBytes, 0) < 0) return;
      ppoll(nullptr, 0, &answerTime, nullptr);
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
