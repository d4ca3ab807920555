// The download engine against the simulated UT through the real link server:
// pieces as the UT receives them, a cancel from another thread, and a UT that
// cancels or never starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "image_files.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmxclient.h"
#include "vx/download/download_engine.h"
#include "vx/res/resource_library.h"

namespace vx::download {
namespace {

using namespace vx::download::testing;

// Records every report; may call `onReport` for each.
class RecordingSink final : public ProgressSink {
 public:
  void progress(const ProgressReport& report) override {
    std::lock_guard lock(mutex);
    reports.push_back(report);
    if (onReport) onReport(report);
  }
  std::mutex mutex;
  std::vector<ProgressReport> reports;
  std::function<void(const ProgressReport&)> onReport;
};

class DownloadEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(sandbox.runtimeDir());
    kmx::sim::SimulatorOptions options;
    options.portName = "DL1";
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    ASSERT_TRUE(sim->start()) << sim->lastError();
    link = KMXCreateConnection("DL1", 115200);
    ASSERT_NE(link, nullptr);
    uint32_t state = 0;
    ASSERT_NE(KMXOpenConnection(link, 10, nullptr, 0, &state, nullptr), 0) << KMXGetErrorDesc(KMXGetLastError());
    ASSERT_EQ(state, 1u);
    engine.setPauses(std::chrono::milliseconds(0), std::chrono::milliseconds(0));
  }
  void TearDown() override {
    if (link != nullptr) KMXCloseHandle(link);
  }
  std::string file(const std::string& name) const { return sandbox.runtimeDir() + "/" + name; }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  void* link = nullptr;
  CDownload engine;
};

TEST_F(DownloadEngine, ImageGoesInFullPiecesThenTheEnd) {
  sim->setTransfersPerDownload(1);
  const auto data = randomBytes(8192);
  writeFile(file("ram.bin"), data);
  RecordingSink sink;
  EXPECT_EQ(engine.ramProgram(link, file("ram.bin"), sink), S_OK);
  std::vector<uint64_t> sent;
  for (const auto& report : sink.reports) sent.push_back(report.sent);
  EXPECT_EQ(sent, (std::vector<uint64_t>{4096, 8192}));
  EXPECT_EQ(sink.reports.back().phaseText, kTextSendingRamProgram);
  const auto transfers = sim->receivedTransfers();
  ASSERT_EQ(transfers.size(), 1u);
  // The data arrives whole; the server pads what follows with SUB (a last
  // piece that ends on a block boundary still gets a block of padding).
  ASSERT_GE(transfers[0].size(), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), transfers[0].begin()));
  EXPECT_TRUE(std::all_of(transfers[0].begin() + 8192, transfers[0].end(), [](uint8_t b) { return b == 0x1A; }));
}

TEST_F(DownloadEngine, CancelFromAnotherThreadAbandonsTheImage) {
  const auto resources = vx::res::ResourceLibrary::load(vx::res::kEnglishLibrary);
  ASSERT_TRUE(resources.loaded());
  const std::string image = makeImage(sandbox.runtimeDir(), "big.s3", randomBytes(400000), "UT 5.0.1");
  ASSERT_FALSE(image.empty());
  RecordingSink sink;
  std::thread canceller;
  sink.onReport = [&](const ProgressReport& report) {
    if (report.kind == TransferKind::Software && !canceller.joinable()) {
      canceller = std::thread([&] { engine.requestCancel(); });
    }
  };
  EXPECT_EQ(engine.softwareUpgrade(link, image, false, resources, sink), DOWNLOAD_E_CANCELLED);
  canceller.join();
  ASSERT_FALSE(sink.reports.empty());
  EXPECT_EQ(sink.reports.front().kind, TransferKind::Loader);
  EXPECT_LT(sink.reports.back().sent, sink.reports.back().total) << "stopped before the end";
  EXPECT_EQ(sim->receivedTransfers().size(), 1u) << "only the loader arrived whole";
}

TEST_F(DownloadEngine, UtThatCancelsOrNeverStartsFailsTheStepWithTheLinkError) {
  sim->setTransfersPerDownload(1);
  writeFile(file("ram.bin"), randomBytes(10000));
  RecordingSink sink;
  sim->xmodemCancel();
  EXPECT_EQ(engine.ramProgram(link, file("ram.bin"), sink), DOWNLOAD_E_XMODEM);
  EXPECT_EQ(engine.lastLinkError(), KMX_ERR_XMODEM_UT_CANCELLED);
  EXPECT_EQ(engine.lastErrorText(), KMXGetErrorDesc(KMX_ERR_XMODEM_UT_CANCELLED));

  sim->xmodemNeverStart(true);
  CDownload second;
  EXPECT_EQ(second.sendFile(link, file("ram.bin")), TransferResult::LinkFailed);
  EXPECT_EQ(second.lastLinkError(), KMX_ERR_XMODEM_INIT);
  EXPECT_EQ(second.sendFile(link, file("missing")), TransferResult::FileFailed);
}

}  // namespace
}  // namespace vx::download
