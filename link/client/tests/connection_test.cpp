// Connections: finding or starting the server, client ids, handles, opening,
// and never hanging on a server that has gone.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <future>

#include "client_fixture.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/platform/wait.h"
#include "kmx/testing/helper_process.h"
#include "kmx_channels.h"

namespace kmx::client::testing {
namespace {

using kmx::testing::HelperProcess;
using kmx::testing::tellParent;

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string channelFile(const kmx::testing::RuntimeSandbox& sandbox, const char* device, uint32_t id) {
  return sandbox.runtimeDir() + "/" + clientChannelName(device, id) + ".shm";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Connects at the monotonic time given, reports, and holds the connection
// until the parent has looked (a file "release" in the runtime directory).
KMX_TEST_HELPER(connect_at) {
  const int64_t at = std::stoll(args.at(0));
  while (monotonicMs() < at) usleep(500);
  void* connection = KMXCreateConnection("UT1", 9600);
  tellParent(connection != nullptr ? "connected" : "failed " + std::to_string(KMXGetLastError()));
  const std::string release = std::string(std::getenv("KMX_RUNTIME_DIR")) + "/release";
  while (!exists(release)) usleep(2000);
  return KMXCloseHandle(connection) == 1 ? 0 : 1;
}

class ClientConnections : public ClientTest {};

// Opens a connection and starts an NV read the UT stays silent for; the
// parent kills the process in the middle of it.
KMX_TEST_HELPER(reader_killed_in_a_read) {
  void* connection = KMXCreateConnection("UT1", 9600);
  uint32_t state = 0;
  if (connection == nullptr || KMXOpenConnection(connection, 10, nullptr, 7, &state, nullptr) != 1) return 1;
  tellParent("reading");
  uint8_t buffer[64];
  KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, nullptr);
  return 0;
}

void countChange(uint32_t, void* changes) { ++*static_cast<std::atomic<int>*>(changes); }

// The killed process's request is answered and forgotten: the other client's
// reads go on, and its link is never re-synchronised.
TEST_F(ClientConnections, AProcessKilledInAReadLeavesTheOtherClientsUndisturbed) {
  std::atomic<int> changes{0};
  void* connection = connect();
  ASSERT_NE(connection, nullptr);
  uint32_t state = 0;
  ASSERT_EQ(KMXOpenConnection(connection, 10, countChange, 7, &state, &changes), 1);
  sim.setSilentFor(19, true);
  HelperProcess reader("reader_killed_in_a_read");
  ASSERT_EQ(reader.readLine(20000), "reading");
  ASSERT_TRUE(eventually([&] { return sim.framesReceived(19) == 1; }));
  const int changesBefore = changes;
  reader.kill();
  reader.wait();
  sim.setSilentFor(19, false);
  EXPECT_TRUE(eventually([&] { return sim.framesReceived(19) == 2; })) << "the request was sent again";
  EXPECT_TRUE(eventually([&] { return !exists(runtimeObjectPath(clientChannelName("UT1", 1), ".shm")); }))
      << "the server let go of the killed client";
  uint8_t buffer[64];
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, nullptr), 1) << KMXGetLastError();
  }
  EXPECT_EQ(changes, changesBefore) << "the link was re-synchronised";
}

TEST_F(ClientConnections, TwoProcessesConnectingAtOnceShareOneServerWithIdsZeroAndOne) {
  const int64_t at = monotonicMs() + 1500;
  HelperProcess other("connect_at", {std::to_string(at)});
  while (monotonicMs() < at) usleep(500);
  void* mine = connect();
  ASSERT_NE(mine, nullptr) << KMXGetErrorDesc(KMXGetLastError());
  ASSERT_EQ(other.readLine(20000), "connected");

  EXPECT_TRUE(exists(channelFile(sandbox, "UT1", 0)));
  EXPECT_TRUE(exists(channelFile(sandbox, "UT1", 1)));
  EXPECT_FALSE(exists(channelFile(sandbox, "UT1", 2)));
  // Each server started writes its start-up lines to the log.
  EXPECT_EQ(occurrences(readFile(sandbox.runtimeDir() + "/kmxserver-UT1.log"), "cmdLine is UT1"), 1u);

  std::ofstream(sandbox.runtimeDir() + "/release").put('x');
  EXPECT_EQ(other.wait(), 0);
}

TEST_F(ClientConnections, AClosedIdIsTheNextOneGivenOut) {
  void* first = connect();
  void* second = connect();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(KMXCloseHandle(first), 1);
  // The server lets go of the channel just after it has answered the close.
  ASSERT_TRUE(eventually([&] { return !exists(channelFile(sandbox, "UT1", 0)); }));
  void* third = connect();
  ASSERT_NE(third, nullptr);
  EXPECT_TRUE(exists(channelFile(sandbox, "UT1", 0)));
  EXPECT_FALSE(exists(channelFile(sandbox, "UT1", 2)));
}

void onState(uint32_t, void*) {}
void onData(uint32_t, const void*, uint32_t, void*) {}

TEST_F(ClientConnections, ClosingAConnectionClosesItsRegistrations) {
  void* connection = connectUp();
  void* state = KMXOpenStateChangeData(connection, onState, nullptr);
  void* plugin = KMXOpenPlugin(connection, 3, onData, nullptr);
  ASSERT_NE(state, nullptr);
  ASSERT_NE(plugin, nullptr) << KMXGetErrorDesc(KMXGetLastError());
  EXPECT_EQ(KMXCloseHandle(connection), 1);
  EXPECT_EQ(KMXGetLastError(), 0);

  EXPECT_TRUE(failedWith(KMXCloseHandle(state), KMX_ERR_INVALID_HANDLE));
  EXPECT_TRUE(failedWith(KMXSetAsyncDataParams(plugin, 1, 10), KMX_ERR_INVALID_HANDLE));
  EXPECT_EQ(KMXCloseHandle(plugin), 0);
  uint8_t buffer[8];
  EXPECT_TRUE(failedWith(KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, nullptr), KMX_ERR_INVALID_HANDLE));
  EXPECT_STREQ(KMXGetErrorDesc(KMX_ERR_INVALID_HANDLE),
               "The 'KMX handle' provided to the previous KMX command is invalid");
}

TEST_F(ClientConnections, OpeningAnswersAtOnceWithTimeOutZeroAndOnlyOnce) {
  sim.setSilent(true);  // the link cannot come up
  void* connection = connect();
  ASSERT_NE(connection, nullptr);
  uint32_t state = 99;
  const int64_t start = monotonicMs();
  EXPECT_EQ(KMXOpenConnection(connection, 0, nullptr, 7, &state, nullptr), 1);
  EXPECT_LT(monotonicMs() - start, 3000);
  EXPECT_NE(state, KMX_LINK_UP);
  EXPECT_TRUE(failedWith(KMXOpenConnection(connection, 0, nullptr, 7, &state, nullptr), KMX_ERR_ALREADY_OPENED));
}

TEST_F(ClientConnections, ACallWaitingForAKilledServerFailsInsteadOfHanging) {
  void* connection = connectUp();
  const pid_t serverPid = server();
  ASSERT_GT(serverPid, 0);
  sim.setSilentFor(19, true);
  auto read = std::async(std::launch::async, [&] {
    uint8_t buffer[16];
    int result = KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, nullptr);
    return std::make_pair(result, KMXGetLastError());
  });
  ASSERT_TRUE(eventually([&] { return sim.framesReceived(19) >= 1; }));
  ASSERT_EQ(kill(serverPid, SIGKILL), 0);
  ASSERT_EQ(read.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(read.get(), std::make_pair(0, uint16_t{KMX_ERR_IPC_RECEIVEV}));

  // Later commands fail at once, and the connection can still be closed.
  uint32_t rates = 0;
  EXPECT_TRUE(failedWith(KMXGetAvailableBaudRates(connection, &rates), KMX_ERR_IPC_RECEIVEV));
  EXPECT_EQ(KMXCloseHandle(connection), 1);
}

TEST_F(ClientConnections, AJoiningClientGivesUpWhenTheChannelItJoinedIsAbandoned) {
  // A connection channel that nobody serves, as left by a creator whose
  // server never came up.
  auto abandoned = std::make_unique<KMXIpc>(connectionChannelName("GHOST").c_str(),
                                            kConnectionChannelServer);
  ASSERT_TRUE(abandoned->Create());
  auto create = std::async(std::launch::async, [] {
    void* connection = KMXCreateConnection("GHOST", 9600);
    return std::make_pair(connection, KMXGetLastError());
  });
  EXPECT_EQ(create.wait_for(std::chrono::milliseconds(400)), std::future_status::timeout)
      << "it waits while the channel is held";
  abandoned.reset();
  ASSERT_EQ(create.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(create.get(), std::make_pair(static_cast<void*>(nullptr), uint16_t{KMX_ERR_IPC_RECEIVE}));
}

// The server program is looked for on PATH first; its output goes to the
// log in the runtime directory; a server that ends without answering fails
// the connection instead of leaving it waiting.
TEST_F(ClientConnections, AServerOnPathThatEndsWithoutAnsweringFailsTheConnection) {
  const std::string bin = kmx::runtimeDir() + "/bin";
  ASSERT_EQ(mkdir(bin.c_str(), 0700), 0);
  {
    std::ofstream script(bin + "/kmxserver");
    script << "#!/bin/sh\necho \"stand-in for $1\"\nexit 3\n";
  }
  ASSERT_EQ(chmod((bin + "/kmxserver").c_str(), 0700), 0);
  // A port that exists, so that a server is started for it.
  ASSERT_EQ(symlink("/dev/null", (sandbox.portDir() + "/UT7").c_str()), 0);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  void* connection = KMXCreateConnection("UT7", 9600);
  const uint16_t error = KMXGetLastError();
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(connection, nullptr);
  EXPECT_EQ(error, KMX_ERR_IPC_RECEIVE);
  EXPECT_EQ(readFile(sandbox.runtimeDir() + "/kmxserver-UT7.log"), "stand-in for UT7\n");
  EXPECT_FALSE(exists(sandbox.runtimeDir() + "/" + connectionChannelName("UT7") + ".shm"))
      << "nothing is left behind";
}

TEST_F(ClientConnections, BadArgumentsAndForeignHandles) {
  EXPECT_TRUE(failedWith(KMXCreateConnection(nullptr, 9600), KMX_ERR_INVALID_ARGUMENTS));
  int local = 0;
  EXPECT_TRUE(failedWith(KMXCloseHandle(&local), KMX_ERR_INVALID_HANDLE));
  EXPECT_EQ(local, 0);
  EXPECT_EQ(KMXCloseHandle(nullptr), 0);
  EXPECT_TRUE(failedWith(KMXOpenConnection(&local, 0, nullptr, 7, nullptr, nullptr), KMX_ERR_INVALID_HANDLE));
}

TEST_F(ClientConnections, RefusalsBecomeTheirErrors) {
  for (auto [status, error] : {std::pair{1u, KMX_ERR_SERVER_SHUTTING_DOWN}, {2u, KMX_ERR_SERVER_FULL},
                               {3u, KMX_ERR_SERVER_IO_DRIVER}, {9u, KMX_ERR_STARTUP_FAILED}}) {
    FakeServer fake([](const auto&) { return std::vector<uint8_t>(); }, status);
    EXPECT_EQ(KMXCreateConnection(FakeServer::kDevice, 9600), nullptr);
    EXPECT_EQ(KMXGetLastError(), error) << "status " << status;
  }
}

// Only the status counts; without one the start-up failed for no known
// reason.
TEST_F(ClientConnections, ConnectionRepliesOfAnotherSizeOrKindGoByTheirStatus) {
  const std::pair<std::vector<uint8_t>, uint16_t> cases[] = {
      {words({3, 2}), KMX_ERR_SERVER_FULL},
      {words({7, 1, 1234}), KMX_ERR_SERVER_SHUTTING_DOWN},
      {words({3, 3, 0, 0}), KMX_ERR_SERVER_IO_DRIVER},
      {words({3}), KMX_ERR_STARTUP_FAILED},
  };
  for (const auto& [reply, error] : cases) {
    FakeServer fake([](const auto&) { return std::vector<uint8_t>(); }, reply);
    EXPECT_TRUE(failedWith(KMXCreateConnection(FakeServer::kDevice, 9600), error)) << reply.size() << " bytes";
  }
  FakeServer fake([](const auto&) { return words({0}); }, words({9, 0}));
  void* accepted = KMXCreateConnection(FakeServer::kDevice, 9600);
  EXPECT_NE(accepted, nullptr) << KMXGetErrorDesc(KMXGetLastError());
  EXPECT_EQ(KMXCloseHandle(accepted), 1);
}

}  // namespace
}  // namespace kmx::client::testing
