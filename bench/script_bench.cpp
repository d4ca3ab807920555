// The script server as a script meets it, over a private D-Bus daemon: a
// `get_` whose value the server already holds, against the bus's own
// `org.freedesktop.DBus.Peer.Ping` to the same server in the same run; a
// settings round trip (put, CommitChanges, get) on a simulated UT paced at
// 115200 bit/s, against the wire time of the bytes it moved; and the Ping's
// 99th percentile while another caller's paced backup runs, against the
// same figure on the idle server.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "kmx/sim/ut_simulator.h"
#include "private_runtime.h"
#include "script_session.h"

namespace {

constexpr double kLineRate = 115200.0;
using kmx::bench::kScriptInterface;

// One connected script object on a paced simulated UT, shared by the
// benchmarks of the run.
using Session = kmx::bench::ScriptSession;
Session* gSession = nullptr;

double gPingSeconds = 0;
double gCachedGetSeconds = 0;
double gRoundTripRatio = 0;
double gIdlePingP99 = 0;
double gBusyPingP99 = 0;

// Pings the server `count` times, a few milliseconds apart, and answers
// the 99th percentile of the round trips, in seconds.
double pingP99(benchmark::State& state) {
  std::vector<double> samples;
  for (auto _ : state) {
    const auto sent = std::chrono::steady_clock::now();
    gSession->object->callMethod("Ping").onInterface("org.freedesktop.DBus.Peer");
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    state.SetIterationTime(took);
    samples.push_back(took);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const double p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
  state.counters["p99_us"] = p99 * 1e6;
  return p99;
}

void BM_PingIdle(benchmark::State& state) { gIdlePingP99 = pingP99(state); }

// Another caller, on its own bus connection and its own object, backs the
// paced UT up again and again while the Pings are measured.
void BM_PingDuringPacedBackup(benchmark::State& state) {
  std::atomic<bool> stop{false};
  std::atomic<bool> failed{false};
  const std::string backup = std::string(std::getenv("KMX_RUNTIME_DIR")) + "/bench.vex";
  std::thread saver([&] {
    try {
      auto own = sdbus::createSessionBusConnectionWithAddress(gSession->bus->address());
      auto factory = sdbus::createProxy(*own, kmx::bench::kScriptService, "/UTVEX/Script");
      sdbus::ObjectPath path;
      factory->callMethod("CreateObject").onInterface("UTVEX.ScriptFactory").storeResultsTo(path);
      auto object = sdbus::createProxy(*own, kmx::bench::kScriptService, path);
      int16_t linkState = 0;
      object->callMethod("Connect")
          .onInterface(kScriptInterface)
          .withTimeout(std::chrono::seconds(120))
          .withArguments(std::string("SCRIPTBENCH"), int32_t{115200}, int32_t{-1}, std::string("000000"))
          .storeResultsTo(linkState);
      while (!stop) {
        object->callMethod("SaveSettings").onInterface(kScriptInterface).withTimeout(std::chrono::minutes(5))
            .withArguments(backup);
      }
    } catch (const sdbus::Error&) {
      failed = true;
    }
  });
  // Measured once the backup is reading items.
  const uint32_t before = gSession->sim->counters().framesReceived;
  while (!failed && gSession->sim->counters().framesReceived < before + 50) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  gBusyPingP99 = pingP99(state);
  stop = true;
  saver.join();
  if (failed) state.SkipWithError("the backup failed");
}

void BM_PeerPing(benchmark::State& state) {
  for (auto _ : state) gSession->object->callMethod("Ping").onInterface("org.freedesktop.DBus.Peer");
}

void BM_CachedGet(benchmark::State& state) {
  int32_t value = 0;
  // The first read fills the cache; the measured reads must not reach the UT
  // (ut_frames counts only the object's own poll of the link).
  gSession->object->callMethod("get_NoServiceTimeUntilSleep").onInterface(kScriptInterface).storeResultsTo(value);
  const uint32_t framesBefore = gSession->sim->counters().framesReceived;
  for (auto _ : state) {
    gSession->object->callMethod("get_NoServiceTimeUntilSleep").onInterface(kScriptInterface).storeResultsTo(value);
  }
  state.counters["ut_frames"] = gSession->sim->counters().framesReceived - framesBefore;
}

// Put a changed value, commit it to the UT and read it back.
void BM_SettingsRoundTripPaced(benchmark::State& state) {
  auto& object = *gSession->object;
  int32_t minutes = 5;
  double seconds = 0;
  uint64_t wireBytes = 0;
  uint64_t frames = 0;
  for (auto _ : state) {
    minutes = minutes == 5 ? 6 : 5;
    const auto before = gSession->sim->counters();
    const auto start = std::chrono::steady_clock::now();
    object.callMethod("put_NoServiceTimeUntilSleep").onInterface(kScriptInterface).withArguments(minutes);
    object.callMethod("CommitChanges").onInterface(kScriptInterface);
    int32_t readBack = 0;
    object.callMethod("get_NoServiceTimeUntilSleep").onInterface(kScriptInterface).storeResultsTo(readBack);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto after = gSession->sim->counters();
    if (readBack != minutes) {
      state.SkipWithError("the value read back is not the one written");
      return;
    }
    state.SetIterationTime(elapsed);
    seconds += elapsed;
    wireBytes += (after.bytesFromHost - before.bytesFromHost) + (after.bytesToHost - before.bytesToHost);
    frames += after.framesReceived - before.framesReceived;
  }
  if (state.iterations() == 0 || wireBytes == 0) return;
  const double runs = static_cast<double>(state.iterations());
  const double wireSeconds = static_cast<double>(wireBytes) / runs * 10.0 / kLineRate;
  gRoundTripRatio = seconds / runs / wireSeconds;
  state.counters["wire_bytes"] = static_cast<double>(wireBytes) / runs;
  state.counters["round_trips"] = static_cast<double>(frames) / runs;
  state.counters["wire_ms"] = wireSeconds * 1e3;
  state.counters["ratio_to_wire"] = gRoundTripRatio;
}

BENCHMARK(BM_PeerPing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CachedGet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SettingsRoundTripPaced)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_PingIdle)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(400);
BENCHMARK(BM_PingDuringPacedBackup)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(400);

// Reports each run's mean time per iteration, so that the ratios come from
// the same figures the table shows.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      const double perIteration = run.real_accumulated_time / static_cast<double>(run.iterations);
      if (run.benchmark_name() == "BM_PeerPing") gPingSeconds = perIteration;
      if (run.benchmark_name() == "BM_CachedGet") gCachedGetSeconds = perIteration;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  kmx::bench::PrivateRuntime runtime("kmx-script-bench");
  if (!runtime.ready()) return 1;
  Session session;
  if (const std::string failed = session.start("SCRIPTBENCH"); !failed.empty()) {
    std::fprintf(stderr, "script_bench: %s\n", failed.c_str());
    return 1;
  }
  gSession = &session;

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  gSession = nullptr;
  try {
    session.object->callMethod("Release").onInterface(kScriptInterface);
  } catch (const sdbus::Error&) {
    // The server ends by itself when its last object goes or the bus ends.
  }

  if (gPingSeconds > 0 && gCachedGetSeconds > 0) {
    std::printf("ratio: get_ of a cached value to Peer.Ping on the same bus, %.3f (target <= 2; %.1f us, %.1f us)\n",
                gCachedGetSeconds / gPingSeconds, gCachedGetSeconds * 1e6, gPingSeconds * 1e6);
  }
  if (gRoundTripRatio > 0) {
    std::printf("ratio: put, CommitChanges and get on a paced UT to the wire time of its bytes, %.3f "
                "(target <= 1.3)\n",
                gRoundTripRatio);
  }
  if (gIdlePingP99 > 0 && gBusyPingP99 > 0) {
    std::printf("ratio: Peer.Ping p99 during another caller's paced backup to p99 on the idle server, %.3f "
                "(target <= 2; %.1f us, %.1f us)\n",
                gBusyPingP99 / gIdlePingP99, gBusyPingP99 * 1e6, gIdlePingP99 * 1e6);
  }
  return 0;
}
