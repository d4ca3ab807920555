// What the UT sends unasked: log streams for enabled ids within their limits,
// alerts, plug-in data and both forms of last gasp records.
#include "kmx/proto/byte_order.h"
#include "kmx/sim/ut_commands.h"
#include "sim_fixture.h"

namespace kmx::sim::testing {
namespace {

using namespace ut_command;
using proto::loadLe16;
using proto::loadLe32;

class Unsolicited : public SimulatorTest {};

TEST_F(Unsolicited, LogStreamGoesOutOnlyForAnEnabledIdWithItsGaps) {
  sim.startLogStream(3, 500, 8, 4);  // every 4th sequence number skipped
  host->pump(100);
  EXPECT_EQ(host->unsolicitedCount(), 0u) << "log id 3 is not enabled";

  ASSERT_EQ(ask(kLogConfig, cat({{3, 1, 1}, le16(0xFFFF)})).type, 1);
  std::vector<uint8_t> sequences;
  Packet packet;
  while (sequences.size() < 8 && host->nextUnsolicited(packet)) {
    ASSERT_EQ(packet.type, 0x80 | 3);
    ASSERT_EQ(packet.payload.size(), 1u + 8u + 8u) << "sequence, two header words, data";
    sequences.push_back(packet.payload[0]);
  }
  ASSERT_EQ(sequences.size(), 8u);
  int gaps = 0;
  for (std::size_t i = 1; i < sequences.size(); ++i) {
    uint8_t step = static_cast<uint8_t>(sequences[i] - sequences[i - 1]);
    EXPECT_TRUE(step == 1 || step == 2) << int(step);
    gaps += step == 2;
  }
  EXPECT_GE(gaps, 1);

  ASSERT_EQ(ask(kLogConfig, cat({{3, 0, 0xFF}, le16(0xFFFF)})).type, 1);
  host->pump(50);
  host->clearUnsolicited();
  host->pump(100);
  EXPECT_EQ(host->unsolicitedCount(), 0u) << "disabled again";
}

TEST_F(Unsolicited, PacketLimitCapsAStreamPerSecond) {
  ASSERT_EQ(ask(kLogConfig, cat({{9, 1, 0}, le16(2)})).type, 1);
  sim.startLogStream(9, 1000, 4);
  host->pump(400);
  EXPECT_EQ(host->unsolicitedCount(), 2u);
}

TEST_F(Unsolicited, AlertsPluginDataAndLastGaspRecords) {
  sim.sendAlert(9, {1, 2});
  Packet packet;
  ASSERT_TRUE(host->nextUnsolicited(packet));
  EXPECT_EQ(packet.type, ut_packet::kAlert);
  EXPECT_EQ(packet.payload, (std::vector<uint8_t>{9, 1, 2}));

  sim.sendPluginData(4, {7});
  sim.sendPluginData(4, {8}, true);
  ASSERT_TRUE(host->nextUnsolicited(packet));
  EXPECT_EQ(packet.payload, (std::vector<uint8_t>{4, 8})) << "only the forced packet of a disabled id";

  sim.sendLastGasp(false, "ignored", 77, "bad %d", 5, 6, 7);
  ASSERT_TRUE(host->nextUnsolicited(packet));
  EXPECT_EQ(packet.type, ut_packet::kLastGaspOld);
  ASSERT_GE(packet.payload.size(), 17u);
  EXPECT_EQ(loadLe16(&packet.payload[2]), 77);
  EXPECT_EQ(loadLe32(&packet.payload[4]), 5u);
  EXPECT_EQ(loadLe32(&packet.payload[12]), 7u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&packet.payload[16]), "bad %d");

  sim.sendLastGasp(true, "radio.c", 88, "oops %s", 1, 2, 3);
  ASSERT_TRUE(host->nextUnsolicited(packet));
  EXPECT_EQ(packet.type, ut_packet::kLastGaspNew);
  ASSERT_GE(packet.payload.size(), 73u);
  EXPECT_EQ(loadLe32(&packet.payload[8]), 1u);
  EXPECT_EQ(loadLe32(&packet.payload[16]), 3u);
  EXPECT_EQ(loadLe16(&packet.payload[20]), 88);
  EXPECT_STREQ(reinterpret_cast<const char*>(&packet.payload[22]), "radio.c");
  EXPECT_STREQ(reinterpret_cast<const char*>(&packet.payload[72]), "oops %s");
}

}  // namespace
}  // namespace kmx::sim::testing
