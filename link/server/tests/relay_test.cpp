// Commands relayed to the UT and the replies made of its answers.
#include "kmx/proto/byte_order.h"
#include "kmx/proto/ut_commands.h"
#include "kmx/sim/ut_model.h"
#include "server_fixture.h"

namespace kmx::server::testing {
namespace {

using namespace kmx::msg;

class Relay : public ServerTest {};

std::vector<uint8_t> nvRead(uint32_t item, uint32_t index) { return words({kCmdReadNvItem, item, index}); }

TEST_F(Relay, CommandsBeforeTheLinkIsUsedOrWhileItIsDown) {
  WireClient& client = connect();
  ASSERT_TRUE(client.connected());
  EXPECT_EQ(client.status(client.command(nvRead(1, 0))), kStatusLinkNotMade) << "Initial";

  ASSERT_EQ(client.openConnection(10, 7), 1);
  sim.setCts(false);
  AsyncMessage change;
  ASSERT_TRUE(client.nextAsync(change));
  EXPECT_EQ(change.id, kLinkDown);
  EXPECT_EQ(client.status(client.command(nvRead(1, 0))), kStatusLinkDown);
}

TEST_F(Relay, NvItemsRoundTrip) {
  WireClient& client = connectUp();
  auto reply = client.command(nvRead(1, 0));
  ASSERT_EQ(client.status(reply), kStatusOk);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 4, reply.end()), (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));

  std::vector<uint8_t> write = words({kCmdWriteNvItem, 2, 0});
  write.insert(write.end(), {'n', 'e', 'w'});
  EXPECT_EQ(client.command(write), words({kStatusOk}));
  reply = client.command(nvRead(2, 0));
  EXPECT_EQ(std::string(reply.begin() + 4, reply.begin() + 7), "new");

  // The item number travels as its low 16 bits.
  EXPECT_EQ(client.status(client.command(nvRead(0x10001, 0))), kStatusOk);

  auto dimension = client.command({kCmdGetNvListDimension, 0, 0, 0, 10, 0});
  EXPECT_EQ(dimension, (std::vector<uint8_t>{0, 0, 0, 0, 3, 0}));
}

TEST_F(Relay, UtRejectionBecomesTheFixedErrorReply) {
  WireClient& client = connectUp();
  sim.rejectCommand(19, 0x1234, "abc");
  auto reply = client.command(nvRead(1, 0));
  ASSERT_EQ(reply.size(), 264u);
  EXPECT_EQ(wordAt(reply, 0), kStatusUtRejected);
  EXPECT_EQ(proto::loadLe16(&reply[4]), 0x1234);
  EXPECT_STREQ(reinterpret_cast<const char*>(&reply[6]), "abc");

  sim.rejectCommand(19, 7, std::string(300, 'x'));
  reply = client.command(nvRead(1, 0));
  ASSERT_EQ(reply.size(), 264u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply[6])), std::string(255, 'x'));
}

TEST_F(Relay, SilentUtGivesReplyTwoAfterThreeTransmissionsThenResynchronises) {
  WireClient& client = connectUp();
  sim.setSilentFor(19, true);
  EXPECT_EQ(client.command(nvRead(1, 0)), words({kStatusNoUtReply}));
  EXPECT_EQ(sim.framesReceived(19), 3u) << "sent three times";

  AsyncMessage change;
  ASSERT_TRUE(client.nextAsync(change));
  EXPECT_EQ(change.id, kLinkEstablishing);
  ASSERT_TRUE(client.nextAsync(change));
  EXPECT_EQ(change.id, kLinkUp) << "the sync after the lost link brings it back";
  sim.setSilentFor(19, false);
  EXPECT_EQ(client.status(client.command(nvRead(1, 0))), kStatusOk);
}

// An answer that arrives after its command gave up (here the 4-byte answer
// of an NV read, first byte 0, with either sequence bit) while the service
// programming code waits for its own: the code's answer is one byte, so the
// late one cannot be it and must not make the code look refused. The code
// is answered by the UT on its retransmission.
TEST_F(Relay, ALateAnswerNeverReachesTheCommandWaitingAfterIt) {
  WireClient& client = connectUp();
  std::vector<uint8_t> code = words({kCmdSendSpCode});
  for (char digit : std::string("000000")) code.push_back(static_cast<uint8_t>(digit));
  const uint32_t sent = sim.framesReceived(proto::ut_command::kServiceProgrammingCode);
  sim.silenceNext(1);
  ASSERT_TRUE(client.send(code));
  ASSERT_TRUE(sim.waitUntil([&](const sim::SimulatorCounters&) {
    return sim.framesReceived(proto::ut_command::kServiceProgrammingCode) == sent + 1;
  }, 2000));
  for (uint8_t sequence : {uint8_t{0}, uint8_t{1}}) sim.sendRawPacket(proto::ut_packet::kAccepted, {sequence, 0, 0, 0, 0});
  std::vector<uint8_t> reply = client.awaitReply();
  EXPECT_EQ(reply, (std::vector<uint8_t>{0, 0, 0, 0, 1})) << "the code was taken for refused";
  EXPECT_EQ(sim.framesReceived(proto::ut_command::kServiceProgrammingCode), sent + 2);
}

TEST_F(Relay, MultiPartStatusDataIsAssembledIntoOneReply) {
  WireClient& client = connectUp();
  sim.setStatusRecordsPerResponse(3);
  auto reply = client.command(words({kCmdGetStatusData, 5, 0x21, 0x37, 0x38, 0x39, 0x28}));
  ASSERT_EQ(client.status(reply), kStatusOk);
  EXPECT_EQ(wordAt(reply, 4), 5u);
  std::size_t pos = 8;
  std::vector<uint16_t> items;
  while (pos + 4 <= reply.size()) {
    items.push_back(proto::loadLe16(&reply[pos]));
    pos += 4 + proto::loadLe16(&reply[pos + 2]);
  }
  EXPECT_EQ(pos, reply.size());
  EXPECT_EQ(items, (std::vector<uint16_t>{0x21, 0x37, 0x38, 0x39, 0x28}));

  // A count that overruns the message is refused without asking the UT.
  EXPECT_EQ(client.command(words({kCmdGetStatusData, 6, 0x21})), words({kStatusFailed}));
}

TEST_F(Relay, LogStatusRecordsAreWidened) {
  WireClient& client = connectUp();
  sim.setLogStatusRecordsPerResponse(1);
  std::vector<uint8_t> request = words({kCmdGetLogStatusData, 2});
  request.insert(request.end(), {4, 5});
  auto reply = client.command(request);
  ASSERT_EQ(client.status(reply), kStatusOk);
  EXPECT_EQ(wordAt(reply, 4), 2u);
  ASSERT_EQ(reply.size(), 8u + 2 * 28u);
  EXPECT_EQ(reply[8], 4);
  EXPECT_EQ(reply[8 + 28], 5);
}

TEST_F(Relay, VersionIsAskedAgainUntilItHasItsSize) {
  WireClient& client = connectUp();
  sim.badVersionLength(5, 82);
  auto reply = client.command(words({kCmdGetVersionInfo}));
  EXPECT_EQ(client.status(reply), kStatusOk) << "the sixth answer was right";
  EXPECT_EQ(reply.size(), 4u + 83u);

  sim.badVersionLength(6, 82);
  reply = client.command(words({kCmdGetVersionInfo}));
  EXPECT_EQ(client.status(reply), kStatusBadReplySize);
  EXPECT_EQ(reply.size(), 4u + 83u);
}

TEST_F(Relay, LinkStatisticsAreReadAndReset) {
  WireClient& client = connectUp();
  sim.setSilentFor(19, true);
  client.command(nvRead(1, 0));  // three response time-outs
  sim.setSilentFor(19, false);
  AsyncMessage change;
  while (client.nextAsync(change, 3000) && change.id != kLinkUp) {
  }
  std::vector<uint8_t> request = words({kCmdGetLinkStats, 1, 1});
  request.push_back(3);
  auto reply = client.command(request);
  ASSERT_EQ(reply.size(), 24u + 8u);
  EXPECT_EQ(wordAt(reply, 16), 3u) << "every expiry while Up counts";
  EXPECT_EQ(wordAt(reply, 20), 1u);
  EXPECT_EQ(reply[24], 3);
  reply = client.command(words({kCmdGetLinkStats, 0, 0}));
  EXPECT_EQ(wordAt(reply, 16), 0u) << "the reset flag cleared the counters";
  EXPECT_EQ(client.command(words({kCmdGetLinkStats, 0, 543})), words({kStatusReplyTooBig}));
}

TEST_F(Relay, ServerAnsweredCommandsAndBadInput) {
  WireClient& client = connectUp();
  EXPECT_EQ(client.command(words({kCmdGetAvailableBaudRates})), words({kStatusOk, 0x1F}));
  EXPECT_EQ(client.command(words({kCmdGetDropCounts})), words({kStatusOk, 0, 0}));
  EXPECT_EQ(client.command(words({kCmdSetDtrState, 0})), words({kStatusOk}));
  EXPECT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return !c.dtr; }, 2000));
  EXPECT_EQ(client.command(words({kCmdSetDtrState, 1})), words({kStatusOk}));

  EXPECT_EQ(client.command(words({kCmdReadNvItem, 1})), words({kStatusFailed})) << "short message";
  EXPECT_EQ(client.command({1, 2}, 500), std::vector<uint8_t>{}) << "too short for an id: no reply";
  EXPECT_EQ(client.command(words({999}), 500), std::vector<uint8_t>{}) << "unknown id: no reply";
  EXPECT_EQ(client.status(client.command(nvRead(1, 0))), kStatusOk) << "and the client is idle again";
}

// Every byte 0x1B is escaped to two: 4356 of them make a frame far over
// the transmit buffer.
TEST_F(Relay, AFrameThatDoesNotFitFailsItsCommandAndTheLinkGoesOn) {
  WireClient& client = connectUp();
  std::vector<uint8_t> raw = words({kCmdRawUt});
  raw.resize(kMaxMessage, 0x1B);
  EXPECT_EQ(client.command(raw), words({kStatusFailed}));
  EXPECT_EQ(client.status(client.command(nvRead(1, 0))), kStatusOk);
}

}  // namespace
}  // namespace kmx::server::testing
