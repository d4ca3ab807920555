// Finishing a connection (the whole NV database load) and then reading every
// leaf of every item through the connection object, from a simulated UT at
// unlimited line speed and on a line paced at 115200 bit/s; and a backup of
// every item and its restore into the UT on the paced line. The paced time is
// set against the wire time of the bytes that actually crossed the line in
// both directions, framing included: the part of the time that is not the
// line's is the suite's own.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kmx/sim/nv_catalogue.h"
#include "kmx/sim/ut_simulator.h"
#include "private_runtime.h"
#include "vxconnect.h"

namespace {

constexpr double kLineRate = 115200.0;

double gPacedRatio = 0;
double gSaveRatio = 0;
double gRestoreRatio = 0;
double gPacedSeconds = 0;
double gUnpacedSeconds = 0;

// Every leaf path of every item, as the UT's catalogue names them.
std::vector<std::u16string> everyLeaf(const kmx::sim::NvCatalogue& catalogue) {
  std::vector<std::u16string> paths;
  for (const std::string& name : catalogue.entryNames()) {
    for (const std::string& path : catalogue.leafPaths(name)) paths.push_back(vx::com::Utf8ToUtf16(path));
  }
  return paths;
}

void finishAndReadEverything(benchmark::State& state, bool paced) {
  kmx::sim::SimulatorOptions options;
  options.portName = "CONNBENCH";
  options.pacing = paced;
  kmx::sim::UtSimulator sim(options);
  if (!sim.start()) {
    state.SkipWithError("no simulator");
    return;
  }
  const auto leaves = everyLeaf(*sim.catalogue());
  vx::com::ComPtr<IVexConnectionExt> connection;
  vx::com::ComPtr<IVexParams1> params;
  if (vx::com::CreateInstance(CLSID_VexConnection, &connection) != S_OK || connection.As(&params) != S_OK) {
    state.SkipWithError("no connection object");
    return;
  }
  connection->SetComPortName("CONNBENCH");
  connection->SetTimeout(10);
  connection->SetMessagesEnabled(0);

  double seconds = 0;
  uint64_t wireBytes = 0;
  uint64_t requests = 0;
  std::size_t leavesRead = 0;
  for (auto _ : state) {
    if (connection->StartConnection() != S_OK) {
      state.SkipWithError("link not up");
      break;
    }
    sim.waitUntil([](const auto& c) { return c.utRate == 115200 && c.hostRate == 115200; }, 5000);
    const auto before = sim.counters();
    const auto start = std::chrono::steady_clock::now();
    HRESULT hr = connection->FinishConnecting(u"000000");
    leavesRead = 0;
    for (const std::u16string& path : leaves) {
      if (FAILED(hr)) break;
      NVNodeDataType type{};
      UI4 value = 0;
      if (SUCCEEDED(params->ReadNode32BitValue(path.c_str(), &type, &value))) ++leavesRead;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto after = sim.counters();
    state.SetIterationTime(elapsed);
    connection->CloseConnection();
    if (FAILED(hr)) {
      state.SkipWithError("FinishConnecting failed");
      break;
    }
    seconds += elapsed;
    wireBytes += (after.bytesFromHost - before.bytesFromHost) + (after.bytesToHost - before.bytesToHost);
    requests += after.framesReceived - before.framesReceived;
  }
  if (state.iterations() == 0 || seconds == 0) return;
  const double perRun = seconds / static_cast<double>(state.iterations());
  const double bytesPerRun = static_cast<double>(wireBytes) / static_cast<double>(state.iterations());
  const double wireSeconds = bytesPerRun * 10.0 / kLineRate;
  state.counters["leaves"] = static_cast<double>(leavesRead);
  state.counters["wire_bytes"] = bytesPerRun;
  state.counters["round_trips"] = static_cast<double>(requests) / static_cast<double>(state.iterations());
  state.counters["wire_ms"] = wireSeconds * 1e3;
  if (paced) {
    gPacedSeconds = perRun;
    gPacedRatio = perRun / wireSeconds;
    state.counters["ratio_to_wire"] = gPacedRatio;
  } else {
    gUnpacedSeconds = perRun;
  }
}

void BM_FinishAndReadEveryLeafUnpaced(benchmark::State& state) { finishAndReadEverything(state, false); }
BENCHMARK(BM_FinishAndReadEveryLeafUnpaced)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_FinishAndReadEveryLeafPaced(benchmark::State& state) { finishAndReadEverything(state, true); }
BENCHMARK(BM_FinishAndReadEveryLeafPaced)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// The line's bytes and time of one step.
struct Step {
  double seconds = 0;
  uint64_t bytes = 0;
  double ratio() const { return seconds / (static_cast<double>(bytes) * 10.0 / kLineRate); }
};

template <class Work>
Step measure(kmx::sim::UtSimulator& sim, Work work) {
  const auto before = sim.counters();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = work();
  Step step;
  step.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto after = sim.counters();
  step.bytes = (after.bytesFromHost - before.bytesFromHost) + (after.bytesToHost - before.bytesToHost);
  if (!ok) step.seconds = -1;
  return step;
}

// A backup of the whole catalogue and its restore into the UT, on a paced
// line, each against the wire time of the bytes it moved.
void BM_SaveAndRestorePaced(benchmark::State& state) {
  kmx::sim::SimulatorOptions options;
  options.portName = "FILEBENCH";
  options.pacing = true;
  kmx::sim::UtSimulator sim(options);
  vx::com::ComPtr<IVexConnectionExt> connection;
  vx::com::ComPtr<IVexFile> file;
  if (!sim.start() || vx::com::CreateInstance(CLSID_VexConnection, &connection) != S_OK ||
      connection.As(&file) != S_OK) {
    state.SkipWithError("no simulator or connection object");
    return;
  }
  connection->SetComPortName("FILEBENCH");
  connection->SetTimeout(10);
  connection->SetMessagesEnabled(0);
  const std::string dir = std::getenv("KMX_RUNTIME_DIR");
  const std::string backup = dir + "/bench.nv";
  const std::string report = dir + "/bench-report.txt";
  Step save, restore;
  for (auto _ : state) {
    if (connection->StartConnection() != S_OK) {
      state.SkipWithError("link not up");
      break;
    }
    sim.waitUntil([](const auto& c) { return c.utRate == 115200 && c.hostRate == 115200; }, 5000);
    if (connection->FinishConnecting(u"000000") != S_OK) {
      state.SkipWithError("FinishConnecting failed");
      break;
    }
    save = measure(sim, [&] { return file->WriteNVToFile(backup.c_str()) == S_OK; });
    restore = measure(sim, [&] { return file->ReadNVFromFile(backup.c_str(), report.c_str(), 1) == S_OK; });
    connection->CloseConnection();
    if (save.seconds < 0 || restore.seconds < 0) {
      state.SkipWithError("save or restore failed");
      break;
    }
    state.SetIterationTime(save.seconds + restore.seconds);
  }
  if (save.bytes == 0 || restore.bytes == 0) return;
  gSaveRatio = save.ratio();
  gRestoreRatio = restore.ratio();
  state.counters["save_ms"] = save.seconds * 1e3;
  state.counters["save_bytes"] = static_cast<double>(save.bytes);
  state.counters["restore_ms"] = restore.seconds * 1e3;
  state.counters["restore_bytes"] = static_cast<double>(restore.bytes);
}
BENCHMARK(BM_SaveAndRestorePaced)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  kmx::bench::PrivateRuntime runtime("kmx-connection-bench");
  if (!runtime.ready()) return 1;
  // Only the fresh build's libraries serve classes.
  const char* dir = std::getenv("KMX_RUNTIME_DIR");
  setenv("XDG_DATA_HOME", dir, 1);
  setenv("XDG_DATA_DIRS", dir, 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gPacedRatio > 0) {
    std::printf("ratio: finish connecting and read every leaf on a paced UT to the wire time of its bytes, "
                "%.3f (target <= 1.15; %.0f ms paced, %.0f ms unpaced)\n",
                gPacedRatio, gPacedSeconds * 1e3, gUnpacedSeconds * 1e3);
  }
  if (gSaveRatio > 0) {
    std::printf("ratio: save of every NV item on a paced UT to the wire time of its bytes, %.3f (target <= 1.15)\n",
                gSaveRatio);
    std::printf("ratio: restore of that file into the UT to the wire time of its bytes, %.3f (target <= 1.3)\n",
                gRestoreRatio);
  }
  return 0;
}
