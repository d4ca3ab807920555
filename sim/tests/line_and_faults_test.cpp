// The serial line (rates, CTS, RTS, reconnects, pacing) and the faults that
// can be switched on.
#include <chrono>

#include "kmx/sim/ut_commands.h"
#include "kmx/sim/ut_model.h"
#include "paced_queue.h"
#include "sim_fixture.h"

namespace kmx::sim::testing {
namespace {

using namespace ut_command;

class Line : public SimulatorTest {};
class Faults : public SimulatorTest {};

TEST_F(Line, BytesAtAnotherRateNeverFormAValidFrame) {
  ASSERT_TRUE(host->setRate(19200));
  ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return c.hostRate == 19200; }, 1000));
  Packet response;
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(host->request(kSync, {1, 2, 3}, response, 100));
  EXPECT_EQ(sim.counters().framesReceived, 0u);

  ASSERT_TRUE(host->setRate(9600));
  EXPECT_TRUE(host->request(kSync, {1, 2, 3}, response));
}

TEST_F(Line, RtsHeldOffResetsTheUtTo9600) {
  ASSERT_EQ(ask(kSetRate, le32(115200)).type, 1);
  ASSERT_TRUE(host->setRate(115200));
  ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return c.utRate == 115200; }, 1000));

  ASSERT_TRUE(host->setRts(false));
  ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return c.restarts == 1; }, 5000));
  ASSERT_TRUE(host->setRts(true));
  EXPECT_EQ(sim.counters().utRate, 9600u);
  ASSERT_TRUE(host->setRate(9600));
  EXPECT_EQ(ask(kSync).type, 1);
}

TEST_F(Line, ShortRtsDropDoesNotReset) {
  ASSERT_TRUE(host->setRts(false));
  host->pump(200);
  ASSERT_TRUE(host->setRts(true));
  host->pump(50);
  EXPECT_EQ(sim.counters().restarts, 0u);
}

TEST_F(Line, CtsFollowsTheUtAndAPowerCycle) {
  EXPECT_TRUE(host->cts());
  sim.setCts(false);
  host->pump(50);
  EXPECT_FALSE(host->cts());
  sim.setCts(true);
  host->pump(50);
  EXPECT_TRUE(host->cts());

  sim.powerCycle(300);
  host->pump(100);
  EXPECT_FALSE(host->cts());
  Packet response;
  EXPECT_FALSE(host->request(kSync, {}, response, 50)) << "a UT without power answers nothing";
  ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return c.cts && c.restarts == 1; }, 3000));
  host->pump(50);
  EXPECT_TRUE(host->cts());
  EXPECT_EQ(ask(kSync).type, 1);
}

TEST_F(Line, AHostThatComesBackFindsTheUtAsItLeftIt) {
  ASSERT_EQ(ask(kNvWrite, cat({le16(3), le16(0), {0x42}})).type, 1);
  host.reset();
  ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return !c.hostConnected; }, 2000));
  host = std::make_unique<SimHost>("UT1");
  ASSERT_TRUE(host->ok());
  EXPECT_EQ(ask(kNvRead, cat({le16(3), le16(0)})).payload, std::vector<uint8_t>{0x42});
  EXPECT_EQ(sim.counters().hostConnections, 2u);

  // While one host holds the port, a second one is turned away.
  SimHost intruder("UT1");
  Packet response;
  EXPECT_FALSE(intruder.ok() && intruder.request(kSync, {}, response, 200));
  EXPECT_EQ(ask(kSync).type, 1);
}

// Pacing makes bytes take their wire time: 10 bits a byte.
TEST_F(Line, PacingDeliversAtTheWireSpeed) {
  sim.setPacing(true);
  auto start = std::chrono::steady_clock::now();
  Packet version = ask(kVersion);  // about 90 bytes each way at 9600 bit/s
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(version.payload.size(), 83u);
  EXPECT_GE(elapsed, std::chrono::milliseconds(90)) << "faster than the wire";
}

// Through a receive FIFO the bytes come in batches: at the trigger level,
// after four quiet character times, and on the UT's side at a frame flag.
TEST(PacedFifo, HandsBytesOverAtItsTriggerAFlagOrItsTimeOut) {
  constexpr uint32_t kRate = 115200;
  constexpr int64_t kByteUs = 86;
  PacedQueue host;
  host.setFifo(8, false);
  host.push(std::vector<uint8_t>(12, 0x41), 0);
  EXPECT_EQ(host.nextReadyUs(true, kRate), 8 * kByteUs);
  EXPECT_TRUE(host.take(7 * kByteUs, true, kRate).empty());
  EXPECT_EQ(host.take(8 * kByteUs, true, kRate).size(), 8u);
  EXPECT_EQ(host.nextReadyUs(true, kRate), 16 * kByteUs) << "the last byte's arrival and four quiet ones";
  EXPECT_TRUE(host.take(15 * kByteUs, true, kRate).empty());
  EXPECT_EQ(host.take(16 * kByteUs, true, kRate).size(), 4u);
  EXPECT_EQ(host.nextReadyUs(true, kRate), -1);

  PacedQueue ut;
  ut.setFifo(8, true);
  ut.push(std::vector<uint8_t>{0x1E, 1, 2, 3, 0x1E}, 0);
  EXPECT_EQ(ut.take(kByteUs, true, kRate).size(), 1u) << "the opening flag";
  EXPECT_EQ(ut.nextReadyUs(true, kRate), 5 * kByteUs);
  EXPECT_EQ(ut.take(5 * kByteUs, true, kRate).size(), 4u) << "up to the closing flag, at once";
}

// A host that stops reading: what its port cannot hold is counted as an
// overrun, never lost unseen, and the rest waits for it. What the host reads
// afterwards and what was overrun make up everything the UT sent.
TEST_F(Line, BytesTheHostHasNoRoomForAreCountedAsAnOverrun) {
  for (int i = 0; i < 100; ++i) sim.sendRawPacket(0x40, std::vector<uint8_t>(4000, static_cast<uint8_t>(i)));
  const SimulatorCounters sent = sim.counters();
  ASSERT_GT(sent.lineOverruns, 0u) << "400 KB cannot all wait for a host that reads nothing";
  const std::vector<uint8_t> read = host->readRawBytes(sent.bytesToHost, 1000);
  EXPECT_EQ(read.size() + sim.counters().lineOverruns, sent.bytesToHost);
  EXPECT_EQ(sim.counters().lineOverruns, sent.lineOverruns) << "the host read in time for the rest";
}

TEST_F(Faults, SilenceAlwaysForACodeAndForTheNextRequests) {
  Packet response;
  sim.setSilent(true);
  EXPECT_FALSE(host->request(kSync, {}, response, 150));
  sim.setSilent(false);
  EXPECT_TRUE(host->request(kSync, {}, response));

  sim.setSilentFor(kVersion, true);
  EXPECT_FALSE(host->request(kVersion, {}, response, 150));
  EXPECT_TRUE(host->request(kSync, {}, response));
  sim.setSilentFor(kVersion, false);

  sim.silenceNext(2);
  EXPECT_FALSE(host->request(kSync, {}, response, 150));
  EXPECT_FALSE(host->repeat(response, 150));
  EXPECT_TRUE(host->repeat(response)) << "the third transmission is answered";
}

TEST_F(Faults, ALostResponseIsRepeatedWithoutApplyingTwice) {
  uint32_t writesBefore = 0;
  sim.withModel([&](UtModel& m) { writesBefore = m.nv.writeCount(); });
  sim.loseResponses(1);
  Packet response;
  EXPECT_FALSE(host->request(kNvWrite, cat({le16(3), le16(0), {5}}), response, 150));
  ASSERT_TRUE(host->repeat(response));
  EXPECT_EQ(response.type, 1);
  uint32_t writesAfter = 0;
  sim.withModel([&](UtModel& m) { writesAfter = m.nv.writeCount(); });
  EXPECT_EQ(writesAfter, writesBefore + 1);
  EXPECT_EQ(sim.counters().repeatsAnswered, 1u);
  // A new request with the other sequence bit is carried out normally.
  EXPECT_EQ(ask(kNvWrite, cat({le16(3), le16(0), {5}})).type, 1);
  sim.withModel([&](UtModel& m) { writesAfter = m.nv.writeCount(); });
  EXPECT_EQ(writesAfter, writesBefore + 2);
}

TEST_F(Faults, InjectedRejectionAndWrongVersionLength) {
  sim.rejectCommand(kNvRead, 0x1234, "abc");
  Packet rejected = ask(kNvRead, cat({le16(1), le16(0)}));
  EXPECT_EQ(rejected.type, 2);
  EXPECT_EQ(rejectionCode(rejected), 0x1234);
  EXPECT_EQ(rejectionText(rejected), "abc");
  sim.clearRejection(kNvRead);
  EXPECT_EQ(ask(kNvRead, cat({le16(1), le16(0)})).type, 1);

  sim.badVersionLength(2, 82);
  EXPECT_EQ(ask(kVersion).payload.size(), 82u);
  EXPECT_EQ(ask(kVersion).payload.size(), 82u);
  EXPECT_EQ(ask(kVersion).payload.size(), 83u);
}

TEST_F(Faults, NoiseDamagesFramesAndIsCounted) {
  // At one flipped bit in ten bytes hardly a frame comes through whole.
  sim.setNoise(0.1);
  Packet response;
  int answered = 0;
  for (int i = 0; i < 10; ++i) answered += host->request(kSync, std::vector<uint8_t>(40, 0x33), response, 100);
  EXPECT_LT(answered, 5);
  EXPECT_GT(sim.counters().crcErrors + host->crcErrors(), 0u);
  sim.setNoise(0);
  EXPECT_TRUE(host->request(kSync, {}, response));
}

}  // namespace
}  // namespace kmx::sim::testing

namespace kmx::sim::testing {
namespace {

// On a pty there are no modem lines or rate messages: the host opens the
// slave by its port entry like any serial device, and frames go through.
TEST(PtyPort, TheUtAnswersOnAPty) {
  kmx::testing::RuntimeSandbox sandbox;
  SimulatorOptions options;
  options.pty = true;
  UtSimulator sim(options);
  ASSERT_TRUE(sim.start()) << sim.lastError();
  SimHost host("UT1");
  ASSERT_TRUE(host.ok());
  EXPECT_TRUE(host.cts()) << "a pty has no modem lines: CTS reads on";
  Packet response;
  ASSERT_TRUE(host.request(ut_command::kNvRead, cat({le16(1), le16(0)}), response));
  EXPECT_EQ(response.payload, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
}

}  // namespace
}  // namespace kmx::sim::testing
