#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <numeric>
#include <string>
#include <vector>

#include "kmx/platform/last_error.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmxio.h"
#include "test_util.h"

namespace kmx::io::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// A pty pair: the driver opens the slave, the test plays the far end on the
// master. The test keeps its own slave descriptor to look at the line settings.
struct Pty {
  Pty() {
    char name[128];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    slavePath = name;
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() {
    if (master >= 0) close(master);
    close(slave);
  }
  void linkAs(const std::string& portDir, const std::string& name) const {
    if (symlink(slavePath.c_str(), (portDir + "/" + name).c_str()) != 0) throw std::runtime_error("symlink");
  }
  Bytes readMaster(std::size_t count) const {
    Bytes data;
    while (data.size() < count && isSignalled(master, 2000)) {
      uint8_t chunk[4096];
      const ssize_t n = read(master, chunk, sizeof chunk);
      if (n <= 0) break;
      data.insert(data.end(), chunk, chunk + n);
    }
    return data;
  }
  void writeMaster(const Bytes& data) const {
    ASSERT_EQ(write(master, data.data(), data.size()), static_cast<ssize_t>(data.size()));
  }
  speed_t lineSpeed() const {
    termios tio{};
    tcgetattr(slave, &tio);
    return cfgetospeed(&tio);
  }

  int master = -1;
  int slave = -1;
  std::string slavePath;
};

class KmxioTty : public ::testing::Test {
 protected:
  kmx::testing::RuntimeSandbox sandbox;
  Pty pty;
};

TEST_F(KmxioTty, OpensThroughPortDirectoryLinkInRawModeAt9600) {
  pty.linkAs(sandbox.portDir(), "COM7");
  void* port = KMXIOOpenDriver("COM7", 8212);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(KMXIOGetBaudRate(port), 9600U);
  EXPECT_EQ(KMXIOGetAvailableBaudRates(port), 0x1FU);
  EXPECT_TRUE(isSignalled(KMXIOGetReadEventHandle(port)));  // the first wait returns at once

  termios tio{};
  ASSERT_EQ(tcgetattr(pty.slave, &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0U);
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0U);
  EXPECT_EQ(tio.c_oflag & OPOST, 0U);

  // A pty has no modem lines: CTS reads on, DTR and RTS changes succeed.
  EXPECT_EQ(KMXIOCheckCTS(port), 1);
  for (uint32_t state : {0U, 1U}) {
    EXPECT_EQ(KMXIOSetRTSstate(port, state), 1);
    EXPECT_EQ(KMXIOSetDTRstate(port, state), 1);
  }
  EXPECT_EQ(KMXIOCloseDriver(port), 1);
}

TEST_F(KmxioTty, CarriesEveryByteValueUnchangedBothWays) {
  void* port = KMXIOOpenDriver(pty.slavePath.c_str(), 8212);
  ASSERT_NE(port, nullptr);
  Bytes all(1024);
  std::iota(all.begin(), all.end(), 0);  // 0..255 four times: XON/XOFF, CR, LF, ^C...

  ASSERT_EQ(KMXIOWriteData(port, all.data(), static_cast<uint32_t>(all.size())), 1);
  EXPECT_EQ(pty.readMaster(all.size()), all);

  pty.writeMaster(all);
  EXPECT_EQ(readPort(port, all.size()), all);
  KMXIOCloseDriver(port);
}

TEST_F(KmxioTty, ReadEventIsSignalledAfterReadsWithDataAndResetWhenDrained) {
  void* port = KMXIOOpenDriver(pty.slavePath.c_str(), 8212);
  ASSERT_NE(port, nullptr);
  const int event = KMXIOGetReadEventHandle(port);
  uint32_t length = 7;
  EXPECT_EQ(KMXIOReadData(port, &length), nullptr);
  EXPECT_EQ(length, 0U);
  EXPECT_FALSE(isSignalled(event));

  pty.writeMaster({'a', 'b', 'c'});
  ASSERT_TRUE(isSignalled(event, 2000));
  const uint8_t* data = KMXIOReadData(port, &length);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Bytes(data, data + length), (Bytes{'a', 'b', 'c'}));
  EXPECT_TRUE(isSignalled(event));  // signalled after a completed read
  EXPECT_EQ(KMXIOReadData(port, &length), nullptr);
  EXPECT_FALSE(isSignalled(event));
  KMXIOCloseDriver(port);
}

TEST_F(KmxioTty, SetBaudRateChangesTheLineOrLeavesItAlone) {
  void* port = KMXIOOpenDriver(pty.slavePath.c_str(), 8212);
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(KMXIOSetBaudRate(port, 115200), 1);
  EXPECT_EQ(KMXIOGetBaudRate(port), 115200U);
  EXPECT_EQ(pty.lineSpeed(), static_cast<speed_t>(B115200));

  EXPECT_EQ(KMXIOSetBaudRate(port, 14400), 0);
  EXPECT_EQ(KMXIOGetBaudRate(port), 115200U);
  EXPECT_EQ(pty.lineSpeed(), static_cast<speed_t>(B115200));

  ASSERT_EQ(KMXIOSetBaudRate(port, 38400), 1);
  EXPECT_EQ(pty.lineSpeed(), static_cast<speed_t>(B38400));
  KMXIOCloseDriver(port);
}

TEST_F(KmxioTty, PortIsHeldByOneOpenerAtATime) {
  pty.linkAs(sandbox.portDir(), "COM2");
  const int descriptorsBefore = openDescriptorCount();
  void* first = KMXIOOpenDriver("COM2", 8212);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(KMXIOOpenDriver("COM2", 8212), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EBUSY));
  KMXIOCloseDriver(first);
  EXPECT_EQ(openDescriptorCount(), descriptorsBefore);  // nothing leaks, the failed open included
  void* second = KMXIOOpenDriver("COM2", 8212);
  EXPECT_NE(second, nullptr);
  KMXIOCloseDriver(second);
}

TEST_F(KmxioTty, HungUpLineReadsNothingStopsSignallingAndDropsCts) {
  void* port = KMXIOOpenDriver(pty.slavePath.c_str(), 8212);
  ASSERT_NE(port, nullptr);
  const int event = KMXIOGetReadEventHandle(port);
  close(pty.master);
  pty.master = -1;
  uint32_t length = 0;
  EXPECT_EQ(KMXIOReadData(port, &length), nullptr);
  EXPECT_EQ(KMXIOReadData(port, &length), nullptr);
  // Otherwise the hang-up would wake a waiter for ever.
  EXPECT_FALSE(isSignalled(event));
  EXPECT_EQ(KMXIOCheckCTS(port), 0);
  const uint8_t byte = 1;
  EXPECT_EQ(KMXIOWriteData(port, &byte, 1), 0);
  KMXIOCloseDriver(port);
}

// --- name resolution through the open

TEST_F(KmxioTty, PortDirectoryEntryComesFirstThenDev) {
  pty.linkAs(sandbox.portDir(), "null");  // shadows /dev/null
  void* linked = KMXIOOpenDriver("null", 16);
  ASSERT_NE(linked, nullptr);
  KMXIOCloseDriver(linked);
  unlink((sandbox.portDir() + "/null").c_str());

  // /dev/ptmx is a tty: found by the retry, it opens.
  void* port = KMXIOOpenDriver("ptmx", 16);
  ASSERT_NE(port, nullptr);
  KMXIOCloseDriver(port);
  // /dev/null is found the same way but is no serial line.
  EXPECT_EQ(KMXIOOpenDriver("null", 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOTTY));
  EXPECT_EQ(KMXIOOpenDriver("kmx-no-such-port", 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
}

TEST_F(KmxioTty, EntryThatExistsButFailsIsNotRetriedUnderDev) {
  // A port-directory "ptmx" that is not a tty must not fall through to /dev/ptmx.
  const std::string file = sandbox.portDir() + "/ptmx";
  close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
  EXPECT_EQ(KMXIOOpenDriver("ptmx", 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOTTY));
}

}  // namespace
}  // namespace kmx::io::testing
