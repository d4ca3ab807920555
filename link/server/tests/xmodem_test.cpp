// Xmodem mode: a software download through the server to the simulated
// UT's loader, its failures, and the rules for a second client.
#include <numeric>

#include "server_fixture.h"

namespace kmx::server::testing {
namespace {

using namespace kmx::msg;

class Xmodem : public ServerTest {
 protected:
  static std::vector<uint8_t> xmodem(int32_t sub, uint32_t parameter, const std::vector<uint8_t>& data = {}) {
    std::vector<uint8_t> request = words({kCmdXmodem, static_cast<uint32_t>(sub), parameter});
    request.insert(request.end(), data.begin(), data.end());
    return request;
  }
  static std::vector<uint8_t> image(std::size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), seed);
    return bytes;
  }
  static std::vector<uint8_t> padded(std::vector<uint8_t> bytes) {
    bytes.resize((bytes.size() + 1023) / 1024 * 1024, 0x1A);
    return bytes;
  }
  // Enter, send `data` in one command with the last-data flag, and return the
  // reply words of the two commands.
  std::pair<uint32_t, uint32_t> download(WireClient& client, const std::vector<uint8_t>& data) {
    uint32_t entered = client.status(client.command(xmodem(0, 0), 15000));
    if (entered != kStatusOk) return {entered, 0xFFFFFFFF};
    // A command carries at most 4348 bytes of data.
    constexpr std::size_t kChunk = kMaxMessage - cmd::kXmodemData;
    uint32_t sent = kStatusOk;
    for (std::size_t at = 0; sent == kStatusOk; at += kChunk) {
      bool last = at + kChunk >= data.size();
      std::vector<uint8_t> chunk(data.begin() + static_cast<long>(at),
                                 data.begin() + static_cast<long>(std::min(data.size(), at + kChunk)));
      sent = client.status(client.command(xmodem(1, last ? 1 : 0, chunk), 15000));
      if (last) break;
    }
    return {entered, sent};
  }
};

TEST_F(Xmodem, ALoaderAndAnImageReachTheUtWhichComesBackOnTheFramedLink) {
  WireClient& client = connectUp();
  auto loader = image(2049, 1);
  EXPECT_EQ(download(client, loader), std::make_pair(kStatusOk + 0, kStatusOk + 0)) << "three blocks and EOT";
  EXPECT_EQ(sim.framesReceived(21), 1u) << "the UT was asked to start its loader";
  auto software = image(5000, 9);
  EXPECT_EQ(download(client, software), std::make_pair(kStatusOk + 0, kStatusOk + 0))
      << "the link is not up: no second request to start the loader";
  EXPECT_EQ(sim.framesReceived(21), 1u);
  auto received = sim.receivedTransfers();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], padded(loader));
  EXPECT_EQ(received[1], padded(software));

  // The UT restarted at 9600; the server finds it again.
  AsyncMessage change;
  while (client.nextAsync(change, 15000) && change.id != kLinkUp) {
  }
  EXPECT_EQ(change.id, kLinkUp);
  EXPECT_EQ(client.status(client.command(words({kCmdReadNvItem, 1, 0}))), kStatusOk);
}

TEST_F(Xmodem, DataIsBlockedAcrossCommandsAndEndIsRepeatedOnNak) {
  WireClient& client = connectUp();
  sim.setTransfersPerDownload(1);
  ASSERT_EQ(client.status(client.command(xmodem(0, 0), 15000)), kStatusOk);
  auto data = image(1024, 3);
  std::vector<uint8_t> first(data.begin(), data.begin() + 500), rest(data.begin() + 500, data.end());
  EXPECT_EQ(client.command(xmodem(1, 0, first)), words({kStatusOk})) << "no block yet, answered at once";
  EXPECT_EQ(sim.counters().xmodemBlocksSeen, 0u);
  sim.xmodemNakEots(1);
  EXPECT_EQ(client.command(xmodem(1, 1, rest)), words({kStatusOk}));
  auto received = sim.receivedTransfers();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], data) << "block 1 made of both pieces, no padding needed";
}

TEST_F(Xmodem, AnswerHoldingAckAndNakCountsAsNak) {
  WireClient& client = connectUp();
  sim.setTransfersPerDownload(1);
  ASSERT_EQ(client.status(client.command(xmodem(0, 0), 15000)), kStatusOk);
  sim.xmodemAnswerNextBlock({0x06, 0x15});
  EXPECT_EQ(client.command(xmodem(1, 1, image(100, 0))), words({kStatusOk}));
  EXPECT_EQ(sim.counters().xmodemBlocksSeen, 2u) << "the block was sent again";
}

TEST_F(Xmodem, FailuresEndTheTransferWithTheirReplies) {
  WireClient& client = connectUp();
  sim.setTransfersPerDownload(1);
  sim.xmodemRefuseBlocks(11);
  EXPECT_EQ(download(client, image(10, 0)).second, kStatusXmodemFailed) << "sent 11 times, then given up";
  EXPECT_EQ(sim.counters().xmodemBlocksSeen, 11u);

  sim.xmodemRefuseBlocks(0);
  sim.enterLoader();  // the loader starts over
  sim.xmodemCancel();
  EXPECT_EQ(download(client, image(10, 0)).second, kStatusXmodemCancelledByUt);

  sim.xmodemSilentAfterEot(false);
  AsyncMessage change;
  while (client.nextAsync(change, 0)) {
  }
  sim.setCts(false);
  do {
    ASSERT_TRUE(client.nextAsync(change, 5000)) << "the server saw CTS go";
  } while (change.id != kLinkDown);
  sim.setCts(true);
  EXPECT_EQ(client.status(client.command(xmodem(1, 1))), kStatusNotInXmodem);
}

TEST_F(Xmodem, ReceiverThatNeverStartsIsGivenUpAfterBothWindows) {
  WireClient& client = connectUp();
  sim.xmodemNeverStart(true);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.status(client.command(xmodem(0, 0), 15000)), kStatusXmodemStartFailed);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4800)) << "2500 ms twice";
  EXPECT_EQ(sim.counters().hostRate, 115200u) << "the second window is at 115200";
}

TEST_F(Xmodem, CtsLossEndsTheTransfer) {
  WireClient& client = connectUp();
  sim.xmodemNeverStart(true);
  ASSERT_TRUE(client.send(xmodem(0, 0)));
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.inLoader; }, 5000));
  sim.setCts(false);
  EXPECT_EQ(client.awaitReply(), words({kStatusLinkDown}));
}

TEST_F(Xmodem, OwnerCancelsItsWaitingCommandWithCommand47) {
  WireClient& client = connectUp();
  sim.xmodemNeverStart(true);
  ASSERT_TRUE(client.send(xmodem(0, 0)));
  // The cancel waits in the mailbox until the server, which gets the UT's
  // answer right after the UT enters its loader, has the owner idle again.
  ASSERT_TRUE(sim.waitUntil([](const sim::SimulatorCounters& c) { return c.inLoader; }, 5000));
  ASSERT_TRUE(client.send(words({kCmdCancelXmodem})));
  EXPECT_EQ(client.awaitReply(), words({kStatusXmodemCancelled}));
  EXPECT_TRUE(client.awaitReply(300).empty()) << "command 47 has no reply of its own";
}

TEST_F(Xmodem, ASecondClientIsRefused) {
  WireClient& owner = connectUp();
  WireClient& other = connectUp();
  sim.setTransfersPerDownload(1);
  ASSERT_EQ(owner.status(owner.command(xmodem(0, 0), 15000)), kStatusOk);
  EXPECT_EQ(other.command(xmodem(0, 0)), words({kStatusAlreadyInXmodem}));
  EXPECT_EQ(other.command(xmodem(1, 1, {1})), words({kStatusNotXmodemOwner}));
  EXPECT_EQ(other.command(xmodem(2, 0)), words({kStatusNotXmodemOwner}));
  EXPECT_EQ(other.status(other.command(words({kCmdReadNvItem, 1, 0}))), kStatusLinkDown);
  EXPECT_EQ(owner.command(xmodem(2, 0)), words({kStatusOk})) << "end: abandon the transfer";
}

}  // namespace
}  // namespace kmx::server::testing
