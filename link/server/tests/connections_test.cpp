// Start-up, the connection handshake, client death and the server's end.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

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

class Connections : public ServerTest {};

KMX_TEST_HELPER(client_that_hangs_in_a_command) {
  WireClient client("UT1", KMXSERVER_PATH);
  if (!client.connected() || client.openConnection(10, 7) != 1) return 1;
  tellParent("pid " + std::to_string(client.serverPid()));
  client.send(words({kCmdReadNvItem, 1, 0}));  // the UT is silent for it
  tellParent("sent");
  pause();
  return 0;
}

TEST(ServerProgram, WithoutADeviceNamePrintsAndExits1) {
  FILE* out = popen(KMXSERVER_PATH " 2>&1", "r");
  ASSERT_NE(out, nullptr);
  char text[256] = {};
  std::size_t n = fread(text, 1, sizeof text - 1, out);
  int status = pclose(out);
  EXPECT_EQ(std::string(text, n), "__argc is 1, cmdLine is \nNo driver name specified\n");
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST_F(Connections, ServerEndsWhenItsLastClientCloses) {
  WireClient& first = connect();
  ASSERT_TRUE(first.connected());
  WireClient& second = connect();
  ASSERT_TRUE(second.connected());
  EXPECT_EQ(first.serverPid(), second.serverPid()) << "the second client joined the running server";
  pid_t server = first.serverPid();
  first.close();
  EXPECT_FALSE(serverEnds(server, 500));
  second.close();
  EXPECT_TRUE(serverEnds(server, 5000));
}

TEST_F(Connections, ServerWaitsForAClientThatHoldsTheMutexAndServesIt) {
  WireClient& first = connect();
  ASSERT_TRUE(first.connected());
  pid_t server = first.serverPid();
  auto mutex = NamedMutex::create("KMX_NEW_CONNECTION_MUTEX");
  ASSERT_EQ(mutex->lock(1000), NamedMutex::LockResult::Acquired);
  first.close();
  // The server now wants the mutex; queue a connection request meanwhile.
  KMXIpc channel(clientChannelName("UT1", 500).c_str(), kClientChannelClient);
  ASSERT_TRUE(channel.Create());
  KMXIpc connection(connectionChannelName("UT1").c_str(), kConnectionChannelClient);
  ASSERT_TRUE(connection.Open()) << "the server gave up its channel while the mutex was held";
  auto request = words({0, 500, 9600, static_cast<uint32_t>(getpid())});
  ASSERT_TRUE(connection.SendMsg(kConnMbox, request.data(), 16));
  mutex->unlock();
  uint8_t reply[12];
  uint32_t length = 0;
  ASSERT_TRUE(channel.ReceiveMsg(kStoCRsp, reply, sizeof reply, 10000, &length));
  EXPECT_EQ(wordAt(std::vector<uint8_t>(reply, reply + 12), 4), kConnAccepted);
  EXPECT_FALSE(serverEnds(server, 300)) << "it went on serving the new client";
  auto close = words({kCmdClose});
  channel.SendMsg(kCtoSCmd, close.data(), 4);
  EXPECT_TRUE(serverEnds(server, 5000));
}

// The server keeps the new-connection mutex until its process ends: a client
// that could take it earlier would start a second server while this one
// still has the port.
TEST_F(Connections, TheNewConnectionMutexIsHeldUntilTheServerHasEnded) {
  WireClient& client = connect();
  ASSERT_TRUE(client.connected());
  const pid_t server = client.serverPid();
  // Opened (not locked) first, so that the mutex outlives the server.
  auto mutex = NamedMutex::create("KMX_NEW_CONNECTION_MUTEX");
  ASSERT_NE(mutex, nullptr);
  client.close();
  ASSERT_TRUE(serverEnds(server, 10000));
  EXPECT_EQ(mutex->lock(1000), NamedMutex::LockResult::Abandoned) << "let go before the end";
  mutex->unlock();
}

// A new-connection mutex that cannot be made costs only the hand-over's
// guard: the client that was accepted is served.
TEST_F(Connections, AServerWithoutTheNewConnectionMutexServesItsClient) {
  ASSERT_EQ(mkdir(runtimeObjectPath("KMX_NEW_CONNECTION_MUTEX", ".mtx").c_str(), 0700), 0);
  KMXIpc channel(clientChannelName("UT1", 510).c_str(), kClientChannelClient);
  ASSERT_TRUE(channel.Create());
  KMXIpc connection(connectionChannelName("UT1").c_str(), kConnectionChannelClient);
  ASSERT_TRUE(connection.Create());
  auto request = words({0, 510, 9600, static_cast<uint32_t>(getpid())});
  ASSERT_TRUE(connection.SendMsg(kConnMbox, request.data(), 16));
  const pid_t server = startDetached(KMXSERVER_PATH, {"UT1"}, runtimeDir() + "/kmxserver-UT1.log");
  ASSERT_GT(server, 0);
  std::vector<uint8_t> reply(kMaxMessage);
  uint32_t length = 0;
  ASSERT_TRUE(channel.ReceiveMsg(kStoCRsp, reply.data(), kMaxMessage, 10000, &length));
  EXPECT_EQ(wordAt(reply, 4), kConnAccepted);
  connection.Close();
  auto rates = words({kCmdGetAvailableBaudRates});
  ASSERT_TRUE(channel.SendMsg(kCtoSCmd, rates.data(), 4));
  ASSERT_TRUE(channel.ReceiveMsg(kStoCRsp, reply.data(), kMaxMessage, 10000, &length)) << "the server went away";
  EXPECT_EQ(wordAt(reply, 0), kStatusOk);
  auto close = words({kCmdClose});
  ASSERT_TRUE(channel.SendMsg(kCtoSCmd, close.data(), 4));
  EXPECT_TRUE(serverEnds(server, 5000));
}

TEST_F(Connections, HundredClientsAndNoMore) {
  std::vector<std::unique_ptr<WireClient>> many;
  for (int i = 0; i < 100; ++i) {
    many.push_back(std::make_unique<WireClient>("UT1", KMXSERVER_PATH));
    ASSERT_TRUE(many.back()->connected()) << "client " << i;
  }
  WireClient extra("UT1", KMXSERVER_PATH);
  EXPECT_EQ(extra.connectionStatus(), static_cast<int>(kConnServerFull));
  pid_t server = many.front()->serverPid();
  for (auto& client : many) client->close();
  EXPECT_TRUE(serverEnds(server, 10000));
}

TEST_F(Connections, AClientKilledInACommandIsDroppedAndOthersGoOn) {
  sim.setSilentFor(19, true);
  HelperProcess helper("client_that_hangs_in_a_command");
  std::string line = helper.readLine(20000);
  ASSERT_EQ(line.rfind("pid ", 0), 0u) << line;
  pid_t server = std::stoi(line.substr(4));
  ASSERT_EQ(helper.readLine(), "sent");
  WireClient& other = connect();
  ASSERT_TRUE(other.connected());
  EXPECT_EQ(other.serverPid(), server);
  helper.kill();
  helper.wait();
  // Its request goes without a reply; the link is re-synchronised, and the
  // other client is served as before.
  sim.setSilentFor(19, false);
  EXPECT_EQ(other.openConnection(10, 7), 1);
  EXPECT_EQ(other.status(other.command(words({kCmdReadNvItem, 1, 0}))), kStatusOk);
  other.close();
  EXPECT_TRUE(serverEnds(server, 5000)) << "the killed client was not dropped";
}

// The watch on the client's process is made before the answer: a process
// that cannot be watched is refused instead of accepted and never served.
TEST_F(Connections, AClientWhoseProcessCannotBeWatchedIsRefused) {
  WireClient& first = connect();
  ASSERT_TRUE(first.connected());
  KMXIpc channel(clientChannelName("UT1", 600).c_str(), kClientChannelClient);
  ASSERT_TRUE(channel.Create());
  KMXIpc connection(connectionChannelName("UT1").c_str(), kConnectionChannelClient);
  ASSERT_TRUE(connection.Open());
  auto request = words({0, 600, 9600, 0x7FFFFFF0});  // no such process
  ASSERT_TRUE(connection.SendMsg(kConnMbox, request.data(), 16));
  uint8_t reply[12];
  uint32_t length = 0;
  ASSERT_TRUE(channel.ReceiveMsg(kStoCRsp, reply, sizeof reply, 10000, &length));
  EXPECT_EQ(wordAt(std::vector<uint8_t>(reply, reply + 12), 4), kConnRefused);
}

TEST_F(Connections, PortThatCannotBeOpenedIsReportedAsStatusThree) {
  WireClient client("NOPORT", KMXSERVER_PATH);
  EXPECT_EQ(client.connectionStatus(), static_cast<int>(kConnPortFailed));
}

}  // namespace
}  // namespace kmx::server::testing
