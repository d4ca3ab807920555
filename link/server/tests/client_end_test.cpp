// A client's end, whatever it was doing and however its objects were left:
// the server lets go of it and nobody else notices.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "kmx/platform/named_mutex.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/testing/helper_process.h"
#include "kmx_channels.h"
#include "server_fixture.h"

namespace kmx::server::testing {
namespace {

using namespace kmx::msg;
using kmx::testing::HelperProcess;
using kmx::testing::tellParent;

constexpr uint32_t kHelperClientId = 700;

std::string channelFile(uint32_t clientId) {
  return runtimeObjectPath(clientChannelName("UT1", clientId), ".shm");
}

// Polls `done` every 10 ms until it holds, for at most `timeoutMs`.
template <class Predicate>
bool eventually(Predicate done, int timeoutMs) {
  const int64_t end = monotonicMs() + timeoutMs;
  while (!done()) {
    if (monotonicMs() > end) return false;
    usleep(10 * 1000);
  }
  return true;
}

// True once the client channel's block is gone: all its holders let go.
bool channelGone(uint32_t clientId, int timeoutMs) {
  return eventually([&] { return !std::filesystem::exists(channelFile(clientId)); }, timeoutMs);
}

// Writes one byte into a mailbox's event, as a sender does when it queues.
bool signalEvent(const std::string& channel, const char* mailbox) {
  const std::string path = runtimeObjectPath(channel + mailbox, ".evt");
  const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = write(fd, "x", 1) == 1;
  close(fd);
  return written;
}

bool signalMailbox(uint32_t clientId, const char* mailbox) {
  return signalEvent(clientChannelName("UT1", clientId), mailbox);
}

// Makes a mailbox's queue claim one message whose descriptor link points
// off the descriptor grid.
bool breakQueue(const std::string& channel, const char* mailbox) {
  const int fd = open(runtimeObjectPath(channel, ".shm").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  fstat(fd, &st);
  const auto size = static_cast<std::size_t>(st.st_size);
  void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return false;
  auto* block = static_cast<uint8_t*>(map);
  bool found = false;
  // Slots of 64 bytes follow the 56-byte header; a slot starts with its name.
  for (std::size_t slot = 56; slot + 64 <= size && !found; slot += 64) {
    if (std::strcmp(reinterpret_cast<const char*>(block + slot), mailbox) != 0) continue;
    const uint32_t queued = 1, first = 3;
    std::memcpy(block + slot + 40, &queued, 4);
    std::memcpy(block + slot + 48, &first, 4);
    found = true;
  }
  munmap(map, size);
  return found;
}

// A client that damages or holds its own channel in the way args[0] names,
// so that the server meets it with its next look at the command mailbox,
// then stays alive: only the damage can make the server let go of it.
KMX_TEST_HELPER(client_with_unusable_channel) {
  WireClient client("UT1", KMXSERVER_PATH, 9600, kHelperClientId);
  if (!client.connected()) return 1;
  tellParent("pid " + std::to_string(client.serverPid()));
  const std::string how = args.at(0);
  std::unique_ptr<NamedMutex> mutex;
  if (how == "shrink") {
    if (truncate(channelFile(kHelperClientId).c_str(), 0) != 0) return 2;
    if (!signalMailbox(kHelperClientId, "CtoSCmd")) return 3;
  } else if (how == "queue") {
    if (!breakQueue(clientChannelName("UT1", kHelperClientId), "CtoSCmd") ||
        !signalMailbox(kHelperClientId, "CtoSCmd")) {
      return 4;
    }
  } else if (how == "hold") {
    // Held like a client stopped half-way through a send.
    mutex = NamedMutex::open(clientChannelName("UT1", kHelperClientId) + "_m");
    if (!mutex || mutex->lock(1000) != NamedMutex::LockResult::Acquired) return 5;
    if (!signalMailbox(kHelperClientId, "CtoSCmd")) return 6;
  }
  tellParent("done");
  for (;;) pause();
}

// A client that starts a command the UT is silent for, then waits to be
// killed in the middle of it.
KMX_TEST_HELPER(client_killed_in_a_command) {
  WireClient client("UT1", KMXSERVER_PATH, 9600, kHelperClientId);
  if (!client.connected() || client.openConnection(10, 7) != 1) return 1;
  client.send(words({kCmdReadNvItem, 1, 0}));
  tellParent("sent");
  for (;;) pause();
}

class ClientEnd : public ServerTest {
 protected:
  // A helper's client whose channel has been made unusable: the other
  // client is still served, and the server ends once that other client
  // closes, though the helper's process lives on.
  void expectDroppedAndOthersServed(const char* how) {
    WireClient& other = connect();
    ASSERT_TRUE(other.connected());
    HelperProcess helper("client_with_unusable_channel", {how});
    ASSERT_EQ(helper.readLine(20000), "pid " + std::to_string(other.serverPid()));
    ASSERT_EQ(helper.readLine(), "done");
    const pid_t server = other.serverPid();
    EXPECT_EQ(other.status(other.command(words({kCmdGetAvailableBaudRates}), 15000)), kStatusOk);
    EXPECT_EQ(other.status(other.command(words({kCmdGetAvailableBaudRates}), 15000)), kStatusOk);
    other.close();
    clients.clear();
    EXPECT_TRUE(serverEnds(server, 15000)) << "the client with the unusable channel was kept";
    if (!serverEnds(server, 0)) kill(server, SIGKILL);
  }
};

// The Xmodem session of a client that never opened its connection ends
// with the client: its timers must not reply to a client that is gone.
TEST_F(ClientEnd, AClientThatClosesInXmodemModeWithoutOpeningEndsTheSession) {
  WireClient& other = connect();
  ASSERT_TRUE(other.connected());
  WireClient downloader("UT1", KMXSERVER_PATH);
  ASSERT_TRUE(downloader.connected());
  ASSERT_TRUE(downloader.send(words({kCmdXmodem, 0, 0})));  // enter; the UT is not in its loader
  // The enter waits for the receiver without a reply and without keeping
  // the client busy: the close goes in once the server has taken the enter,
  // and is served while the session runs.
  ASSERT_TRUE(eventually([&] { return downloader.send(words({kCmdClose})); }, 5000));
  EXPECT_EQ(downloader.awaitReply(), words({kStatusOk}));
  EXPECT_EQ(other.openConnection(10, 7), 1) << "the link came back once the session had ended";
  EXPECT_EQ(other.status(other.command(words({kCmdReadNvItem, 1, 0}))), kStatusOk);
}

// A request whose client was killed while the UT had it completes as usual:
// its answer is taken in, no reply goes out, the link is not re-synchronised.
TEST_F(ClientEnd, AClientKilledWhileTheUtHasItsRequestDisturbsNoOne) {
  WireClient& other = connectUp();
  sim.setSilentFor(19, true);  // NV read: the first transmission goes unanswered
  HelperProcess helper("client_killed_in_a_command");
  ASSERT_EQ(helper.readLine(20000), "sent");
  ASSERT_TRUE(eventually([&] { return sim.framesReceived(19) == 1; }, 5000));
  helper.kill();
  helper.wait();
  ASSERT_TRUE(channelGone(kHelperClientId, 5000)) << "the server let go of the killed client";
  sim.setSilentFor(19, false);
  // The retransmission is answered.
  EXPECT_TRUE(eventually([&] { return sim.framesReceived(19) == 2; }, 5000));
  EXPECT_EQ(other.status(other.command(words({kCmdReadNvItem, 1, 0}))), kStatusOk);
  AsyncMessage message;
  EXPECT_FALSE(other.nextAsync(message, 1500)) << "state change " << message.id << ": the link was re-synchronised";
}

TEST_F(ClientEnd, AClientHoldingItsChannelMutexIsDropped) { expectDroppedAndOthersServed("hold"); }

TEST_F(ClientEnd, AClientWhoseBlockIsShrunkUnderTheServerIsDropped) { expectDroppedAndOthersServed("shrink"); }

TEST_F(ClientEnd, AClientWhoseCommandQueueIsBrokenIsDropped) { expectDroppedAndOthersServed("queue"); }

// Holds the connection channel's mutex, like a client stopped half-way
// through queueing its connection request, and signals the mailbox.
KMX_TEST_HELPER(holder_of_the_connection_channel) {
  auto mutex = NamedMutex::open(connectionChannelName("UT1") + "_m");
  if (!mutex || mutex->lock(1000) != NamedMutex::LockResult::Acquired) return 1;
  if (!signalEvent(connectionChannelName("UT1"), "ConnMbox")) return 2;
  tellParent("holding");
  for (;;) pause();
}

TEST_F(ClientEnd, AHeldConnectionChannelDoesNotHoldTheServer) {
  WireClient& client = connectUp();
  HelperProcess holder("holder_of_the_connection_channel");
  ASSERT_EQ(holder.readLine(), "holding");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(client.status(client.command(words({kCmdReadNvItem, 1, 0}))), kStatusOk) << i;
  }
}

// A connection mailbox whose queue cannot be read is left alone for a while
// instead of being tried again at once: the clients are still served.
TEST_F(ClientEnd, ABrokenConnectionMailboxDoesNotHoldTheServer) {
  WireClient& client = connectUp();
  ASSERT_TRUE(breakQueue(connectionChannelName("UT1"), "ConnMbox"));
  ASSERT_TRUE(signalEvent(connectionChannelName("UT1"), "ConnMbox"));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(client.status(client.command(words({kCmdReadNvItem, 1, 0}))), kStatusOk) << i;
  }
}

}  // namespace
}  // namespace kmx::server::testing
