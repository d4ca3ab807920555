// The server against a UT whose line keeps time (the simulator paced at the
// wire rate): long answers and answers that come too late.
#include <atomic>
#include <map>
#include <thread>

#include "kmx/sim/ut_model.h"
#include "server_fixture.h"

namespace kmx::server::testing {
namespace {

using namespace kmx::msg;

class PacedLine : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    sim.setPacing(true);
  }

  // Defines NV item `number` of `size` bytes holding a pattern that
  // includes the bytes the frame format escapes.
  std::vector<uint8_t> defineItem(uint16_t number, uint16_t size) {
    std::vector<uint8_t> value(size);
    for (std::size_t i = 0; i < value.size(); ++i) value[i] = static_cast<uint8_t>(i * 7 + number);
    sim.withModel([&](sim::UtModel& model) {
      model.nv.define(number, size, 0);
      model.nv.write(number, 0, value);
    });
    return value;
  }

  static std::vector<uint8_t> nvRead(uint32_t item) { return words({kCmdReadNvItem, item, 0}); }
  static std::vector<uint8_t> data(const std::vector<uint8_t>& reply) {
    return reply.size() < 4 ? std::vector<uint8_t>{} : std::vector<uint8_t>(reply.begin() + 4, reply.end());
  }
};

// The largest NV answer the relay carries fills the client message (4360
// bytes) with the reply's status word: 4356 bytes of item, a frame of about
// 4.4 KB. At 115200 bit/s each answer arrives byte by byte over up to 0.4 s
// while another client reads a small item every 20 ms: no byte of either
// may be lost on the way to the server.
TEST_F(PacedLine, LongAnswersArriveWholeWhileAnotherClientKeepsReading) {
  const uint16_t kLargest = static_cast<uint16_t>(kMaxMessage - 4);
  const std::vector<std::pair<uint16_t, uint16_t>> items = {{50, 1000}, {51, 4000}, {52, kLargest}};
  std::map<uint16_t, std::vector<uint8_t>> values;
  for (auto [number, size] : items) values[number] = defineItem(number, size);

  WireClient& reader = connectUp(115200);
  WireClient& other = connectUp(115200);
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.utRate == 115200; }, 5000));

  std::atomic<bool> stop{false};
  std::atomic<int> otherReads{0};
  std::atomic<int> otherFailures{0};
  std::thread small([&] {
    while (!stop) {
      std::vector<uint8_t> reply = other.command(nvRead(1));
      if (reply != std::vector<uint8_t>{0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12}) ++otherFailures;
      ++otherReads;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  for (int round = 0; round < 2; ++round) {
    for (auto [number, size] : items) {
      std::vector<uint8_t> reply = reader.command(nvRead(number));
      EXPECT_EQ(reader.status(reply), kStatusOk) << "item of " << size << " bytes";
      EXPECT_TRUE(data(reply) == values[number]) << "item of " << size << " bytes";
    }
  }
  stop = true;
  small.join();
  EXPECT_GT(otherReads, 0);
  EXPECT_EQ(otherFailures, 0) << "the other client's reads failed";

  std::vector<uint8_t> stats = reader.command(words({kCmdGetLinkStats, 0, 0}));
  ASSERT_GE(stats.size(), reply::kStatsCount);
  EXPECT_EQ(wordAt(stats, reply::kStatsCrcErrors), 0u);
  EXPECT_EQ(wordAt(stats, reply::kStatsRetransmissions), 0u);
  EXPECT_EQ(sim.counters().lineOverruns, 0u);
}

}  // namespace
}  // namespace kmx::server::testing
