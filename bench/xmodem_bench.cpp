// A software image of 1 MiB sent through the server in Xmodem mode to the
// simulated UT's loader, with the simulator pacing the line at 115200 bit/s:
// the throughput as a ratio to the line rate (10 bits a byte).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>

#include "kmx/platform/process.h"
#include "kmx/platform/wait.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx_messages.h"
#include "private_runtime.h"
#include "wire_client.h"

namespace {

using kmx::server::wire::WireClient;
using kmx::server::wire::words;
namespace msg = kmx::msg;

constexpr std::size_t kImageSize = 1 << 20;
constexpr double kLineRate = 115200;

bool sendImage(WireClient& client, const std::vector<uint8_t>& image) {
  constexpr std::size_t kChunk = msg::kMaxMessage - msg::cmd::kXmodemData;
  for (std::size_t at = 0; at < image.size(); at += kChunk) {
    const bool last = at + kChunk >= image.size();
    std::vector<uint8_t> request = words({msg::kCmdXmodem, 1, last ? 1u : 0u});
    request.insert(request.end(), image.begin() + static_cast<long>(at),
                   image.begin() + static_cast<long>(std::min(image.size(), at + kChunk)));
    if (client.status(client.command(request, 120000)) != msg::kStatusOk) return false;
  }
  return true;
}

void BM_XmodemImageAtPaced115200(benchmark::State& state) {
  kmx::sim::SimulatorOptions options;
  options.portName = "XBENCH";
  options.pacing = true;
  kmx::sim::UtSimulator sim(options);
  if (!sim.start()) {
    state.SkipWithError("simulator did not start");
    return;
  }
  sim.setTransfersPerDownload(1);
  auto client = std::make_unique<WireClient>("XBENCH", KMXSERVER_PATH, 115200);
  if (!client->connected() || client->openConnection(10, 0) != 1 ||
      !sim.waitUntil([](const kmx::sim::SimulatorCounters& c) { return c.utRate == 115200; }, 5000)) {
    state.SkipWithError("no link at 115200");
    return;
  }
  std::vector<uint8_t> image(kImageSize);
  std::iota(image.begin(), image.end(), uint8_t{0});
  double seconds = 0;
  for (auto _ : state) {
    if (client->status(client->command(words({msg::kCmdXmodem, 0, 0}), 15000)) != msg::kStatusOk) {
      state.SkipWithError("the receiver did not start");
      break;
    }
    const auto start = std::chrono::steady_clock::now();
    if (!sendImage(*client, image)) {
      state.SkipWithError("transfer failed");
      break;
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
  if (seconds > 0) {
    const double bitsPerSecond = static_cast<double>(kImageSize) * 10.0 / seconds;
    state.counters["ratio_to_line_rate"] = bitsPerSecond / kLineRate;
    std::printf("ratio: 1 MiB in %.1f s, %.0f bit/s, to the line rate, %.3f (target >= 0.9)\n", seconds, bitsPerSecond,
                bitsPerSecond / kLineRate);
  }
  pid_t server = client->serverPid();
  client->close();
  kmx::ProcessWatch watch(server);
  int fds[1] = {watch.fd()};
  if (watch.valid()) kmx::waitForAny(fds, 10000);
}

BENCHMARK(BM_XmodemImageAtPaced115200)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  kmx::bench::PrivateRuntime runtime("kmx-xmodem-bench");
  if (!runtime.ready()) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
