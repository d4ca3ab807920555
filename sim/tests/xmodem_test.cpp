// The UT's loader: software by Xmodem, a loader and then the image.
#include <numeric>

#include "kmx/sim/ut_commands.h"
#include "sim_fixture.h"

namespace kmx::sim::testing {
namespace {

constexpr uint8_t kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;

class Loader : public SimulatorTest {
 protected:
  // Reads raw bytes (the loader does not frame) until `count` came.
  std::vector<uint8_t> readRaw(std::size_t count, int timeoutMs = 3000) {
    return host->readRawBytes(count, timeoutMs);
  }
  static std::vector<uint8_t> block(uint8_t number, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b = {kStx, number, static_cast<uint8_t>(number ^ 0xFF)};
    b.insert(b.end(), data.begin(), data.end());
    b.resize(3 + 1024, 0x1A);
    uint8_t sum = 0;
    for (std::size_t i = 3; i < b.size(); ++i) sum = static_cast<uint8_t>(sum + b[i]);
    b.push_back(sum);
    return b;
  }
  // One transfer of `data`; false when an answer was not as expected.
  bool transfer(const std::vector<uint8_t>& data) {
    if (readRaw(1) != std::vector<uint8_t>{kNak}) return false;
    uint8_t number = 1;
    for (std::size_t at = 0; at < data.size(); at += 1024, ++number) {
      std::vector<uint8_t> part(data.begin() + static_cast<long>(at),
                                data.begin() + static_cast<long>(std::min(data.size(), at + 1024)));
      host->writeRaw(block(number, part));
      if (readRaw(1) != std::vector<uint8_t>{kAck}) return false;
    }
    host->writeRaw({kEot});
    return readRaw(1) == std::vector<uint8_t>{kAck};
  }
};

TEST_F(Loader, DownloadIsALoaderThenTheImageAfterWhichTheUtRestarts) {
  ASSERT_EQ(ask(ut_command::kStartDownload).type, 1);
  std::vector<uint8_t> loader(1500), image(3000);
  std::iota(loader.begin(), loader.end(), uint8_t{0});
  std::iota(image.begin(), image.end(), uint8_t{7});
  ASSERT_TRUE(transfer(loader));
  ASSERT_TRUE(transfer(image));
  ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return !c.inLoader && c.restarts == 1; }, 2000));
  auto received = sim.receivedTransfers();
  ASSERT_EQ(received.size(), 2u);
  ASSERT_EQ(received[1].size(), 3072u) << "three blocks";
  EXPECT_TRUE(std::equal(image.begin(), image.end(), received[1].begin()));
  EXPECT_EQ(received[1].back(), 0x1A) << "padding kept";
  EXPECT_EQ(ask(ut_command::kSync).type, 1) << "framed again at 9600";
}

TEST_F(Loader, BadBlocksAreRefusedAndFaultsDoWhatTheySay) {
  sim.enterLoader();
  ASSERT_EQ(readRaw(1), std::vector<uint8_t>{kNak});
  auto good = block(1, {1, 2, 3});
  auto bad = good;
  bad[10] ^= 0xFF;
  host->writeRaw(bad);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kNak});
  sim.xmodemRefuseBlocks(1);
  host->writeRaw(good);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kNak});
  host->writeRaw(good);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kAck});
  host->writeRaw(good);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kAck}) << "a repeated block is acknowledged, not stored";
  sim.xmodemCancel();
  host->writeRaw(block(2, {4}));
  EXPECT_EQ(readRaw(2), (std::vector<uint8_t>{kCan, kCan}));
  EXPECT_EQ(sim.counters().xmodemBlocks, 0u) << "a new transfer is awaited";

  sim.xmodemSilentAfterEot(true);
  sim.xmodemNeverStart(true);
  sim.enterLoader();
  EXPECT_TRUE(readRaw(1, 1500).empty()) << "no NAK to start";
  host->writeRaw(block(1, {9}));
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kAck});
  host->writeRaw({kEot});
  EXPECT_TRUE(readRaw(1, 500).empty()) << "silent after EOT";
}

TEST_F(Loader, ALoaderAtAFixedRateIgnoresAnotherRate) {
  sim.setLoaderRate(115200);
  sim.enterLoader();
  auto garbage = readRaw(1, 1500);
  EXPECT_NE(garbage, std::vector<uint8_t>{kNak}) << "at 9600 the NAK is garbled";
  ASSERT_TRUE(host->setRate(115200));
  EXPECT_EQ(readRaw(1, 1500), std::vector<uint8_t>{kNak});
}

}  // namespace
}  // namespace kmx::sim::testing
