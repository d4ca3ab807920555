// A mailbox event signalled while its queue is empty (a byte written to its
// FIFO, or a sender killed between setting the event and linking its message
// in) wakes the server once; it must not keep its loop busy. And a request
// whose signal was taken away is still served.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "client_fixture.h"
#include "kmx/platform/named_event.h"
#include "kmx/platform/named_mutex.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/platform/wait.h"
#include "kmx/testing/helper_process.h"
#include "kmx_channels.h"

namespace kmx::client::testing {
namespace {

using kmx::testing::HelperProcess;
using kmx::testing::tellParent;

// The processor time (user and system) that a process has used, in seconds,
// from fields 14 and 15 of /proc/<pid>/stat; -1 when it cannot be read.
double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return -1;
  // The command name (field 2) is in parentheses and may hold spaces.
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string skip;
  for (int field = 3; field < 14; ++field) fields >> skip;
  long utime = 0, stime = 0;
  if (!(fields >> utime >> stime)) return -1;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The share of one processor the process uses over the next second.
double cpuShareOverASecond(pid_t pid) {
  const double before = cpuSeconds(pid);
  const int64_t start = monotonicMs();
  usleep(1000 * 1000);
  const double after = cpuSeconds(pid);
  if (before < 0 || after < 0) return -1;
  return (after - before) * 1000.0 / static_cast<double>(monotonicMs() - start);
}

// Writes one byte into a named event's FIFO, as a faulty process could.
bool writeByteToEvent(const std::string& eventName) {
  const std::string path = runtimeObjectPath(eventName, ".evt");
  const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = write(fd, "x", 1) == 1;
  close(fd);
  return written;
}

// Takes an IPC object's mutex and sets one of its mailbox events, as a
// sender does just before it links its message in, then waits to be killed.
KMX_TEST_HELPER(sender_stopped_after_signal) {
  auto mutex = NamedMutex::open(args.at(0) + "_m");
  auto event = NamedEvent::open(args.at(0) + args.at(1), NamedEvent::Reset::Manual);
  if (!mutex || !event || mutex->lock(-1) == NamedMutex::LockResult::Failed || !event->set()) return 1;
  tellParent("signalled");
  for (;;) pause();
}

class StaleSignal : public ClientTest {
 protected:
  // The server stays nearly idle, and still answers a command afterwards.
  void expectServerIdleAndServing(void* connection) {
    const pid_t serverPid = server();
    ASSERT_GT(serverPid, 0);
    const double share = cpuShareOverASecond(serverPid);
    ASSERT_GE(share, 0);
    if (share >= 0.3) {
      // A spinning server may answer nothing more: it is stopped, so that
      // the test ends.
      kill(serverPid, SIGKILL);
      FAIL() << "the server's loop spins: " << share << " of a processor";
    }
    uint32_t rates = 0;
    EXPECT_EQ(KMXGetAvailableBaudRates(connection, &rates), 1) << KMXGetLastError();
  }
};

TEST_F(StaleSignal, AByteInAClientsCommandEventDoesNotMakeTheServerSpin) {
  void* connection = connectUp();
  ASSERT_TRUE(writeByteToEvent(clientChannelName("UT1", 0) + "CtoSCmd"));
  expectServerIdleAndServing(connection);
}

TEST_F(StaleSignal, AByteInTheConnectionMailboxEventDoesNotMakeTheServerSpin) {
  void* connection = connectUp();
  ASSERT_TRUE(writeByteToEvent(connectionChannelName("UT1") + "ConnMbox"));
  expectServerIdleAndServing(connection);
  void* another = connect();
  EXPECT_NE(another, nullptr) << "new clients are still taken in";
}

TEST_F(StaleSignal, ASenderKilledBetweenSignalAndLinkDoesNotMakeTheServerSpin) {
  void* connection = connectUp();
  {
    HelperProcess sender("sender_stopped_after_signal", {clientChannelName("UT1", 0), "CtoSCmd"});
    ASSERT_EQ(sender.readLine(), "signalled");
    sender.kill();
    sender.wait();
  }
  expectServerIdleAndServing(connection);
}

// Another process reads the connection mailbox's event FIFO empty while a
// request waits: the request is announced by no event, and the requests
// queued behind it set none either. The server still takes them.
TEST_F(StaleSignal, AConnectionRequestQueuedWithoutItsSignalIsStillServed) {
  ASSERT_NE(connectUp(), nullptr);
  const pid_t serverPid = server();
  ASSERT_GT(serverPid, 0);
  const std::string channel = connectionChannelName("UT1");

  ASSERT_EQ(kill(serverPid, SIGSTOP), 0);
  void* ipc = IPC_open(channel.c_str(), 1000);
  void* mbox = ipc != nullptr ? IPC_open_mailbox("ConnMbox", IPC_MODE_SEND, ipc) : nullptr;
  const uint8_t notARequest[4] = {1, 0, 0, 0};  // a kind the server passes over
  const bool sent = mbox != nullptr && IPC_send(notARequest, sizeof notARequest, 1, &mbox, ipc) == 1;
  // Take the signal away again.
  const int event = open(runtimeObjectPath(channel + "ConnMbox", ".evt").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  char signal = 0;
  const bool unsignalled = event >= 0 && read(event, &signal, 1) == 1;
  if (event >= 0) close(event);
  if (ipc != nullptr) IPC_close(ipc);
  ASSERT_EQ(kill(serverPid, SIGCONT), 0);
  ASSERT_TRUE(sent);
  ASSERT_TRUE(unsignalled);

  ASSERT_TRUE(eventually([&] { return queuedMessages(channel, "ConnMbox") == 0; }, 3000))
      << "the unannounced request was not taken";
  EXPECT_NE(connect(), nullptr) << "a client that connects behind it is taken in";
}

}  // namespace
}  // namespace kmx::client::testing
