// A software upgrade of a 1 MiB image through the script server, over a
// private D-Bus daemon, to a simulated UT paced at 115200 bit/s: the image's
// bytes as a share of what the line could have carried in the time the whole
// upgrade took (loader, pauses, Xmodem framing and turnarounds included);
// and the 99th percentile of Peer.Ping round trips to the server from
// another bus connection while the upgrade runs, against the same figure
// on the idle server.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "kmx/sim/ut_simulator.h"
#include "private_runtime.h"
#include "script_session.h"

namespace {

constexpr double kLineRate = 115200.0;
constexpr std::size_t kImageBytes = 1 << 20;
using kmx::bench::kScriptInterface;

double gLineShare = 0;
double gSeconds = 0;
double gIdlePingP99 = 0;
double gBusyPingP99 = 0;

// Pings the server every 10 ms from a bus connection of its own until
// `stop` (or `count` pings), and answers the 99th percentile in seconds.
double pingP99(const std::string& address, const std::atomic<bool>& stop, std::size_t count) {
  auto connection = sdbus::createSessionBusConnectionWithAddress(address);
  auto peer = sdbus::createProxy(*connection, kmx::bench::kScriptService, "/UTVEX/Script");
  std::vector<double> samples;
  while (!stop && samples.size() < count) {
    const auto sent = std::chrono::steady_clock::now();
    peer->callMethod("Ping").onInterface("org.freedesktop.DBus.Peer");
    samples.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
}

// An S-record file of `size` bytes (one less when the last record cannot
// be made to fit exactly): a header, S3 records of 32 data bytes, and S7.
std::string writeImage(const std::string& path, std::size_t size) {
  std::mt19937 random(11);
  std::string text;
  auto record = [&](char type, uint32_t address, int addressBytes, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    for (int i = addressBytes - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = static_cast<uint8_t>(bytes.size() + 1);
    char line[200];
    int at = std::snprintf(line, sizeof line, "S%c%02X", type, static_cast<unsigned>(bytes.size() + 1));
    for (uint8_t b : bytes) {
      at += std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "%02X", b);
      sum = static_cast<uint8_t>(sum + b);
    }
    std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "%02X\n", static_cast<uint8_t>(~sum));
    text += line;
  };
  record('0', 0, 2, std::vector<uint8_t>{'U', 'T', ' ', '6', '.', '0', '.', '0'});
  const std::size_t trailer = 15;  // "S70500001000EA\n"
  uint32_t address = 0x10000;
  while (text.size() + trailer < size) {
    const std::size_t room = size - trailer - text.size();
    // A record of n data bytes takes 2 * n + 15 characters, and needs one.
    if (room < 17) break;
    const std::size_t n = room >= 79 + 17 ? 32 : (room - 15) / 2;
    std::vector<uint8_t> data(n);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    record('3', address, 4, data);
    address += static_cast<uint32_t>(n);
  }
  record('7', 0x1000, 4, {});
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

struct Session : kmx::bench::ScriptSession {
  std::string image;
};
Session* gSession = nullptr;

void BM_SoftwareUpgradePaced(benchmark::State& state) {
  auto& object = *gSession->object;
  std::ifstream file(gSession->image, std::ios::binary | std::ios::ate);
  const double imageBytes = static_cast<double>(file.tellg());
  const std::string address = gSession->bus->address();
  std::atomic<bool> stop{false};
  gIdlePingP99 = pingP99(address, stop, 200);
  for (auto _ : state) {
    std::thread pinger([&] { gBusyPingP99 = pingP99(address, stop, SIZE_MAX); });
    const auto start = std::chrono::steady_clock::now();
    try {
      object.callMethod("SoftwareUpgrade")
          .onInterface(kScriptInterface)
          .withTimeout(std::chrono::minutes(10))
          .withArguments(gSession->image);
    } catch (const sdbus::Error& error) {
      stop = true;
      pinger.join();
      state.SkipWithError(error.getMessage().c_str());
      return;
    }
    stop = true;
    pinger.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(elapsed);
    gSeconds = elapsed;
  }
  const auto flash = gSession->sim->flashState();
  if (!flash.software || flash.software->header != "UT 6.0.0") {
    state.SkipWithError("the UT did not flash the image");
    return;
  }
  gLineShare = imageBytes * 10.0 / kLineRate / gSeconds;
  state.counters["image_bytes"] = imageBytes;
  state.counters["wire_s"] = imageBytes * 10.0 / kLineRate;
  state.counters["share_of_line"] = gLineShare;
  state.counters["ping_p99_us"] = gBusyPingP99 * 1e6;
}
BENCHMARK(BM_SoftwareUpgradePaced)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  kmx::bench::PrivateRuntime runtime("kmx-download-bench");
  if (!runtime.ready()) return 1;
  const std::string dir = std::getenv("KMX_RUNTIME_DIR");
  Session session;
  session.image = writeImage(dir + "/image.s3", kImageBytes);
  if (const std::string failed = session.start("DOWNLOADBENCH"); !failed.empty()) {
    std::fprintf(stderr, "download_bench: %s\n", failed.c_str());
    return 1;
  }
  gSession = &session;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gSession = nullptr;
  if (gLineShare > 0) {
    std::printf("ratio: a 1 MiB image's line time to the whole paced software upgrade, %.3f "
                "(target >= 0.95; %.1f s)\n",
                gLineShare, gSeconds);
  }
  if (gIdlePingP99 > 0 && gBusyPingP99 > 0) {
    std::printf("ratio: Peer.Ping p99 during the paced upgrade to p99 on the idle server, %.3f "
                "(target <= 2; %.1f us, %.1f us)\n",
                gBusyPingP99 / gIdlePingP99, gBusyPingP99 * 1e6, gIdlePingP99 * 1e6);
  }
  return 0;
}
