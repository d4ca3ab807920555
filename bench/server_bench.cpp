// The link server end to end: a client's NV read through the server to the
// UT simulator and back, against the Unix-socket round trip of the same run;
// and the server's CPU time per second of wall time while the simulator
// paces the line at 115200 bit/s under a continuous command load, with its
// CPU time per command against a bare relay's of the same run.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kmx/platform/process.h"
#include "kmx/platform/wait.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx_messages.h"
#include "private_runtime.h"
#include "relay_floor.h"
#include "socket_round_trip.h"
#include "wire_client.h"

namespace {

using kmx::server::wire::WireClient;
using kmx::server::wire::words;

double gSocketNs = 0;
double gNvReadNs = 0;

// The server under test: the one built with this benchmark, or the program
// KMX_BENCH_SERVER names (another build, to compare two servers in turn).
const char* serverProgram() {
  const char* other = std::getenv("KMX_BENCH_SERVER");
  return other != nullptr && other[0] != '\0' ? other : KMXSERVER_PATH;
}

// A simulator on a private port and a client whose link is up.
struct Rig {
  explicit Rig(bool paced) {
    kmx::sim::SimulatorOptions options;
    options.portName = "BENCH";
    options.pacing = paced;
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    if (!sim->start()) return;
    client = std::make_unique<WireClient>("BENCH", serverProgram(), 115200);
    if (!client->connected() || client->openConnection(10, 0) != 1) {
      client.reset();
      return;
    }
    // Wait until the rate negotiation has moved both ends to 115200.
    sim->waitUntil([](const kmx::sim::SimulatorCounters& c) { return c.utRate == 115200 && c.hostRate == 115200; },
                   5000);
  }
  ~Rig() {
    if (!client) return;
    pid_t server = client->serverPid();
    client->close();
    kmx::ProcessWatch watch(server);
    int fds[1] = {watch.fd()};
    if (watch.valid()) kmx::waitForAny(fds, 10000);
  }
  bool ready() const { return client != nullptr; }

  std::unique_ptr<kmx::sim::UtSimulator> sim;
  std::unique_ptr<WireClient> client;
};

const std::vector<uint8_t> kNvRead = words({kmx::msg::kCmdReadNvItem, 1, 0});

void BM_SocketRoundTrip(benchmark::State& state) { kmx::bench::socketRoundTrip(state, &gSocketNs); }

void BM_NvReadThroughServer(benchmark::State& state) {
  Rig rig(false);
  if (!rig.ready()) {
    state.SkipWithError("no server or no link");
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    auto reply = rig.client->command(kNvRead);
    if (reply.size() != 8) {
      state.SkipWithError("NV read failed");
      break;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  if (state.iterations() > 0) {
    gNvReadNs = std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(state.iterations());
  }
  if (gSocketNs > 0) state.counters["ratio_to_socket"] = gNvReadNs / gSocketNs;
}

double processCpuSeconds(pid_t pid) {
  clockid_t clock;
  timespec ts{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &ts) != 0) return -1;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double gServerCpuShare = -1;
double gServerCpuUsPerCommand = -1;
kmx::bench::RelayFloor gFloor;

// An NV read and its answer are about a dozen bytes each on the line.
constexpr std::size_t kNvReadFrameBytes = 12;

// CPU per command is measured three times for the relay and the server
// alike, and each keeps its least: the run other work on the machine
// disturbed least.
constexpr int kCpuRepetitions = 3;

void BM_RelayFloorAtPaced115200(benchmark::State& state) {
  const kmx::bench::RelayFloor floor = kmx::bench::relayFloor(state, kNvReadFrameBytes, 115200);
  if (floor.cpuUsPerCommand > 0 && (gFloor.cpuUsPerCommand < 0 || floor.cpuUsPerCommand < gFloor.cpuUsPerCommand)) {
    gFloor = floor;
  }
  state.counters["relay_cpu_us_per_command"] = floor.cpuUsPerCommand;
  state.counters["commands_per_s"] = floor.commandsPerSecond;
}

void BM_ServerCpuAtPaced115200(benchmark::State& state) {
  Rig rig(true);
  if (!rig.ready()) {
    state.SkipWithError("no server or no link");
    return;
  }
  const pid_t server = rig.client->serverPid();
  const double cpuStart = processCpuSeconds(server);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (rig.client->command(kNvRead).size() != 8) {
      state.SkipWithError("NV read failed");
      break;
    }
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = processCpuSeconds(server) - cpuStart;
  const double perCommand = state.iterations() > 0 ? cpu * 1e6 / static_cast<double>(state.iterations()) : -1;
  if (perCommand > 0 && (gServerCpuUsPerCommand < 0 || perCommand < gServerCpuUsPerCommand)) {
    gServerCpuUsPerCommand = perCommand;
    gServerCpuShare = cpu / wall;
  }
  state.counters["server_cpu_per_wall_s"] = cpu / wall;
  state.counters["server_cpu_us_per_command"] = perCommand;
  state.counters["commands_per_s"] = static_cast<double>(state.iterations()) / wall;
}

BENCHMARK(BM_SocketRoundTrip)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_NvReadThroughServer)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RelayFloorAtPaced115200)->UseRealTime()->MinTime(3.0)->Repetitions(kCpuRepetitions);
BENCHMARK(BM_ServerCpuAtPaced115200)->UseRealTime()->MinTime(3.0)->Repetitions(kCpuRepetitions);

}  // namespace

int main(int argc, char** argv) {
  // The named objects on a tmpfs, as in use: on a disk file system every
  // event and mailbox write would also pay for the file system's journal.
  kmx::bench::PrivateRuntime runtime("kmx-server-bench", kmx::bench::PrivateRuntime::tmpfsBase());
  if (!runtime.ready()) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gSocketNs > 0 && gNvReadNs > 0) {
    std::printf("ratio: NV read through the server %.0f ns to socket round trip %.0f ns, %.1f\n", gNvReadNs,
                gSocketNs, gNvReadNs / gSocketNs);
  }
  if (gServerCpuShare >= 0) {
    std::printf("ratio: server CPU time to wall time at a paced 115200 bit/s, %.4f (target <= 0.01)\n",
                gServerCpuShare);
  }
  if (gServerCpuUsPerCommand > 0 && gFloor.cpuUsPerCommand > 0) {
    std::printf(
        "ratio: server CPU per paced command %.1f us to a bare relay's %.1f us (%.4f of a core at its rate), %.2f\n",
        gServerCpuUsPerCommand, gFloor.cpuUsPerCommand, gFloor.cpuUsPerCommand * gFloor.commandsPerSecond / 1e6,
        gServerCpuUsPerCommand / gFloor.cpuUsPerCommand);
  }
  return 0;
}
