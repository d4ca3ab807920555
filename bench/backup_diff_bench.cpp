// vexctl diff must take time in proportion to the files: two backups of a
// UT with ten times the simulator's items (every entry of its catalogue
// with every leaf, repeated under new names), compared against two of one
// time. The second file of each pair has a tenth of the items changed, a
// fiftieth removed and as many added. The figures are the CPU per item of
// the comparison at ten times against once, and at a hundred times against
// ten, in the same run: the first crosses the size of a core's cache (the
// two files of one time fit in it), the second stays beyond it.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <string>

#include "backup_diff.h"
#include "kmx/sim/nv_catalogue.h"
#include "thread_cpu.h"

namespace {

// The backup text of `scale` copies of the catalogue; `edited` changes,
// removes and adds items as the second file of a pair.
std::string backupText(const kmx::sim::NvCatalogue& catalogue, std::size_t scale, bool edited, std::size_t& items) {
  std::string text = "VEX\n1\n201\n7\n262657\n";
  items = 0;
  const auto entries = catalogue.entryNames();
  for (std::size_t copy = 0; copy < scale; ++copy) {
    for (const std::string& entry : entries) {
      const std::size_t n = items++;
      if (edited && n % 50 == 7) continue;
      const std::string name = copy == 0 ? entry : entry + "_" + std::to_string(copy);
      text += "[" + name + "]\n";
      uint32_t value = static_cast<uint32_t>(n * 2654435761u);
      if (edited && n % 10 == 3) ++value;
      for (const std::string& path : catalogue.leafPaths(entry)) {
        text += path.substr(entry.size() + 1) + " " + std::to_string(value++ % 1000) + "\n";
      }
      if (edited && n % 50 == 11) text += "[" + name + "_ADDED]\nT_UCHAR 1\n";
    }
  }
  return text;
}

using kmx::bench::threadCpuSeconds;

double gPerItem[101] = {};

void BM_DiffScaled(benchmark::State& state) {
  const auto scale = static_cast<std::size_t>(state.range(0));
  std::string error;
  const auto catalogue = kmx::sim::NvCatalogue::build({}, error);
  if (!catalogue) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::size_t items = 0;
  const auto before = vx::cli::parseBackupText(backupText(*catalogue, scale, false, items), "before.vex");
  const auto after = vx::cli::parseBackupText(backupText(*catalogue, scale, true, items), "after.vex");
  double cpu = 0;
  for (auto _ : state) {
    const double start = threadCpuSeconds();
    const auto diff = vx::cli::diffBackups(before, after);
    cpu += threadCpuSeconds() - start;
    if (diff.count(vx::cli::ItemChange::Changed) < items / 20) state.SkipWithError("changes were missed");
    benchmark::DoNotOptimize(diff);
  }
  gPerItem[scale] = cpu / static_cast<double>(state.iterations()) / static_cast<double>(items);
  state.counters["items"] = static_cast<double>(items);
  state.counters["cpu_us_per_item"] = gPerItem[scale] * 1e6;
}
BENCHMARK(BM_DiffScaled)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gPerItem[1] > 0 && gPerItem[10] > 0) {
    std::printf("ratio: diff CPU per item at 10x the items to 1x, %.3f (target <= 1.3)\n", gPerItem[10] / gPerItem[1]);
  }
  if (gPerItem[10] > 0 && gPerItem[100] > 0) {
    std::printf("ratio: diff CPU per item at 100x the items to 10x, %.3f\n", gPerItem[100] / gPerItem[10]);
  }
  return 0;
}
