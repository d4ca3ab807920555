// Round trip of one 64-byte message between two processes through two
// mailboxes (the parent sends on A, an echo child receives it and sends it
// back on B), compared with the same ping-pong over a Unix-domain socket pair
// measured in the same run. The mailbox benchmark reports the ratio as the
// counter "ratio_to_socket", and a summary line follows the table.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "mailbox_round_trip.h"
#include "socket_round_trip.h"

namespace {

double gSocketNs = 0;   // per round trip, from the last (longest) socket run
double gMailboxNs = 0;  // per round trip, from the last (longest) mailbox run

void BM_SocketRoundTrip(benchmark::State& state) { kmx::bench::socketRoundTrip(state, &gSocketNs); }

void BM_MailboxRoundTrip(benchmark::State& state) {
  kmx::bench::mailboxRoundTrip(state, &gMailboxNs);
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
