// The server's end of the link, driven directly against the simulated UT.
#include <gtest/gtest.h>

#include <algorithm>

#include "kmx/proto/ut_commands.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "ut_link.h"

namespace kmx::server {
namespace {

class QuietEvents : public UtLinkEvents {
 public:
  void requestFailed() override {}
  void packetWhileNotUp() override {}
  void unsolicited(uint8_t, std::span<const uint8_t>) override {}
};

// The response that hands the port to an Xmodem transfer is dispatched from
// inside the decoder; what the port holds after it (here the loader's first
// NAK, sent while the response was still unread) belongs to the transfer.
TEST(UtLinkPort, BytesAfterTheSwitchToXmodemGoToTheTransfer) {
  kmx::testing::RuntimeSandbox sandbox;
  sim::UtSimulator sim;
  ASSERT_TRUE(sim.start()) << sim.lastError();
  TimerQueue timers;
  UtLink link(timers);
  QuietEvents events;
  link.setEvents(&events);
  std::vector<uint8_t> transfer;
  link.xmodemBytes = [&](std::span<const uint8_t> bytes) { transfer.insert(transfer.end(), bytes.begin(), bytes.end()); };
  ASSERT_TRUE(link.openPort("UT1"));
  link.setState(LinkState::Up);

  bool accepted = false;
  link.submit(std::make_unique<UtRequest>(proto::ut_command::kStartDownload, std::vector<uint8_t>{},
                                          [&](RequestStatus status, std::span<const uint8_t>) {
                                            accepted = status == RequestStatus::Accepted;
                                            // What entering Xmodem mode does.
                                            link.setXmodem(true);
                                            link.drainPort();
                                          }),
              1);
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.xmodemNaks >= 1; }, 5000));
  link.serialDataReady();
  EXPECT_TRUE(accepted);
  EXPECT_NE(std::find(transfer.begin(), transfer.end(), uint8_t{0x15}), transfer.end())
      << "the loader's NAK went to the frame decoder";
}

}  // namespace
}  // namespace kmx::server
