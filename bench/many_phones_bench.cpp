// A bench of phones backed up at once through one script server: N paced
// simulated UTs (115200 bit/s, each on a port and link server of its own),
// N callers on bus connections of their own, each backing its phone up at
// the same moment. For N = 1, 4, 16 and 32: the wall time against N = 1's
// (the phones' lines run side by side, so it should hardly grow), the CPU
// time the suite spent per phone (script server, link servers and the
// benchmark process with its simulators; flat across N), and the script
// server's resident memory per connected phone. The phones' lines hand
// received bytes over through an 8-byte FIFO, as a PC's serial port does;
// N = 1 and 16 are also run on lines that hand over every byte alone (the
// simulator's harshest line, where the simulated phones' own wake-ups cost
// most of the CPU).
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <utility>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "kmx/sim/ut_simulator.h"
#include "private_bus.h"
#include "private_runtime.h"

namespace {

constexpr const char* kService = "UTVEX.Script";
constexpr const char* kInterface = "UTVEX.IVexScript";

struct Figures {
  double wallSeconds = 0;
  double cpuSecondsPerPhone = 0;
  double simulatorSecondsPerPhone = 0;  // of that, this process: the simulated phones
  double serverKiBPerPhone = 0;
};
// By line (its FIFO's bytes) and number of phones.
std::map<std::pair<int, int>, Figures> gFigures;
std::unique_ptr<vx::script::testing::PrivateBus> gBus;

// utime + stime of a process, in seconds.
double cpuSecondsOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return 0;
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The suite's processes outside this one that serve this benchmark: the
// script server and every link server started in its runtime directory.
std::vector<pid_t> suiteProcesses(const std::string& runtimeDir) {
  const std::string mark = "KMX_RUNTIME_DIR=" + runtimeDir;
  std::vector<pid_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    if (name != "vxscript" && name != "kmxserver") continue;
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ");
    for (std::string variable; std::getline(environ, variable, '\0');) {
      if (variable == mark) {
        pids.push_back(pid);
        break;
      }
    }
  }
  closedir(proc);
  return pids;
}

double selfCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One phone of the bench and its caller.
struct Station {
  std::string port;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  std::unique_ptr<sdbus::IConnection> connection;
  std::unique_ptr<sdbus::IProxy> object;
};

void BM_BackUpPhonesAtOnce(benchmark::State& state) {
  const int phones = static_cast<int>(state.range(0));
  const int fifo = static_cast<int>(state.range(1));
  const std::string dir = std::getenv("KMX_RUNTIME_DIR");
  std::vector<Station> stations(static_cast<std::size_t>(phones));
  try {
    for (int i = 0; i < phones; ++i) {
      Station& s = stations[static_cast<std::size_t>(i)];
      kmx::sim::SimulatorOptions options;
      s.port = "BENCH" + std::to_string(i + 1);
      options.portName = s.port;
      options.pacing = true;
      options.uartFifoBytes = static_cast<uint32_t>(fifo);
      options.esn = kmx::sim::kDefaultEsn + static_cast<uint64_t>(i);
      s.sim = std::make_unique<kmx::sim::UtSimulator>(options);
      if (!s.sim->start()) {
        state.SkipWithError(s.sim->lastError().c_str());
        return;
      }
      s.connection = sdbus::createSessionBusConnectionWithAddress(gBus->address());
      auto factory = sdbus::createProxy(*s.connection, kService, "/UTVEX/Script");
      sdbus::ObjectPath path;
      factory->callMethod("CreateObject").onInterface("UTVEX.ScriptFactory").storeResultsTo(path);
      s.object = sdbus::createProxy(*s.connection, kService, path);
    }
    // Connected one after another; only the backups run at once.
    for (Station& s : stations) {
      int16_t linkState = 0;
      s.object->callMethod("Connect")
          .onInterface(kInterface)
          .withTimeout(std::chrono::minutes(5))
          .withArguments(s.port, int32_t{115200}, int32_t{-1}, std::string("000000"))
          .storeResultsTo(linkState);
      if (linkState != 1) {
        state.SkipWithError("a phone did not connect");
        return;
      }
    }
  } catch (const sdbus::Error& error) {
    state.SkipWithError((error.getName() + ": " + error.getMessage()).c_str());
    return;
  }
  const pid_t server = vx::script::testing::scriptServerPid(*stations.front().connection);

  for (auto _ : state) {
    const std::vector<pid_t> processes = suiteProcesses(dir);
    const double selfBefore = selfCpuSeconds();
    double cpuBefore = selfBefore;
    for (pid_t pid : processes) cpuBefore += cpuSecondsOf(pid);
    std::atomic<int> failed{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> callers;
    for (int i = 0; i < phones; ++i) {
      callers.emplace_back([&, i] {
        try {
          stations[static_cast<std::size_t>(i)]
              .object->callMethod("SaveSettings")
              .onInterface(kInterface)
              .withTimeout(std::chrono::minutes(10))
              .withArguments(dir + "/phone" + std::to_string(i + 1) + ".vex");
        } catch (const sdbus::Error&) {
          ++failed;
        }
      });
    }
    for (auto& caller : callers) caller.join();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double selfAfter = selfCpuSeconds();
    double cpuAfter = selfAfter;
    for (pid_t pid : processes) cpuAfter += cpuSecondsOf(pid);
    if (failed > 0) {
      state.SkipWithError("a backup failed");
      break;
    }
    state.SetIterationTime(wall);
    Figures& figures = gFigures[{fifo, phones}];
    figures.wallSeconds = wall;
    figures.cpuSecondsPerPhone = (cpuAfter - cpuBefore) / phones;
    figures.simulatorSecondsPerPhone = (selfAfter - selfBefore) / phones;
    figures.serverKiBPerPhone = static_cast<double>(vx::script::testing::residentKiB(server)) / phones;
    state.counters["cpu_ms_per_phone"] = figures.cpuSecondsPerPhone * 1e3;
    state.counters["sim_ms_per_phone"] = figures.simulatorSecondsPerPhone * 1e3;
    state.counters["server_MiB"] = static_cast<double>(vx::script::testing::residentKiB(server)) / 1024.0;
  }
  for (Station& s : stations) {
    try {
      s.object->callMethod("Release").onInterface(kInterface);
    } catch (const sdbus::Error&) {
      // The object goes with its connection anyway.
    }
  }
}

BENCHMARK(BM_BackUpPhonesAtOnce)
    ->ArgNames({"phones", "fifo"})
    ->Args({1, 8})
    ->Args({4, 8})
    ->Args({16, 8})
    ->Args({32, 8})
    ->Args({1, 1})
    ->Args({16, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  kmx::bench::PrivateRuntime runtime("kmx-phone-bench");
  if (!runtime.ready()) return 1;
  const std::string dir = std::getenv("KMX_RUNTIME_DIR");
  const std::string data = dir + "/data";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  setenv("XDG_DATA_DIRS", data.c_str(), 1);
  if (std::system((std::string(VXSCRIPT_PROGRAM) + " --RegServer >/dev/null").c_str()) != 0) return 1;
  gBus = std::make_unique<vx::script::testing::PrivateBus>(dir, data + "/dbus-1/services");
  if (gBus->address().empty()) return 1;

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gBus.reset();

  for (const auto& [key, figures] : gFigures) {
    const auto [fifo, phones] = key;
    const auto one = gFigures.find({fifo, 1});
    if (phones == 1 || one == gFigures.end() || one->second.wallSeconds <= 0) continue;
    const char* line = fifo > 1 ? "8-byte FIFO lines" : "byte-at-a-time lines";
    std::printf("ratio: wall time of %d phones backed up at once to one phone's, %s, %.3f%s (%.1f s, %.1f s)\n", phones,
                line, figures.wallSeconds / one->second.wallSeconds, phones == 16 ? " (target <= 1.15)" : "",
                figures.wallSeconds, one->second.wallSeconds);
    std::printf("ratio: CPU time per phone at %d phones to one phone's, %s, %.3f (flat is the target; %.0f ms, %.0f ms; "
                "the simulated phones' own share %.0f ms)\n",
                phones, line, figures.cpuSecondsPerPhone / one->second.cpuSecondsPerPhone,
                figures.cpuSecondsPerPhone * 1e3, one->second.cpuSecondsPerPhone * 1e3,
                figures.simulatorSecondsPerPhone * 1e3);
  }
  for (const auto& [key, figures] : gFigures) {
    std::printf("script server memory per connected phone at %d phones (FIFO %d): %.1f MiB\n", key.second, key.first,
                figures.serverKiBPerPhone / 1024.0);
  }
  return 0;
}
