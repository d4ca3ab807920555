// A line that does not take the server's output as fast as the server writes
// it: the clients are served meanwhile, and the frames still reach the UT
// whole, in order.
#include <gtest/gtest.h>

#include <memory>

#include "kmx/platform/wait.h"
#include "kmx/proto/ut_commands.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmx_messages.h"
#include "wire_client.h"

namespace kmx::server::testing {
namespace {

using namespace kmx::server::wire;
using namespace kmx::msg;

// The UT on a pty (the server writes to it as to a tty), its receiver stopped
// while the test wants the server's output to wait in the port.
class SlowLine : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimulatorOptions options;
    options.pty = true;
    sim = std::make_unique<sim::UtSimulator>(options);
    ASSERT_TRUE(sim->start()) << sim->lastError();
  }

  void TearDown() override {
    sim->holdLine(false);
    for (auto& client : clients) client->close();
  }

  WireClient& connect() {
    clients.push_back(std::make_unique<WireClient>("UT1", KMXSERVER_PATH, 9600));
    return *clients.back();
  }

  static uint32_t retransmissions(WireClient& client) {
    std::vector<uint8_t> reply = client.command(words({kCmdGetLinkStats, 0, 0}), 5000);
    return reply.size() >= reply::kStatsCount ? wordAt(reply, reply::kStatsRetransmissions) : 0xFFFFFFFF;
  }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<sim::UtSimulator> sim;
  std::vector<std::unique_ptr<WireClient>> clients;
};

// A raw request of 4000 bytes 0x5B, each escaped to two on the wire: a frame
// of about 8 KiB, two of which do not fit in a pty's buffer. While the UT
// takes nothing, the first transmission fills the port and the second (after
// the response time-out) cannot be written whole. The other client's
// questions are answered all the same (a server that waited for the port
// would answer only after giving the write up, 9 s later, and the cut frame
// would reach the UT as a damaged one). Once the UT reads again, both
// transmissions reach it whole and the request completes.
TEST_F(SlowLine, ClientsAreServedWhileAFrameWaitsForTheLine) {
  WireClient& writer = connect();
  WireClient& other = connect();
  ASSERT_TRUE(writer.connected());
  ASSERT_TRUE(other.connected());
  ASSERT_EQ(writer.openConnection(10, 0), 1);
  ASSERT_EQ(other.openConnection(10, 0), 1);
  ASSERT_EQ(retransmissions(other), 0u);
  const uint32_t framesBefore = sim->counters().framesReceived;

  sim->holdLine(true);
  std::vector<uint8_t> raw = words({kCmdRawUt});
  raw.resize(4 + 4000, 0x5B);
  ASSERT_TRUE(writer.send(raw));

  // The response time-out of the first transmission has passed when the
  // retransmission is counted; the server is then writing the second one.
  uint32_t counted = 0;
  for (const int64_t end = monotonicMs() + 5000; counted == 0 && monotonicMs() < end;) counted = retransmissions(other);
  ASSERT_EQ(counted, 1u) << "no answer while the frame waits for the line, or no retransmission";
  // Still answered, and nothing more is counted: the next response timer
  // waits for the frame to be written whole.
  EXPECT_EQ(retransmissions(other), 1u);
  EXPECT_EQ(wordAt(other.command(words({kCmdGetDropCounts}), 5000), 0), kStatusOk);
  EXPECT_EQ(sim->counters().framesReceived, framesBefore) << "the UT was to take nothing yet";

  sim->holdLine(false);
  std::vector<uint8_t> reply = writer.awaitReply(20000);
  ASSERT_GE(reply.size(), 4u) << "no reply to the long request";
  EXPECT_EQ(wordAt(reply, 0), kStatusOk);
  ASSERT_TRUE(sim->waitUntil([&](const sim::SimulatorCounters& c) { return c.framesReceived >= framesBefore + 2; },
                             10000));
  const sim::SimulatorCounters after = sim->counters();
  EXPECT_EQ(after.crcErrors, 0u) << "a transmission reached the UT cut short";
  EXPECT_EQ(after.framesReceived, framesBefore + 2) << "both transmissions, whole";
}

}  // namespace
}  // namespace kmx::server::testing
