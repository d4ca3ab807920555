#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>

#include "fake_ut.h"
#include "kmx/platform/last_error.h"
#include "kmx/testing/helper_process.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmx/io/kmxio_internal.h"
#include "kmxio.h"
#include "test_util.h"

namespace kmx::io::testing {
namespace {

Bytes pattern(std::size_t count, uint8_t seed) {
  Bytes data(count);
  std::iota(data.begin(), data.end(), seed);
  return data;
}

Bytes readOnce(void* port) {
  uint32_t length = 0;
  const uint8_t* data = KMXIOReadData(port, &length);
  return data == nullptr ? Bytes{} : Bytes(data, data + length);
}

class KmxioSimulator : public ::testing::Test {
 protected:
  std::string socketPath(const std::string& name) const { return sandbox.portDir() + "/" + name; }

  // Opens "UT1" served by `ut` and consumes the driver's opening messages.
  void* openServed(FakeUt& ut, uint32_t bufferSize = 8212) {
    void* port = KMXIOOpenDriver("UT1", bufferSize);
    EXPECT_NE(port, nullptr);
    EXPECT_TRUE(ut.waitConnected());
    auto lines = ut.receive();
    auto baud = ut.receive();
    EXPECT_TRUE(lines && baud);
    return port;
  }

  kmx::testing::RuntimeSandbox sandbox;
};

TEST_F(KmxioSimulator, OpenRaisesDtrAndRtsSendsTheRateAndLearnsCts) {
  FakeUt ut(socketPath("UT1"), /*cts=*/true);
  void* port = KMXIOOpenDriver("UT1", 8212);
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(ut.waitConnected());
  auto lines = ut.receive();
  ASSERT_TRUE(lines);
  EXPECT_EQ(lines->type, sim::kLines);
  EXPECT_EQ(lines->body, Bytes{sim::kLineDtr | sim::kLineRts});
  auto baud = ut.receive();
  ASSERT_TRUE(baud);
  EXPECT_EQ(baud->type, sim::kBaud);
  EXPECT_EQ(baud->body, (Bytes{0x80, 0x25, 0x00, 0x00}));  // 9600

  EXPECT_EQ(KMXIOCheckCTS(port), 1);
  EXPECT_EQ(KMXIOGetBaudRate(port), 9600U);
  EXPECT_EQ(KMXIOGetAvailableBaudRates(port), 0x1FU);
  EXPECT_TRUE(isSignalled(KMXIOGetReadEventHandle(port)));
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, CtsFollowsTheSimulatorAndDataSeenMeanwhileIsKept) {
  FakeUt ut(socketPath("UT1"), /*cts=*/false);
  void* port = openServed(ut);
  const int event = KMXIOGetReadEventHandle(port);
  EXPECT_EQ(KMXIOCheckCTS(port), 0);
  EXPECT_EQ(readOnce(port), Bytes{});
  EXPECT_FALSE(isSignalled(event));

  ASSERT_TRUE(ut.sendCts(true));
  EXPECT_EQ(KMXIOCheckCTS(port), 1);
  ASSERT_TRUE(ut.sendData({'x', 'y'}));
  ASSERT_TRUE(ut.sendCts(false));
  ASSERT_TRUE(ut.sendData({'z'}));
  EXPECT_EQ(KMXIOCheckCTS(port), 0);
  // The data that came with the line change waits for the next read, and the
  // read event says so even though the socket itself is empty now.
  EXPECT_TRUE(isSignalled(event));
  EXPECT_EQ(readOnce(port), (Bytes{'x', 'y', 'z'}));
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, DataBothWaysWithReadEventSemantics) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut);
  const int event = KMXIOGetReadEventHandle(port);
  EXPECT_TRUE(isSignalled(event));
  EXPECT_EQ(readOnce(port), Bytes{});
  EXPECT_FALSE(isSignalled(event));

  ASSERT_TRUE(ut.sendData({1, 2, 3}));
  ASSERT_TRUE(ut.sendData({4}));
  ASSERT_TRUE(isSignalled(event, 2000));
  EXPECT_EQ(readOnce(port), (Bytes{1, 2, 3, 4}));
  EXPECT_TRUE(isSignalled(event));
  EXPECT_EQ(readOnce(port), Bytes{});
  EXPECT_FALSE(isSignalled(event));

  const Bytes hello = {'h', 'e', 'l', 'l', 'o', 0x00, 0x1E};
  ASSERT_EQ(KMXIOWriteData(port, hello.data(), static_cast<uint32_t>(hello.size())), 1);
  auto message = ut.receive();
  ASSERT_TRUE(message);
  EXPECT_EQ(message->type, sim::kData);
  EXPECT_EQ(message->body, hello);
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, LargeWriteGoesOutAsDataMessagesOfAtMost4096) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut);
  const Bytes data = pattern(10000, 3);
  ASSERT_EQ(KMXIOWriteData(port, data.data(), static_cast<uint32_t>(data.size())), 1);
  Bytes received;
  std::vector<std::size_t> sizes;
  while (received.size() < data.size()) {
    auto message = ut.receive();
    ASSERT_TRUE(message);
    ASSERT_EQ(message->type, sim::kData);
    sizes.push_back(message->body.size());
    received.insert(received.end(), message->body.begin(), message->body.end());
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{4096, 4096, 1808}));
  EXPECT_EQ(received, data);
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, WriteToASimulatorThatDoesNotReadTimesOutAsFailure) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut);
  const Bytes block = pattern(4096, 0);
  int result = 1;
  for (int i = 0; i < 1000 && result == 1; ++i) {  // until the socket is full
    result = KMXIOWriteData(port, block.data(), static_cast<uint32_t>(block.size()));
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ETIMEDOUT));
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, SmallReadBufferHandsOutALargeMessageInPieces) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut, 100);
  const int event = KMXIOGetReadEventHandle(port);
  const Bytes data = pattern(250, 9);
  ASSERT_TRUE(ut.sendData(data));
  ASSERT_TRUE(ut.sendData({0xEE}));
  Bytes received;
  for (std::size_t expected : {100U, 100U, 51U}) {
    ASSERT_TRUE(isSignalled(event, 2000));
    const Bytes piece = readOnce(port);
    EXPECT_EQ(piece.size(), expected);
    received.insert(received.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(readOnce(port), Bytes{});
  EXPECT_FALSE(isSignalled(event));
  Bytes expected = data;
  expected.push_back(0xEE);
  EXPECT_EQ(received, expected);
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, RateAndLineChangesReachTheSimulator) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut);
  ASSERT_EQ(KMXIOSetBaudRate(port, 115200), 1);
  EXPECT_EQ(KMXIOSetBaudRate(port, 14400), 0);  // refused: sends nothing
  EXPECT_EQ(KMXIOGetBaudRate(port), 115200U);
  ASSERT_EQ(KMXIOSetRTSstate(port, 0), 1);
  ASSERT_EQ(KMXIOSetDTRstate(port, 0), 1);
  ASSERT_EQ(KMXIOSetRTSstate(port, 1), 1);
  ASSERT_EQ(KMXIOSetDTRstate(port, 7), 1);  // only 1 means on

  const std::vector<Message> expected = {
      {sim::kBaud, {0x00, 0xC2, 0x01, 0x00}},
      {sim::kLines, {sim::kLineDtr}},
      {sim::kLines, {0}},
      {sim::kLines, {sim::kLineRts}},
      {sim::kLines, {sim::kLineRts}},
  };
  for (const Message& want : expected) {
    auto got = ut.receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->type, want.type);
    EXPECT_EQ(got->body, want.body);
  }
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, UnknownAndMalformedMessagesAreIgnored) {
  FakeUt ut(socketPath("UT1"), /*cts=*/false);
  void* port = openServed(ut);
  ASSERT_TRUE(ut.sendRaw({}));                        // empty message
  ASSERT_TRUE(ut.sendRaw({0x7F, 1, 2, 3}));          // unknown type
  ASSERT_TRUE(ut.sendRaw({sim::kLines}));             // LINES without body
  ASSERT_TRUE(ut.sendRaw({sim::kLines, sim::kLineCts, 0}));  // LINES too long
  ASSERT_TRUE(ut.sendRaw({sim::kData}));              // empty DATA
  ASSERT_TRUE(ut.sendData(Bytes(sim::kMaxDataBody + 1, 0x55)));  // over-long DATA
  ASSERT_TRUE(ut.sendRaw({sim::kBaud, 0x80, 0x25, 0, 0}));      // not the UT's to send
  ASSERT_TRUE(ut.sendData({'o', 'k'}));
  EXPECT_EQ(readPort(port, 2), (Bytes{'o', 'k'}));
  EXPECT_EQ(readOnce(port), Bytes{});
  EXPECT_EQ(KMXIOCheckCTS(port), 0);
  // The line is still alive.
  ASSERT_TRUE(ut.sendCts(true));
  EXPECT_EQ(KMXIOCheckCTS(port), 1);
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, HangUpDeliversWhatWasSentThenGoesQuietWithoutSigpipe) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut);
  const int event = KMXIOGetReadEventHandle(port);
  EXPECT_EQ(readOnce(port), Bytes{});
  ASSERT_TRUE(ut.sendData({'b', 'y', 'e'}));
  ut.hangUp();
  ASSERT_TRUE(isSignalled(event, 2000));
  EXPECT_EQ(readOnce(port), (Bytes{'b', 'y', 'e'}));
  EXPECT_EQ(readOnce(port), Bytes{});
  EXPECT_FALSE(isSignalled(event));
  EXPECT_EQ(KMXIOCheckCTS(port), 0);
  const uint8_t byte = 1;
  EXPECT_EQ(KMXIOWriteData(port, &byte, 1), 0);  // SIGPIPE would end the test here
  EXPECT_EQ(KMXIOSetRTSstate(port, 0), 0);
  EXPECT_EQ(KMXIOSetBaudRate(port, 19200), 0);
  EXPECT_EQ(KMXIOGetBaudRate(port), 9600U);
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, SilentSimulatorStillOpensWithCtsOff) {
  FakeUt ut(socketPath("UT1"), /*cts=*/true, /*announceCts=*/false);
  void* port = openServed(ut);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(KMXIOCheckCTS(port), 0);
  ASSERT_TRUE(ut.sendCts(true));
  EXPECT_EQ(KMXIOCheckCTS(port), 1);
  KMXIOCloseDriver(port);
}

TEST_F(KmxioSimulator, SocketWithoutServerFailsTheOpen) {
  const std::string path = socketPath("UT9");
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);  // the socket file stays, nobody listens
  const int descriptorsBefore = openDescriptorCount();
  EXPECT_EQ(KMXIOOpenDriver("UT9", 8212), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ECONNREFUSED));
  EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

// --- a simulator in another process

// Serves $KMX_PORT_DIR/ECHO: returns every DATA message and reports rate and
// line messages to the parent, until the driver closes the port.
KMX_TEST_HELPER(echo_ut) {
  FakeUt ut(std::string(std::getenv("KMX_PORT_DIR")) + "/ECHO", true);
  kmx::testing::tellParent("ready");
  if (!ut.waitConnected()) return 2;
  while (auto message = ut.receive(20000)) {
    if (message->type == sim::kData) {
      if (!ut.sendData(message->body)) return 3;
    } else if (message->type == sim::kBaud && message->body.size() == 4) {
      uint32_t rate = 0;
      for (int i = 3; i >= 0; --i) rate = (rate << 8) | message->body[static_cast<std::size_t>(i)];
      kmx::testing::tellParent("baud " + std::to_string(rate));
    } else if (message->type == sim::kLines && message->body.size() == 1) {
      kmx::testing::tellParent("lines " + std::to_string(message->body[0]));
    }
  }
  return 0;  // the driver hung up
}

TEST_F(KmxioSimulator, SimulatorInAnotherProcessEchoesData) {
  kmx::testing::HelperProcess helper("echo_ut");
  ASSERT_EQ(helper.readLine(), "ready");
  void* port = KMXIOOpenDriver("ECHO", 8212);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(helper.readLine(), "lines 6");
  EXPECT_EQ(helper.readLine(), "baud 9600");
  EXPECT_EQ(KMXIOCheckCTS(port), 1);

  const Bytes data = pattern(20000, 1);
  ASSERT_EQ(KMXIOWriteData(port, data.data(), static_cast<uint32_t>(data.size())), 1);
  EXPECT_EQ(readPort(port, data.size()), data);

  ASSERT_EQ(KMXIOSetBaudRate(port, 57600), 1);
  EXPECT_EQ(helper.readLine(), "baud 57600");
  KMXIOCloseDriver(port);
  EXPECT_EQ(helper.wait(), 0);
}

// The server's output path: a UT that does not read fills the socket, the
// write that does not wait takes whole messages up to that point and no
// further, the write event is clear until the UT reads, and what was taken
// arrives in order.
TEST_F(KmxioSimulator, WriteNowTakesWhatTheSocketHoldsAndTheWriteEventTellsWhenThereIsRoom) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut);
  const int writable = kmxio_write_event(port);
  ASSERT_GE(writable, 0);
  EXPECT_TRUE(isSignalled(writable));
  const Bytes data = pattern(1 << 20, 5);
  uint32_t taken = 0;
  ASSERT_EQ(kmxio_write_now(port, data.data(), static_cast<uint32_t>(data.size()), &taken), 1);
  ASSERT_GT(taken, 0u);
  ASSERT_LT(taken, data.size()) << "a socket that holds 1 MiB unread";
  EXPECT_EQ(taken % 4096, 0u) << "whole DATA messages";
  EXPECT_FALSE(isSignalled(writable));
  uint32_t more = 1;
  ASSERT_EQ(kmxio_write_now(port, data.data() + taken, 4096, &more), 1);
  EXPECT_EQ(more, 0u);

  EXPECT_EQ(ut.receiveData(taken), Bytes(data.begin(), data.begin() + taken));
  EXPECT_TRUE(isSignalled(writable, 2000));
  KMXIOCloseDriver(port);
}

// A read that empties the port leaves the read event clear: no empty read
// is needed after it. Bytes that come later signal it again.
TEST_F(KmxioSimulator, ReadAvailableClearsTheEventWhenItEmptiesThePort) {
  FakeUt ut(socketPath("UT1"));
  void* port = openServed(ut);
  const int event = KMXIOGetReadEventHandle(port);
  ASSERT_TRUE(ut.sendData({1, 2}));
  ASSERT_TRUE(ut.sendData({3}));
  ASSERT_TRUE(isSignalled(event, 2000));
  uint32_t length = 0;
  const uint8_t* bytes = kmxio_read_available(port, &length);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(Bytes(bytes, bytes + length), (Bytes{1, 2, 3}));
  EXPECT_FALSE(isSignalled(event));
  ASSERT_TRUE(ut.sendData({4}));
  EXPECT_TRUE(isSignalled(event, 2000));
  KMXIOCloseDriver(port);
}

}  // namespace
}  // namespace kmx::io::testing
