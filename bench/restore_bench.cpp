// A restore's CPU must grow linearly with the file: the same generated UT at
// one, four and ten times the simulator's number of items (plain items and
// insertable lists whose entries the restore replaces), saved and restored
// into a UT that takes every write. The figure is the CPU per item at ten
// times against the CPU per item at one time, in the same run.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "nv_backup_writer.h"
#include "nv_commit.h"
#include "nv_database.h"
#include "nv_file_reader.h"
#include "nv_restore.h"
#include "symbol_parser.h"
#include "thread_cpu.h"

namespace {

using namespace vx::nvdb;

// About the simulator's catalogue: 250 items, a fifth of them lists.
constexpr std::size_t kBaseItems = 250;
constexpr uint32_t kListEntries = 4;

// One record type of 22 leaves, as an NV item's type typically is.
constexpr const char* kSymbols =
    "1 T_ULONG:4\n2 T_UCHAR:1\n3 T_USHORT:2\n4 T_LONG:4\n"
    "10 gen_entry_type:40:s{a,1,0;b,1,4;digits,[16]2,8;c,3,24;d,4,28;e,1,32;f,2,36}\n";

// Every element reads as a value; every change is taken.
class WillingUt : public NvUtAccess, public NvUtChanges {
 public:
  bool readVersionBlock(std::array<uint8_t, kVersionBlockSize>&) override { return false; }
  bool readMemory(uint32_t, std::span<uint8_t>) override { return false; }
  bool listDimension(uint32_t, uint16_t& count) override {
    count = 1;
    return true;
  }
  ItemRead readItem(uint32_t item, uint32_t, std::span<uint8_t> out) override {
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(item + i);
    return ItemRead::Read;
  }
  bool writeItem(uint32_t, uint32_t, std::span<const uint8_t>) override { return true; }
  bool insertItem(uint32_t, uint32_t, std::span<const uint8_t>) override { return true; }
  bool deleteItem(uint32_t, uint32_t) override { return true; }
};

std::unique_ptr<NvDatabase> makeDatabase(std::size_t count) {
  auto parsed = parseSymbolInformation(kSymbols);
  if (!parsed.table) return nullptr;
  std::vector<NVItemInfo> items;
  for (std::size_t i = 0; i < count; ++i) {
    const bool list = i % 5 == 0;
    const uint32_t entries = list ? kListEntries : 1;
    for (uint32_t k = 0; k < entries; ++k) {
      NVItemInfo item;
      item.name = "NV_GEN_" + std::to_string(i);
      if (list) item.name.append("[").append(std::to_string(k)).append("]");
      item.typeName = "gen_entry_type";
      item.itemNumber = static_cast<uint32_t>(i);
      item.presence = list ? 1 : 0;
      item.elementIndex = static_cast<int32_t>(k);
      item.instanceCount = entries;
      items.push_back(std::move(item));
    }
  }
  return std::make_unique<NvDatabase>(std::move(*parsed.table), std::move(items));
}

using kmx::bench::threadCpuSeconds;

// CPU seconds per item of a restore at each scale, for the ratio line.
double gPerItem[11] = {};

void BM_RestoreScaled(benchmark::State& state) {
  const auto scale = static_cast<std::size_t>(state.range(0));
  const std::size_t count = kBaseItems * scale;
  WillingUt ut;
  std::string file = "VEX\n1\n201\n7\n1\n";
  {
    auto source = makeDatabase(count);
    if (!source) {
      state.SkipWithError("symbols do not parse");
      return;
    }
    vx::backup::writeNvSections(*source, ut, file);
  }
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto target = makeDatabase(count);
    state.ResumeTiming();
    const double start = threadCpuSeconds();
    const auto sections = vx::backup::parseNvFile(file);
    vx::backup::NvRestore restore(*target, ut, ut, true);
    const auto report = restore.run(sections);
    cpu += threadCpuSeconds() - start;
    if (report.updated.size() < count) state.SkipWithError("items were not restored");
    benchmark::DoNotOptimize(report);
  }
  gPerItem[scale] = cpu / static_cast<double>(state.iterations()) / static_cast<double>(count);
  state.counters["items"] = static_cast<double>(count);
  state.counters["cpu_us_per_item"] = gPerItem[scale] * 1e6;
}
BENCHMARK(BM_RestoreScaled)->Arg(1)->Arg(4)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gPerItem[1] > 0 && gPerItem[10] > 0) {
    std::printf("ratio: restore CPU per item at 10x the items to 1x, %.3f (target <= 1.3)\n",
                gPerItem[10] / gPerItem[1]);
  }
  return 0;
}
