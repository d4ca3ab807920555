// The script server as a script meets it, over a private D-Bus daemon: a
// `get_` whose value the server already holds, against the bus's own
// `org.freedesktop.DBus.Peer.Ping` to the same server in the same run; and a
// settings round trip (put, CommitChanges, get) on a simulated UT paced at
// 115200 bit/s, against the wire time of the bytes it moved.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
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
  return 0;
}
