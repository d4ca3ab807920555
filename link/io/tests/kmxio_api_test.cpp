#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>

#include "kmx/platform/last_error.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmxio.h"

namespace {

// Every call on a handle that is not an open port fails without touching it.
void expectRefused(void* handle) {
  const uint8_t byte = 0x41;
  uint32_t length = 99;
  EXPECT_EQ(KMXIOWriteData(handle, &byte, 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EBADF));
  EXPECT_EQ(KMXIOReadData(handle, &length), nullptr);
  EXPECT_EQ(length, 0U);
  EXPECT_EQ(KMXIOGetReadEventHandle(handle), -1);
  EXPECT_EQ(KMXIOSetBaudRate(handle, 19200), 0);
  EXPECT_EQ(KMXIOGetBaudRate(handle), 0U);
  EXPECT_EQ(KMXIOGetAvailableBaudRates(handle), 0U);
  EXPECT_EQ(KMXIOCheckCTS(handle), 0);
  EXPECT_EQ(KMXIOSetRTSstate(handle, 1), 0);
  EXPECT_EQ(KMXIOSetDTRstate(handle, 1), 0);
  EXPECT_EQ(KMXIOCloseDriver(handle), 1);
}

TEST(KmxioApi, NullForeignAndClosedHandlesAreRefused) {
  expectRefused(nullptr);
  int notAPort = 0x1324ACBD;
  expectRefused(&notAPort);

  kmx::testing::RuntimeSandbox sandbox;
  int master = -1, slave = -1;
  char name[128];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  void* port = KMXIOOpenDriver(name, 64);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(KMXIOCloseDriver(port), 1);
  expectRefused(port);

  // A new port never takes over the closed one's handle.
  void* next = KMXIOOpenDriver(name, 64);
  ASSERT_NE(next, nullptr);
  EXPECT_NE(next, port);
  EXPECT_EQ(KMXIOGetBaudRate(port), 0U);
  EXPECT_EQ(KMXIOCloseDriver(next), 1);
  close(master);
  close(slave);
}

TEST(KmxioApi, CheckBaudRateKnowsOnlyTheFiveRates) {
  for (uint32_t rate : {9600U, 19200U, 38400U, 57600U, 115200U}) {
    EXPECT_EQ(KMXIOCheckBaudRate(nullptr, rate), 1) << rate;
  }
  for (uint32_t rate : {0U, 300U, 14400U, 28800U, 230400U, 0xFFFFFFFFU}) {
    EXPECT_EQ(KMXIOCheckBaudRate(nullptr, rate), 0) << rate;
  }
}

}  // namespace
