// Loading the NV item database is meant to be bound by decompression, not by
// parsing: the parse of a generated symbol information file of about 10 MB
// and the build of every item's tree are measured against `gzip -d` of the
// same file, run as the load runs it (a separate process that writes the
// unpacked file), in the same run. And a whole load from the simulated UT on
// a line paced at 115200 bit/s, against the wire time of the bytes the load
// must move.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "kmx/sim/ut_simulator.h"
#include "kmx_ut_access.h"
#include "kmxclient.h"
#include "nv_database.h"
#include "nv_loader.h"
#include "private_runtime.h"
#include "symbol_parser.h"

extern char** environ;

namespace {

using namespace vx::nvdb;

constexpr std::size_t kTargetBytes = 10u << 20;

struct Generated {
  std::string text;
  std::vector<std::string> structNames;
};

// Struct types of about twenty members each: scalars, bitfields, arrays,
// enums, pointers and structs made earlier, as a phone's software has them.
Generated generateSymbolInformation() {
  Generated out;
  std::string& text = out.text;
  text.reserve(kTargetBytes + 4096);
  text += "1 T_ULONG:4\n2 T_UCHAR:1\n3 T_USHORT:2\n4 T_LONG:4\n5 T_CHAR:1\n6 T_SHORT:2\n";
  text += "7 T_INT:4\n8 T_UINT:4\n9 T_VOID:4\n";
  int index = 100;
  for (int e = 0; e < 64; ++e) {
    text += std::to_string(index++) + " gen_enum_" + std::to_string(e) + "_type:" + (e % 2 ? "1" : "4") + ":e{";
    for (int c = 0; c < 8; ++c) {
      text += "GEN_" + std::to_string(e) + "_VALUE_" + std::to_string(c) + ":" + std::to_string(c) + (c < 7 ? "," : "}");
    }
    text += "\n";
  }
  const int firstStruct = index;
  constexpr uint32_t kFlatSize = 72;
  while (text.size() < kTargetBytes) {
    const int self = index++;
    const std::string name = "gen_record_" + std::to_string(self) + "_type";
    std::string body = "count,1,0;flags,b,1,1,0,4;mode,b,1,3,1,4;level,b,3,4,4,4;";
    body += "digits,[16]2,8;table,[4,2]6,24;kind," + std::to_string(100 + self % 64) + ",40;";
    body += "handler,F1,44;next,*9,48;limit,4,52;small,5,56;word,8,60;";
    body += "status,b,8,2,8,64;spare,[4]2,68";
    // After the first eight, every record holds one of those eight (which
    // are flat) after its own members.
    const bool nested = self - firstStruct >= 8;
    if (nested) body += ";inner," + std::to_string(firstStruct + self % 8) + "," + std::to_string(kFlatSize);
    text += std::to_string(self) + " " + name + ":" + std::to_string(nested ? 2 * kFlatSize : kFlatSize) +
            ":s{" + body + "}\n";
    out.structNames.push_back(name);
    if (self % 16 == 0) text += "gen_file_" + std::to_string(self) + ".c\n";
    if (self % 4 == 0) {
      text += "gen_global_" + std::to_string(self) + ":[8]" + std::to_string(self) + ":" +
              std::to_string(self * 16) + "\n";
    }
  }
  return out;
}

const Generated& generated() {
  static const Generated g = generateSymbolInformation();
  return g;
}

class ZeroUt : public NvUtAccess {
 public:
  bool readVersionBlock(std::array<uint8_t, kVersionBlockSize>&) override { return false; }
  bool readMemory(uint32_t, std::span<uint8_t>) override { return false; }
  bool listDimension(uint32_t, uint16_t& count) override {
    count = 1;
    return true;
  }
  ItemRead readItem(uint32_t, uint32_t, std::span<uint8_t>) override { return ItemRead::Read; }
};

std::string writeCompressed(const std::string& text) {
  char path[] = "/tmp/nvdb-bench-XXXXXX";
  const int fd = mkstemp(path);
  close(fd);
  unlink(path);
  const std::string gz = std::string(path) + ".gz";
  gzFile file = gzopen(gz.c_str(), "wb6");
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);
  return gz;
}

// Runs gzip and adds the CPU time it used to `cpuSeconds`.
int runGzip(const std::string& gz, double& cpuSeconds) {
  const char* argv[] = {"gzip", "-d", "-f", gz.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "gzip", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return status;
}

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The baseline's wall and CPU time per run. CPU time compares fairly on a
// machine busy with other work; wall time is what a user waits.
double gGzipSeconds = 0;
double gGzipCpuSeconds = 0;
// The figures main() prints as ratio lines.
double gItemsCpuRatio = 0;
double gItemsWallRatio = 0;
double gAllTypesCpuRatio = 0;
double gWireRatio = 0;

void BM_GzipDecompress(benchmark::State& state) {
  const std::string gz = writeCompressed(generated().text);
  const std::string unpacked = gz.substr(0, gz.size() - 3);
  std::ifstream in(gz, std::ios::binary);
  const std::string compressed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  double total = 0;
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(gz, std::ios::binary) << compressed;
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    if (runGzip(gz, cpu) != 0) state.SkipWithError("gzip failed");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  unlink(unpacked.c_str());
  unlink(gz.c_str());
  gGzipSeconds = total / static_cast<double>(state.iterations());
  gGzipCpuSeconds = cpu / static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = gGzipCpuSeconds * 1e3;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * generated().text.size()));
}
BENCHMARK(BM_GzipDecompress)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseOnly(benchmark::State& state) {
  const Generated& g = generated();
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = g.text;
    state.ResumeTiming();
    auto parsed = parseSymbolInformation(std::move(text));
    benchmark::DoNotOptimize(parsed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g.text.size()));
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// Parses the file and expands every `stride`-th record type as an item;
// the ratios to gzip go to *cpuRatio and *wallRatio.
void parseAndBuild(benchmark::State& state, std::size_t stride, double* cpuRatio, double* wallRatio) {
  const Generated& g = generated();
  ZeroUt ut;
  double total = 0;
  double cpu = 0;
  std::size_t nodes = 0;
  std::size_t itemCount = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = g.text;
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    auto parsed = parseSymbolInformation(std::move(text));
    if (!parsed.table) {
      state.SkipWithError("parse error");
      break;
    }
    std::vector<NVItemInfo> items;
    for (std::size_t i = 0; i < g.structNames.size(); i += stride) {
      NVItemInfo item;
      item.name = "NV_GEN_" + std::to_string(i) + "_I";
      item.typeName = g.structNames[i];
      item.itemNumber = static_cast<uint32_t>(items.size());
      item.elementIndex = 0;
      item.instanceCount = 1;
      items.push_back(std::move(item));
    }
    itemCount = items.size();
    NvDatabase database(std::move(*parsed.table), std::move(items));
    nodes = 0;
    for (NVItemInfo& item : database.items()) {
      if (!database.expand(item, ut)) state.SkipWithError("expansion failed");
      nodes += item.nodes.size();
      for (const NVNode& node : item.nodes) {
        if (node.suffix == NodeSuffix::Error) state.SkipWithError("a generated member came out as <error>");
      }
    }
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += threadCpuSeconds() - cpuStart;
    benchmark::DoNotOptimize(nodes);
  }
  const double seconds = total / static_cast<double>(state.iterations());
  const double cpuSeconds = cpu / static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = cpuSeconds * 1e3;
  if (gGzipCpuSeconds > 0) {
    state.counters["cpu_ratio_to_gzip"] = cpuSeconds / gGzipCpuSeconds;
    if (cpuRatio != nullptr) *cpuRatio = cpuSeconds / gGzipCpuSeconds;
  }
  if (gGzipSeconds > 0 && wallRatio != nullptr) *wallRatio = seconds / gGzipSeconds;
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["items"] = static_cast<double>(itemCount);
  if (gGzipSeconds > 0) state.counters["ratio_to_gzip"] = seconds / gGzipSeconds;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g.text.size()));
}

// As a phone's software describes them: the NV items are a small part of
// all its types (here 2000 of some 43 000 record types).
void BM_ParseAndBuildEveryItem(benchmark::State& state) {
  parseAndBuild(state, 21, &gItemsCpuRatio, &gItemsWallRatio);
}
BENCHMARK(BM_ParseAndBuildEveryItem)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst case: every record type of the file is an item, 4 million nodes.
void BM_ParseAndBuildEveryRecordTypeAsAnItem(benchmark::State& state) {
  parseAndBuild(state, 1, &gAllTypesCpuRatio, nullptr);
}
BENCHMARK(BM_ParseAndBuildEveryRecordTypeAsAnItem)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole load through the link server and client library from a UT whose
// line runs at the real speed. The bytes it must move are the compressed
// symbol information, both item tables and a 2-byte list dimension per
// item name, at 10 bits a byte.
void BM_LoadFromPacedSimulator(benchmark::State& state) {
  kmx::sim::SimulatorOptions options;
  options.portName = "NVBENCH";
  options.pacing = true;
  kmx::sim::UtSimulator sim(options);
  if (!sim.start()) {
    state.SkipWithError("no simulator");
    return;
  }
  void* connection = KMXCreateConnection("NVBENCH", 115200);
  uint32_t linkState = 0;
  if (connection == nullptr || KMXOpenConnection(connection, 10, nullptr, 0, &linkState, nullptr) != 1 ||
      linkState != KMX_LINK_UP) {
    state.SkipWithError("no link");
    if (connection != nullptr) KMXCloseHandle(connection);
    return;
  }
  sim.waitUntil([](const kmx::sim::SimulatorCounters& c) { return c.utRate == 115200 && c.hostRate == 115200; },
                5000);
  const auto catalogue = sim.catalogue();
  const double bytes = static_cast<double>(catalogue->compressedSymbolText().size() +
                                           catalogue->nameTable().size() +
                                           catalogue->descriptorTable().size() + 2 * catalogue->items().size());
  const double wireSeconds = bytes * 10.0 / 115200.0;

  KmxUtAccess ut(connection);
  LoadOptions load;
  load.messagesEnabled = false;
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto database = loadNvDatabase(ut, load);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!database) {
      state.SkipWithError("load failed");
      break;
    }
  }
  KMXCloseHandle(connection);
  state.counters["bytes"] = bytes;
  state.counters["wire_ms"] = wireSeconds * 1e3;
  if (state.iterations() > 0) {
    gWireRatio = total / static_cast<double>(state.iterations()) / wireSeconds;
    state.counters["ratio_to_wire"] = gWireRatio;
  }
}
BENCHMARK(BM_LoadFromPacedSimulator)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  kmx::bench::PrivateRuntime runtime("kmx-nvdb-bench");
  if (!runtime.ready()) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gItemsCpuRatio > 0) {
    std::printf("ratio: NV database parse and build of every item to gzip -d, CPU %.3f, wall %.3f (target <= 1.0)\n",
                gItemsCpuRatio, gItemsWallRatio);
  }
  if (gAllTypesCpuRatio > 0) {
    std::printf("ratio: the same with every record type as an item to gzip -d, CPU %.3f\n", gAllTypesCpuRatio);
  }
  if (gWireRatio > 0) {
    std::printf("ratio: NV database load from a paced UT to the wire time of its bytes, %.3f\n", gWireRatio);
  }
  return 0;
}
