// The KMXIpc channel wrapper: its states, resuming a failed Create or Open,
// and messages across a created and an opened channel.
#include "kmx_ipc.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "kmx/platform/last_error.h"
#include "kmx/platform/shared_memory.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmx_channels.h"

namespace kmx {
namespace {

uint32_t lastCode() { return GetLastError() & IPC_ERR_CODE_MASK; }

// The header's creation count: how many mailboxes were ever created in the
// object (offset 52 of the shared block).
uint32_t mailboxesCreated(const std::string& ipcName) {
  auto shm = SharedMemory::open(ipcName);
  if (!shm) return 0xFFFFFFFF;
  uint32_t count = 0;
  std::memcpy(&count, static_cast<const uint8_t*>(shm->data()) + 52, sizeof count);
  return count;
}

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

class KMXIpcTest : public ::testing::Test {
 protected:
  testing::RuntimeSandbox sandbox_;
};

TEST_F(KMXIpcTest, CreatedAndOpenedClientChannelsExchangeMessages) {
  const std::string name = clientChannelName("COM1", 7);
  ASSERT_EQ(name, "COM17ClientIPC");
  KMXIpc client(name.c_str(), kClientChannelClient);
  KMXIpc server(name.c_str(), kClientChannelServer);
  ASSERT_TRUE(client.Create());
  ASSERT_TRUE(server.Open());
  EXPECT_EQ(client.state(), KMXIpc::kReady);
  EXPECT_EQ(server.state(), KMXIpc::kReady);

  // Command: gathered on the client, received whole by the server.
  std::string head = "cmd:", body = "payload";
  KMXBuffer pieces[2] = {{head.data(), 4}, {body.data(), 7}};
  ASSERT_TRUE(client.SendMsgV(kCtoSCmd, pieces, 2));
  EXPECT_TRUE(readable(server.WaitHandle(kCtoSCmd)));
  char buf[kChannelMessageSize];
  uint32_t received = 0;
  ASSERT_TRUE(server.ReceiveMsg(kCtoSCmd, buf, sizeof buf, 0, &received));
  EXPECT_EQ(std::string(buf, received), "cmd:payload");
  EXPECT_FALSE(readable(server.WaitHandle(kCtoSCmd)));

  // Reply: the client peeks at the status, then scatters the reply.
  const uint8_t reply[8] = {0, 0, 0, 0, 'd', 'a', 't', 'a'};
  ASSERT_TRUE(server.SendMsg(kStoCRsp, reply, sizeof reply));
  uint32_t status = 0xFFFFFFFF;
  ASSERT_TRUE(client.ReceiveMsgPeek(kStoCRsp, &status, sizeof status, -1, &received));
  EXPECT_EQ(received, 4u);
  EXPECT_EQ(status, 0u);
  char data[16];
  KMXBuffer parts[2] = {{&status, 4}, {data, sizeof data}};
  ASSERT_TRUE(client.ReceiveMsgV(kStoCRsp, parts, 2, -1));
  EXPECT_EQ(std::string(data, parts[1].length), "data");

  // Modes and capacities come from the tables; an index outside the table
  // is an invalid argument.
  EXPECT_FALSE(client.SendMsg(kStoCRsp, "x", 1));
  EXPECT_EQ(lastCode(), IPC_ERR_MODE);
  EXPECT_TRUE(client.SendMsg(kCtoSCmd, "1", 1));
  EXPECT_FALSE(client.SendMsg(kCtoSCmd, "2", 1));
  EXPECT_EQ(lastCode(), IPC_ERR_MAILBOX_FULL);
  EXPECT_FALSE(client.SendMsg(3, "x", 1));
  EXPECT_EQ(lastCode(), IPC_ERR_INVALID_ARGUMENT);

  EXPECT_TRUE(client.Close());
  EXPECT_TRUE(server.Close());
  EXPECT_EQ(sandbox_.leftovers(), "");
}

TEST_F(KMXIpcTest, SetNameIsRefusedWhileReadyAndClosesOtherwise) {
  KMXIpc channel(nullptr, kConnectionChannelClient);
  EXPECT_EQ(channel.name(), nullptr);
  EXPECT_FALSE(channel.Create()) << "no name yet";
  EXPECT_EQ(channel.state(), KMXIpc::kClosed);

  ASSERT_TRUE(channel.SetName("A"));
  ASSERT_TRUE(channel.Create());
  EXPECT_FALSE(channel.SetName("B"));
  EXPECT_STREQ(channel.name(), "A");
  EXPECT_EQ(channel.state(), KMXIpc::kReady);
  EXPECT_TRUE(channel.SendMsg(kConnMbox, "still", 5));
  EXPECT_FALSE(channel.Create()) << "already ready";

  KMXIpc failed("missing", kConnectionChannelServer);
  EXPECT_FALSE(failed.Open());
  EXPECT_EQ(failed.state(), KMXIpc::kFailed);
  EXPECT_TRUE(failed.SetName("A"));
  EXPECT_EQ(failed.state(), KMXIpc::kClosed);
  ASSERT_TRUE(failed.Open());
  char buf[8];
  uint32_t received = 0;
  ASSERT_TRUE(failed.ReceiveMsg(kConnMbox, buf, sizeof buf, 0, &received));
  EXPECT_EQ(std::string(buf, received), "still");
}

TEST_F(KMXIpcTest, CreateThatFailsOnTheSecondMailboxResumesWithTheRemainingOnes) {
  // A directory where the second mailbox's event must go makes its creation
  // fail; the first mailbox is made by then.
  const std::string trap = sandbox_.runtimeDir() + "/COM2ClientIPCStoCRsp.evt";
  ASSERT_EQ(mkdir(sandbox_.runtimeDir().c_str(), 0700), 0);
  ASSERT_EQ(mkdir(trap.c_str(), 0700), 0);

  KMXIpc channel("COM2ClientIPC", kClientChannelClient);
  EXPECT_FALSE(channel.Create());
  EXPECT_EQ(channel.state(), KMXIpc::kFailed);
  EXPECT_EQ(lastCode(), IPC_ERR_EVENT_CREATE);
  EXPECT_EQ(mailboxesCreated("COM2ClientIPC"), 1u);

  ASSERT_EQ(rmdir(trap.c_str()), 0);
  ASSERT_TRUE(channel.Create());
  EXPECT_EQ(channel.state(), KMXIpc::kReady);
  EXPECT_EQ(mailboxesCreated("COM2ClientIPC"), 3u) << "the first mailbox is not made twice";

  KMXIpc server("COM2ClientIPC", kClientChannelServer);
  ASSERT_TRUE(server.Open());
  EXPECT_TRUE(channel.SendMsg(kCtoSCmd, "c", 1));
  EXPECT_TRUE(server.SendMsg(kStoCRsp, "r", 1));
  EXPECT_TRUE(server.SendMsg(kCtoSAsync, "a", 1));
}

TEST_F(KMXIpcTest, CreateOfAnExistingObjectFailsAndOpenGoesOnFromThere) {
  KMXIpc owner("COM3MainIPC", kConnectionChannelClient);
  ASSERT_TRUE(owner.Create());
  KMXIpc late("COM3MainIPC", kConnectionChannelClient);
  EXPECT_FALSE(late.Create());
  EXPECT_EQ(lastCode(), IPC_ERR_MAPPING_CREATE);
  EXPECT_EQ(late.state(), KMXIpc::kFailed);
  ASSERT_TRUE(late.Open());
  EXPECT_TRUE(late.SendMsg(kConnMbox, "x", 1));
}

TEST_F(KMXIpcTest, MessagingOnAChannelThatIsNotReadyLeavesTheLastErrorAlone) {
  KMXIpc channel("COM4MainIPC", kConnectionChannelServer);
  EXPECT_FALSE(channel.Open());
  EXPECT_EQ(lastCode(), IPC_ERR_MAPPING_OPEN);
  EXPECT_EQ(channel.state(), KMXIpc::kFailed);

  SetLastError(0x1234);
  char buf[8];
  uint32_t received = 99;
  KMXBuffer piece{buf, sizeof buf};
  EXPECT_FALSE(channel.SendMsg(kConnMbox, "x", 1));
  EXPECT_FALSE(channel.SendMsgV(kConnMbox, &piece, 1));
  EXPECT_FALSE(channel.ReceiveMsg(kConnMbox, buf, sizeof buf, 0, &received));
  EXPECT_FALSE(channel.ReceiveMsgV(kConnMbox, &piece, 1, 0));
  EXPECT_FALSE(channel.ReceiveMsgPeek(kConnMbox, buf, sizeof buf, 0, &received));
  EXPECT_EQ(channel.WaitHandle(kConnMbox), -1);
  EXPECT_EQ(GetLastError(), 0x1234u) << "the IPC library was not called";
  EXPECT_EQ(received, 99u);

  EXPECT_TRUE(channel.Close());
  EXPECT_EQ(channel.state(), KMXIpc::kClosed);
  EXPECT_FALSE(channel.SendMsg(kConnMbox, "x", 1));
  EXPECT_EQ(GetLastError(), 0x1234u);
}

TEST(ChannelTablesTest, ServerTablesMirrorTheClientTables) {
  auto mirrored = [](std::span<const MailboxConfig> client, std::span<const MailboxConfig> server) {
    if (client.size() != server.size()) return false;
    for (std::size_t i = 0; i < client.size(); ++i) {
      const bool opposite =
          (client[i].mode == IPC_MODE_SEND && server[i].mode == IPC_MODE_RECEIVE) ||
          (client[i].mode == IPC_MODE_RECEIVE && server[i].mode == IPC_MODE_SEND);
      if (std::strcmp(client[i].name, server[i].name) != 0 || !opposite ||
          client[i].capacity != server[i].capacity ||
          client[i].messageSize != server[i].messageSize) {
        return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(mirrored(kConnectionChannelClient, kConnectionChannelServer));
  EXPECT_TRUE(mirrored(kClientChannelClient, kClientChannelServer));
}

}  // namespace
}  // namespace kmx
