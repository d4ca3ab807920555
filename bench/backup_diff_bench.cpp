// vexctl diff must take time in proportion to the files: two backups of a
// UT with ten times the simulator's items (every entry of its catalogue
// with every leaf, repeated under new names), compared against two of one
// time, and of a hundred times against ten. The second file of each pair
// has a tenth of the items changed, a fiftieth removed and as many added.
//
// BM_DiffFiles is what `vexctl diff A B` does: read both files, parse them,
// compare them and build the report. BM_DiffScaled is the comparison alone,
// of files parsed once: at one time the two files (450 KiB each) stay in a
// core's cache from one comparison to the next, which no command run finds,
// so its ratio measures the cache as much as the code. The figures are CPU
// per item, as ratios between sizes in the same run; each size runs five
// times and keeps its least figure, the one other work on the machine
// disturbed least.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "backup_diff.h"
#include "kmx/sim/nv_catalogue.h"
#include "offline_commands.h"
#include "private_runtime.h"
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

constexpr int kRepetitions = 5;

const kmx::sim::NvCatalogue* catalogue() {
  static std::string error;
  static const auto built = kmx::sim::NvCatalogue::build({}, error);
  if (!built) std::fprintf(stderr, "the catalogue cannot be built: %s\n", error.c_str());
  return built ? &*built : nullptr;
}

// The two files of a size, made once for all its runs.
struct FilePair {
  std::string before, after;
  std::size_t items = 0;
};
const FilePair& filePair(std::size_t scale) {
  static std::map<std::size_t, FilePair> made;
  FilePair& pair = made[scale];
  if (pair.items == 0) {
    pair.before = backupText(*catalogue(), scale, false, pair.items);
    pair.after = backupText(*catalogue(), scale, true, pair.items);
  }
  return pair;
}

double gFilesPerItem[101] = {};
double gPerItem[101] = {};

// Keeps the least CPU per item of a size's runs.
void record(benchmark::State& state, double* perItem, std::size_t scale, double cpu, std::size_t items) {
  const double figure = cpu / static_cast<double>(state.iterations()) / static_cast<double>(items);
  if (perItem[scale] == 0 || figure < perItem[scale]) perItem[scale] = figure;
  state.counters["items"] = static_cast<double>(items);
  state.counters["cpu_us_per_item"] = figure * 1e6;
}

void BM_DiffFiles(benchmark::State& state) {
  const auto scale = static_cast<std::size_t>(state.range(0));
  kmx::bench::PrivateRuntime dir("kmx-diff-bench", kmx::bench::PrivateRuntime::tmpfsBase());
  if (!catalogue() || !dir.ready()) {
    state.SkipWithError("no catalogue, or no directory for the files");
    return;
  }
  const FilePair& pair = filePair(scale);
  const std::string before = dir.path() + "/before.vex", after = dir.path() + "/after.vex";
  std::ofstream(before) << pair.before;
  std::ofstream(after) << pair.after;
  double cpu = 0;
  for (auto _ : state) {
    const double start = threadCpuSeconds();
    const auto report = vx::cli::backupDiffReport(vx::cli::readBackupFile(before), vx::cli::readBackupFile(after));
    cpu += threadCpuSeconds() - start;
    if (report.status != vx::cli::kDiffDiffers) state.SkipWithError("the files were not told apart");
    benchmark::DoNotOptimize(report);
  }
  record(state, gFilesPerItem, scale, cpu, pair.items);
}
BENCHMARK(BM_DiffFiles)->Arg(1)->Arg(10)->Arg(100)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond);

void BM_DiffScaled(benchmark::State& state) {
  const auto scale = static_cast<std::size_t>(state.range(0));
  if (!catalogue()) {
    state.SkipWithError("no catalogue");
    return;
  }
  const FilePair& pair = filePair(scale);
  const std::size_t items = pair.items;
  const auto before = vx::cli::parseBackupText(pair.before, "before.vex");
  const auto after = vx::cli::parseBackupText(pair.after, "after.vex");
  double cpu = 0;
  for (auto _ : state) {
    const double start = threadCpuSeconds();
    const auto diff = vx::cli::diffBackups(before, after);
    cpu += threadCpuSeconds() - start;
    if (diff.count(vx::cli::ItemChange::Changed) < items / 20) state.SkipWithError("changes were missed");
    benchmark::DoNotOptimize(diff);
  }
  record(state, gPerItem, scale, cpu, items);
}
BENCHMARK(BM_DiffScaled)->Arg(1)->Arg(10)->Arg(100)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  auto ratio = [](const char* what, const double* perItem, std::size_t from, std::size_t to, const char* target) {
    if (perItem[from] > 0 && perItem[to] > 0) {
      std::printf("ratio: %s, CPU per item at %zux the items to %zux, %.3f%s (%.3f us and %.3f us)\n", what, to,
                  from, perItem[to] / perItem[from], target, perItem[to] * 1e6, perItem[from] * 1e6);
    }
  };
  ratio("vexctl diff of two files", gFilesPerItem, 1, 10, " (target <= 1.3)");
  ratio("vexctl diff of two files", gFilesPerItem, 10, 100, "");
  ratio("comparison of parsed files", gPerItem, 1, 10, "");
  ratio("comparison of parsed files", gPerItem, 10, 100, "");
  return 0;
}
