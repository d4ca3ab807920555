// The UT's unsolicited packets reaching registered clients: registrations and
// the UT's configuration, loss counting, drops, disables, last gasp records.
#include "kmx/proto/byte_order.h"
#include "kmx/sim/ut_model.h"
#include "server_fixture.h"

namespace kmx::server::testing {
namespace {

using namespace kmx::msg;

class AsyncData : public ServerTest {
 protected:
  static std::vector<uint8_t> registration(uint32_t action, uint32_t type, uint32_t id, int32_t priority,
                                           int32_t maxPackets) {
    return words({kCmdRegister, action, type, id, static_cast<uint32_t>(priority), static_cast<uint32_t>(maxPackets)});
  }
  sim::LogStreamConfig logConfig(uint8_t id) {
    sim::LogStreamConfig config;
    sim.withModel([&](sim::UtModel& m) { config = m.logs[id]; });
    return config;
  }
  bool waitForLogConfig(uint8_t id, bool enabled, uint8_t priority) {
    for (int i = 0; i < 200; ++i) {
      auto c = logConfig(id);
      if (c.enabled == enabled && (!enabled || c.priority == priority)) return true;
      usleep(10 * 1000);
    }
    return false;
  }
  uint32_t lostPackets(WireClient& client, uint8_t code) {
    std::vector<uint8_t> request = words({kCmdGetLinkStats, 0, 1});
    request.push_back(code);
    auto reply = client.command(request);
    return wordAt(reply, 28);
  }
};

TEST_F(AsyncData, TheUtIsConfiguredWithTheHighestPriorityOfTheRegisteredClients) {
  WireClient& a = connectUp();
  WireClient& b = connectUp();
  EXPECT_EQ(a.command(registration(1, kAsyncLog, 5, 1, 10)), words({kStatusOk}));
  ASSERT_TRUE(waitForLogConfig(5, true, 1));
  EXPECT_EQ(b.command(registration(1, kAsyncLog, 5, 2, 20)), words({kStatusOk}));
  ASSERT_TRUE(waitForLogConfig(5, true, 2));
  EXPECT_EQ(logConfig(5).maxPacketsPerSecond, 20);

  uint32_t configsBefore = sim.framesReceived(12);
  EXPECT_EQ(b.command(registration(0, kAsyncLog, 5, -1, -1)), words({kStatusOk}));
  EXPECT_EQ(a.status(a.command(words({kCmdGetDropCounts}))), kStatusOk);  // a round trip later
  EXPECT_EQ(sim.framesReceived(12), configsBefore) << "nothing sent while a client remains";
  EXPECT_EQ(logConfig(5).priority, 2);
  EXPECT_EQ(a.command(registration(0, kAsyncLog, 5, -1, -1)), words({kStatusOk}));
  EXPECT_TRUE(waitForLogConfig(5, false, 0)) << "the last one out disables the id";

  // Unknown types are ignored but still answered.
  EXPECT_EQ(a.command(registration(1, 9, 5, 1, 1)), words({kStatusOk}));
  EXPECT_EQ(a.command(words({kCmdRegister, 1})), words({kStatusOk})) << "short message: answered, nothing changed";
}

// A log code, id, priority or packet limit that the UT's one or two bytes
// cannot carry would reach it cut, as another client's stream.
TEST_F(AsyncData, ValuesTheUtCannotCarryChangeNothing) {
  WireClient& a = connectUp();
  WireClient& b = connectUp();
  a.command(registration(1, kAsyncLog, 3, 1, 10));
  ASSERT_TRUE(waitForLogConfig(3, true, 1));
  const uint32_t logConfigs = sim.framesReceived(12), pluginConfigs = sim.framesReceived(13);
  EXPECT_EQ(b.command(registration(1, kAsyncLog, 259, 2, 10)), words({kStatusOk}));
  EXPECT_EQ(b.command(registration(0, kAsyncLog, 259, -1, -1)), words({kStatusOk}));
  EXPECT_EQ(b.command(registration(1, kAsyncLog, 3, 258, 10)), words({kStatusOk}));
  EXPECT_EQ(b.command(registration(1, kAsyncLog, 3, 1, 65536 + 10)), words({kStatusOk}));
  EXPECT_EQ(b.command(registration(1, kAsyncPlugin, 256 + 4, 1, -1)), words({kStatusOk}));
  EXPECT_EQ(b.command(registration(0, kAsyncPlugin, 256 + 4, -1, -1)), words({kStatusOk}));
  EXPECT_EQ(a.status(a.command(words({kCmdGetDropCounts}))), kStatusOk);  // a round trip later
  EXPECT_EQ(sim.framesReceived(12), logConfigs);
  EXPECT_EQ(sim.framesReceived(13), pluginConfigs);
  EXPECT_TRUE(logConfig(3).enabled);
  EXPECT_EQ(logConfig(3).priority, 1);
}

TEST_F(AsyncData, UnsetPriorityAndLimitConfigureTheUtWithTheirMaxima) {
  WireClient& a = connectUp();
  a.command(registration(1, kAsyncLog, 7, -1, -1));
  ASSERT_TRUE(waitForLogConfig(7, true, 0xFF));
  EXPECT_EQ(logConfig(7).maxPacketsPerSecond, 0xFFFF);
}

TEST_F(AsyncData, LogPacketsAreForwardedAndTheirLossesCounted) {
  WireClient& a = connectUp();
  a.command(registration(1, kAsyncLog, 5, 1, -1));
  a.command(registration(1, kAsyncLog, 6, 1, -1));
  for (uint8_t sequence : {10, 14, 14}) sim.sendRawPacket(0x85, {sequence, 1, 2, 3, 4, 5, 6, 7, 8, 0xAB});
  for (uint8_t sequence : {255, 0}) sim.sendRawPacket(0x86, {sequence});
  AsyncMessage message;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(a.nextAsync(message)) << i;
    EXPECT_EQ(message.type, kAsyncLog);
    EXPECT_EQ(message.id, 5u);
  }
  EXPECT_EQ(message.payload, (std::vector<uint8_t>{14, 1, 2, 3, 4, 5, 6, 7, 8, 0xAB}));
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(a.nextAsync(message)) << i;
  EXPECT_EQ(lostPackets(a, 5), 3u) << "10 to 14 lost three; a repeat none";
  EXPECT_EQ(lostPackets(a, 6), 0u) << "255 to 0 is the next number";
}

TEST_F(AsyncData, AFullMailboxCountsDropsWhileOthersStillReceive) {
  WireClient& idle = connectUp();
  WireClient& reader = connectUp();
  idle.command(registration(1, kAsyncAlert, 9, 0, -1));
  reader.command(registration(1, kAsyncAlert, 9, 0, -1));
  // In two rounds, so that the reader's own mailbox (20 messages) never fills.
  AsyncMessage message;
  for (int round = 0; round < 2; ++round) {
    const int first = round * 15, last = round == 0 ? 15 : 25;
    for (int i = first; i < last; ++i) sim.sendAlert(9, {static_cast<uint8_t>(i)});
    for (int i = first; i < last; ++i) {
      ASSERT_TRUE(reader.nextAsync(message)) << i;
      EXPECT_EQ(message.payload, std::vector<uint8_t>{static_cast<uint8_t>(i)});
    }
  }
  EXPECT_EQ(idle.command(words({kCmdGetDropCounts})), words({kStatusOk, 5, 5})) << "20 fit, 5 dropped";
  EXPECT_EQ(reader.command(words({kCmdGetDropCounts})), words({kStatusOk, 0, 5}));
}

TEST_F(AsyncData, AnUnwantedPluginIdIsDisabledOncePerTenSeconds) {
  WireClient& a = connectUp();
  sim.sendPluginData(33, {1}, true);
  ASSERT_TRUE(sim.waitUntil([&](const sim::SimulatorCounters&) { return sim.framesReceived(13) == 1; }, 3000));
  sim.sendPluginData(33, {2}, true);
  // The UT answers the first read after it has sent the packet; a disable
  // for it would go out before the second read.
  for (int i = 0; i < 2; ++i) EXPECT_EQ(a.status(a.command(words({kCmdReadNvItem, 1, 0}))), kStatusOk);
  EXPECT_EQ(sim.framesReceived(13), 1u) << "a second packet within 10 s sends no second disable";
}

TEST_F(AsyncData, LastGaspRecordsOfBothForms) {
  WireClient& a = connectUp();
  a.command(registration(1, kAsyncLastGasp, 0, 0, -1));
  sim.sendLastGasp(false, "", 77, "bad %d %x %s", 5, 0xab, 7);
  AsyncMessage message;
  ASSERT_TRUE(a.nextAsync(message));
  EXPECT_EQ(message.type, kAsyncLastGasp);
  ASSERT_GE(message.payload.size(), 9u);
  EXPECT_EQ(wordAt(message.payload, 0), 0u);
  EXPECT_EQ(wordAt(message.payload, 4), 0u);
  std::string text(reinterpret_cast<const char*>(&message.payload[8]));
  EXPECT_EQ(text, "file: 7, line 77: bad 5 ab %s") << "a %s has no text argument in this form";
  EXPECT_EQ(message.payload.size(), text.size() + 13);

  sim.sendLastGasp(true, "radio.c", 88, "oops %u", 42);
  ASSERT_TRUE(a.nextAsync(message));
  EXPECT_EQ(wordAt(message.payload, 0), 0x01020304u) << "time stamp, high word";
  EXPECT_EQ(wordAt(message.payload, 4), 0x05060708u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&message.payload[8]), "file: radio.c, line 88: oops 42");

  // Too short for its fixed fields: dropped.
  sim.sendRawPacket(5, std::vector<uint8_t>(40, 'x'));
  EXPECT_FALSE(a.nextAsync(message, 300));
}

TEST_F(AsyncData, ClosingTakesAClientOutOfEveryRegistration) {
  WireClient& leaving = connectUp();
  WireClient& staying = connectUp();
  leaving.command(registration(1, kAsyncAlert, 1, 0, -1));
  staying.command(registration(1, kAsyncAlert, 1, 0, -1));
  leaving.close();
  sim.sendAlert(1, {7});
  AsyncMessage message;
  ASSERT_TRUE(staying.nextAsync(message));
  EXPECT_EQ(message.payload, std::vector<uint8_t>{7});
}

}  // namespace
}  // namespace kmx::server::testing
