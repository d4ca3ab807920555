// Round trip of one 64-byte message between two processes through two
// mailboxes (the parent sends on A, an echo child receives it and sends it
// back on B), compared with the same ping-pong over a Unix-domain socket pair
// measured in the same run. The mailbox benchmark reports the ratio as the
// counter "ratio_to_socket", and a summary line follows the table.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "kmx/platform/last_error.h"
#include "socket_round_trip.h"
#include "kmxipc.h"

namespace {

constexpr uint32_t kMessageSize = 64;

double gSocketNs = 0;   // per round trip, from the last (longest) socket run
double gMailboxNs = 0;  // per round trip, from the last (longest) mailbox run

void BM_SocketRoundTrip(benchmark::State& state) { kmx::bench::socketRoundTrip(state, &gSocketNs); }

void BM_MailboxRoundTrip(benchmark::State& state) {
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
    if (IPC_send(out, sizeof out, 1, &a, ipc) != 1 ||
        IPC_receive(in, sizeof in, &length, -1, 1, &b, ipc) != 1 || length != sizeof out) {
      state.SkipWithError("mailbox ping-pong failed");
      break;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  IPC_send("q", 1, 1, &a, ipc);
  kmx::bench::reapChild(child);
  IPC_close(ipc);
  if (state.iterations() > 0) {
    gMailboxNs = std::chrono::duration<double, std::nano>(elapsed).count() /
                 static_cast<double>(state.iterations());
  }
  if (gSocketNs > 0) state.counters["ratio_to_socket"] = gMailboxNs / gSocketNs;
}

// The socket baseline runs first so the mailbox run can report the ratio.
BENCHMARK(BM_SocketRoundTrip)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_MailboxRoundTrip)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  // Named objects go to a private directory unless the caller chose one.
  char dir[] = "/tmp/kmx-ipc-bench-XXXXXX";
  const bool ownDir = getenv("KMX_RUNTIME_DIR") == nullptr && mkdtemp(dir) != nullptr;
  if (ownDir) setenv("KMX_RUNTIME_DIR", dir, 1);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gSocketNs > 0 && gMailboxNs > 0) {
    std::printf(
        "ratio: mailbox round trip %.0f ns to socket round trip %.0f ns, %.3f (target <= 0.8)\n",
        gMailboxNs, gSocketNs, gMailboxNs / gSocketNs);
  }
  if (ownDir) rmdir(dir);
  return 0;
}
