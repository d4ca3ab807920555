// Finding the UT and keeping the link: rates, fallback, RTS reset,
// keep-alive, and the state changes clients hear of.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "server_fixture.h"

namespace kmx::server::testing {
namespace {

using namespace kmx::msg;

class LinkManagement : public ServerTest {};

std::vector<uint8_t> nvRead() { return words({kCmdReadNvItem, 1, 0}); }

TEST_F(LinkManagement, WithoutCtsTheOpenIsAnsweredAfterItsTimeOutWithDown) {
  sim.setCts(false);
  WireClient& client = connect();
  ASSERT_TRUE(client.connected());
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.openConnection(1, 7), static_cast<int>(kLinkDown));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));

  sim.setCts(true);
  AsyncMessage change;
  ASSERT_TRUE(client.nextAsync(change));
  EXPECT_EQ(change.id, kLinkEstablishing);
  ASSERT_TRUE(client.nextAsync(change));
  EXPECT_EQ(change.id, kLinkUp);
}

TEST_F(LinkManagement, RateIsNegotiatedToTheHighestRequested) {
  connectUp(19200);
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.utRate == 19200 && c.hostRate == 19200; }, 5000));
  WireClient& second = connectUp(115200);
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.utRate == 115200 && c.hostRate == 115200; }, 5000));
  EXPECT_EQ(second.status(second.command(nvRead())), kStatusOk);

  // A client asks for a lower rate: the highest still wins; an unknown rate is refused.
  EXPECT_EQ(second.command(words({kCmdSetBaudRate, 38400})), words({kStatusOk}));
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.utRate == 38400; }, 5000));
  EXPECT_EQ(second.command(words({kCmdSetBaudRate, 14400})), words({kStatusBadBaudRate}));
}

// The UT restarts (and so listens at 9600) while the port runs faster: the
// link is lost, the sync at the old rate fails, the port falls back to 9600,
// and the rate is negotiated again.
TEST_F(LinkManagement, PowerCycledUtIsFoundAgainAt9600AndMovedBackUp) {
  WireClient& client = connectUp(57600);
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.utRate == 57600; }, 5000));
  sim.powerCycle(400);
  AsyncMessage change;
  ASSERT_TRUE(client.nextAsync(change));
  EXPECT_EQ(change.id, kLinkDown);
  ASSERT_TRUE(client.nextAsync(change));
  EXPECT_EQ(change.id, kLinkEstablishing);
  ASSERT_TRUE(client.nextAsync(change, 10000));
  EXPECT_EQ(change.id, kLinkUp);
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.utRate == 57600 && c.hostRate == 57600; }, 5000));
  EXPECT_EQ(client.status(client.command(nvRead())), kStatusOk);
}

TEST_F(LinkManagement, SilentUtIsResetThroughRts) {
  sim.setSilent(true);
  WireClient& client = connect();
  ASSERT_TRUE(client.connected());
  EXPECT_EQ(client.openConnection(0, 7), static_cast<int>(kLinkEstablishing));
  // Two syncs fail (400 ms each, twice), RTS goes off for 3.2 s: the UT resets.
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.restarts >= 1; }, 10000));
  sim.setSilent(false);
  AsyncMessage change;
  ASSERT_TRUE(client.nextAsync(change, 10000));
  EXPECT_EQ(change.id, kLinkUp);
}

TEST_F(LinkManagement, KeepAlivePingsOnlyAnIdleLink) {
  WireClient& client = connectUp();
  // Busy: back-to-back commands leave no idle second, so every frame the UT
  // sees is one of ours.
  uint32_t before = sim.counters().framesReceived;
  int commands = 0;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  while (std::chrono::steady_clock::now() < end) {
    ASSERT_EQ(client.status(client.command(nvRead())), kStatusOk);
    ++commands;
  }
  EXPECT_EQ(sim.counters().framesReceived - before, static_cast<uint32_t>(commands));
  // Idle: pings come.
  before = sim.counters().framesReceived;
  EXPECT_TRUE(sim.waitUntil([&](const sim::SimulatorCounters& c) { return c.framesReceived > before; }, 5000));
}

TEST_F(LinkManagement, StateChangesAreToldByMask) {
  WireClient& upOnly = connectUp(9600, kLinkUp);
  WireClient& all = connectUp(9600, kLinkUp | kLinkEstablishing | kLinkDown);
  sim.setCts(false);
  AsyncMessage change;
  ASSERT_TRUE(all.nextAsync(change));
  EXPECT_EQ(change.id, kLinkDown);
  sim.setCts(true);
  ASSERT_TRUE(all.nextAsync(change));
  EXPECT_EQ(change.id, kLinkEstablishing);
  ASSERT_TRUE(all.nextAsync(change));
  EXPECT_EQ(change.id, kLinkUp);
  ASSERT_TRUE(upOnly.nextAsync(change));
  EXPECT_EQ(change.id, kLinkUp) << "the up-only client hears only of Up";
  EXPECT_FALSE(upOnly.nextAsync(change, 200));
}

// A state change that finds the client's mailbox full is tried again later,
// without holding up the server: another client is served meanwhile, and the
// message arrives once there is room.
TEST_F(LinkManagement, StateChangeToAFullMailboxIsRetriedWithoutBlocking) {
  WireClient& full = connectUp();
  WireClient& other = connectUp(9600, 0);
  full.command(words({kCmdRegister, 1, kAsyncAlert, 3, 0, 0xFFFFFFFF}));
  for (int i = 0; i < 20; ++i) sim.sendAlert(3, {static_cast<uint8_t>(i)});
  ASSERT_TRUE(other.status(other.command(words({kCmdGetDropCounts}))) == kStatusOk);
  sim.setCts(false);
  // Once the CTS poll has seen it the link is down (and the Down message
  // waits for room).
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (other.status(other.command(nvRead())) != kStatusLinkDown && std::chrono::steady_clock::now() < limit) {
  }
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(other.status(other.command(nvRead())), kStatusLinkDown);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  AsyncMessage message;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(full.nextAsync(message));
    EXPECT_EQ(message.type, kAsyncAlert);
  }
  ASSERT_TRUE(full.nextAsync(message, 2000));
  EXPECT_EQ(message.type, kAsyncStateChange);
  EXPECT_EQ(message.id, kLinkDown);
}

// Asynchronous data never overtakes a state change that waits for room in
// the same client's mailbox.
TEST_F(LinkManagement, DataDoesNotOvertakeAStateChangeWaitingForRoom) {
  WireClient& full = connectUp(115200, kLinkUp | kLinkEstablishing | kLinkDown);
  WireClient& other = connectUp(115200, kLinkUp | kLinkDown);
  full.command(words({kCmdRegister, 1, kAsyncAlert, 3, 0, 0xFFFFFFFF}));
  for (int i = 0; i < 20; ++i) sim.sendAlert(3, {static_cast<uint8_t>(i)});
  ASSERT_EQ(other.status(other.command(words({kCmdGetDropCounts}))), kStatusOk);  // the alerts are in
  // Down and Up wait for room in the full client's mailbox.
  AsyncMessage message;
  sim.setCts(false);
  ASSERT_TRUE(other.nextAsync(message, 10000));
  ASSERT_EQ(message.id, kLinkDown);
  sim.setCts(true);
  ASSERT_TRUE(other.nextAsync(message, 10000));
  ASSERT_EQ(message.id, kLinkUp);
  // Alerts keep coming while the full client makes room.
  std::atomic<bool> streaming{true};
  std::thread stream([&] {
    for (uint8_t i = 100; streaming && i < 250; ++i) {
      sim.sendAlert(3, {i});
      usleep(1000);
    }
  });
  std::vector<AsyncMessage> received;
  while (full.nextAsync(message, 1000)) received.push_back(message);
  streaming = false;
  stream.join();
  std::size_t lastState = 0, firstLate = received.size();
  bool stateSeen = false;
  for (std::size_t i = 0; i < received.size(); ++i) {
    if (received[i].type == kAsyncStateChange) {
      lastState = i;
      stateSeen = true;
    } else if (!received[i].payload.empty() && received[i].payload[0] >= 100 && firstLate == received.size()) {
      firstLate = i;
    }
  }
  ASSERT_TRUE(stateSeen);
  EXPECT_LT(lastState, firstLate) << "an alert sent after the change arrived before it";
}

}  // namespace
}  // namespace kmx::server::testing
