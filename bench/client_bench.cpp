// The client library end to end: an NV read through the public API (client
// library, server, simulator and back) against the least it can take,
// measured in the same run: a mailbox round trip between two processes plus
// a round trip of the same request straight to a simulator's port (and, for
// scale, a Unix-socket round trip); and the rate of log packets one client
// receives while the simulator streams log data on many codes as fast as it
// can, with the server's drop counts.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "kmx/sim/ut_simulator.h"
#include "kmxclient.h"
#include "mailbox_round_trip.h"
#include "private_runtime.h"
#include "sim_round_trip.h"
#include "socket_round_trip.h"

namespace {

double gSocketNs = 0;
double gMailboxNs = 0;
double gSimulatorNs = 0;
double gNvReadNs = 0;

// A simulator on a private port and a connection whose link is up at
// 115200 bit/s.
struct Rig {
  Rig() {
    kmx::sim::SimulatorOptions options;
    options.portName = "BENCH";
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    if (!sim->start()) {
      std::fprintf(stderr, "simulator: %s\n", sim->lastError().c_str());
      return;
    }
    connection = KMXCreateConnection("BENCH", 115200);
    uint32_t state = 0;
    if (connection == nullptr || KMXOpenConnection(connection, 10, nullptr, 0, &state, nullptr) != 1 ||
        state != KMX_LINK_UP) {
      std::fprintf(stderr, "connection: %s (link state %u)\n", KMXGetErrorDesc(KMXGetLastError()), state);
      return;
    }
    sim->waitUntil([](const kmx::sim::SimulatorCounters& c) { return c.utRate == 115200 && c.hostRate == 115200; },
                   5000);
    ready = true;
  }
  ~Rig() {
    if (connection != nullptr) KMXCloseHandle(connection);
  }

  std::unique_ptr<kmx::sim::UtSimulator> sim;
  void* connection = nullptr;
  bool ready = false;
};

void BM_SocketRoundTrip(benchmark::State& state) { kmx::bench::socketRoundTrip(state, &gSocketNs); }

void BM_MailboxRoundTrip(benchmark::State& state) { kmx::bench::mailboxRoundTrip(state, &gMailboxNs); }

// A simulator of its own, unpaced like the rig's, on a port no server holds.
void BM_SimulatorRoundTrip(benchmark::State& state) {
  kmx::sim::SimulatorOptions options;
  options.portName = "BENCHLINE";
  kmx::sim::UtSimulator sim(options);
  if (!sim.start()) {
    state.SkipWithError(sim.lastError().c_str());
    return;
  }
  kmx::bench::simulatorRoundTrip(state, options.portName, &gSimulatorNs);
}

void BM_NvReadThroughClientLibrary(benchmark::State& state) {
  Rig rig;
  if (!rig.ready) {
    state.SkipWithError("no server or no link");
    return;
  }
  uint8_t buffer[16];
  uint32_t length = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (KMXReadNVItemData(rig.connection, 1, 0, buffer, sizeof buffer, &length) != 1 || length != 4) {
      state.SkipWithError("NV read failed");
      break;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  if (state.iterations() > 0) {
    gNvReadNs = std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(state.iterations());
  }
  if (gMailboxNs + gSimulatorNs > 0) state.counters["ratio_to_floor"] = gNvReadNs / (gMailboxNs + gSimulatorNs);
}

std::atomic<uint64_t> gLogPackets{0};
double gReceivedToSent = -1;

void countPacket(uint32_t, uint8_t, uint32_t, uint32_t, const void*, uint32_t, void*) { ++gLogPackets; }

// Each log stream of the simulator sends at most one packet a millisecond;
// sixteen of them together keep the line and the server busy.
constexpr uint8_t kStreams = 16;
constexpr uint32_t kLogDataSize = 32;

void BM_LogPacketsReceived(benchmark::State& state) {
  Rig rig;
  if (!rig.ready) {
    state.SkipWithError("no server or no link");
    return;
  }
  for (uint8_t code = 1; code <= kStreams; ++code) {
    if (KMXOpenAsyncData(rig.connection, code, countPacket, nullptr) == nullptr) {
      state.SkipWithError("registration failed");
      return;
    }
  }
  for (uint8_t code = 1; code <= kStreams; ++code) rig.sim->startLogStream(code, 1000, kLogDataSize);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // streams under way

  const uint64_t receivedBefore = gLogPackets;
  const uint32_t sentBefore = rig.sim->counters().unsolicitedSent;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const uint64_t received = gLogPackets - receivedBefore;
  const uint32_t sent = rig.sim->counters().unsolicitedSent - sentBefore;
  for (uint8_t code = 1; code <= kStreams; ++code) rig.sim->stopLogStream(code);

  uint32_t droppedForClient = 0, droppedForAll = 0;
  KMXGetAsyncDropPktCnts(rig.connection, &droppedForClient, &droppedForAll);
  if (sent > 0) gReceivedToSent = static_cast<double>(received) / static_cast<double>(sent);
  state.counters["received_per_s"] = static_cast<double>(received) / wall;
  state.counters["ut_sent_per_s"] = static_cast<double>(sent) / wall;
  state.counters["dropped_for_client"] = droppedForClient;
  state.counters["dropped_for_all"] = droppedForAll;
}

BENCHMARK(BM_SocketRoundTrip)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_MailboxRoundTrip)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_SimulatorRoundTrip)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_NvReadThroughClientLibrary)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LogPacketsReceived)->UseRealTime()->Iterations(30);

}  // namespace

int main(int argc, char** argv) {
  // The named objects on a tmpfs, where the runtime directory lives in use.
  kmx::bench::PrivateRuntime runtime("kmx-client-bench", kmx::bench::PrivateRuntime::tmpfsBase());
  if (!runtime.ready()) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gMailboxNs > 0 && gSimulatorNs > 0 && gNvReadNs > 0) {
    std::printf(
        "ratio: NV read through the client library %.0f ns to a mailbox round trip %.0f ns plus the simulator's "
        "%.0f ns, %.2f (target <= 1.2; a Unix-socket round trip is %.0f ns)\n",
        gNvReadNs, gMailboxNs, gSimulatorNs, gNvReadNs / (gMailboxNs + gSimulatorNs), gSocketNs);
  }
  if (gReceivedToSent >= 0) {
    std::printf("ratio: log packets received by the client to packets the UT sent, %.3f\n", gReceivedToSent);
  }
  return 0;
}
