// One 64-byte message between two processes through two mailboxes and back:
// the parent sends on A, an echo child receives it and sends it back on B.
// The client library's own cost is measured against it.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>

#include "kmx/platform/last_error.h"
#include "kmxipc.h"
#include "socket_round_trip.h"

namespace kmx::bench {

// Runs the benchmark loop; stores the mean nanoseconds per round trip.
inline void mailboxRoundTrip(benchmark::State& state, double* nsPerRoundTrip) {
  constexpr uint32_t kMessageSize = 64;
  const std::string name = "bench" + std::to_string(getpid());
  void* ipc = IPC_create(name.c_str(), 2, 8, kMessageSize, -1);
  void* a = ipc ? IPC_create_mailbox("A", IPC_MODE_SEND, 4, ipc) : nullptr;
  void* b = ipc ? IPC_create_mailbox("B", IPC_MODE_RECEIVE, 4, ipc) : nullptr;
  if (a == nullptr || b == nullptr) {
    state.SkipWithError(("IPC set-up failed: " + std::to_string(GetLastError())).c_str());
    if (ipc) IPC_close(ipc);
    return;
  }
  pid_t child = fork();
  if (child == 0) {
    // The echo side opens the object itself, like a separate program would.
    void* cipc = IPC_open(name.c_str(), -1);
    void* ca = cipc ? IPC_open_mailbox("A", IPC_MODE_RECEIVE, cipc) : nullptr;
    void* cb = cipc ? IPC_open_mailbox("B", IPC_MODE_SEND, cipc) : nullptr;
    if (ca == nullptr || cb == nullptr) _exit(1);
    char buf[kMessageSize];
    uint32_t length = 0;
    // A 1-byte message ends the echo loop.
    while (IPC_receive(buf, sizeof buf, &length, -1, 1, &ca, cipc) == 1 && length != 1) {
      if (IPC_send(buf, length, 1, &cb, cipc) != 1) break;
    }
    IPC_close(cipc);
    _exit(0);
  }
  char out[kMessageSize];
  char in[kMessageSize];
  std::memset(out, 'm', sizeof out);
  uint32_t length = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (IPC_send(out, sizeof out, 1, &a, ipc) != 1 || IPC_receive(in, sizeof in, &length, -1, 1, &b, ipc) != 1 ||
        length != sizeof out) {
      state.SkipWithError("mailbox ping-pong failed");
      break;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  IPC_send("q", 1, 1, &a, ipc);
  reapChild(child);
  IPC_close(ipc);
  if (state.iterations() > 0) {
    *nsPerRoundTrip =
        std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(state.iterations());
  }
}

}  // namespace kmx::bench
