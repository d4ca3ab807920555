#include "port_name.h"

#include <gtest/gtest.h>

namespace kmx::io {
namespace {

using Paths = std::vector<std::string>;

TEST(PortNames, PortDirectoryThenDevThenSerialDeviceForComN) {
  EXPECT_EQ(candidatePaths("COM3", "/p"), (Paths{"/p/COM3", "/dev/COM3", "/dev/ttyS2"}));
  EXPECT_EQ(candidatePaths("com1", "/p"), (Paths{"/p/com1", "/dev/com1", "/dev/ttyS0"}));
  EXPECT_EQ(candidatePaths("COM12", "/p"), (Paths{"/p/COM12", "/dev/COM12", "/dev/ttyS11"}));
  EXPECT_EQ(candidatePaths("ttyUSB0", "/p"), (Paths{"/p/ttyUSB0", "/dev/ttyUSB0"}));
  EXPECT_EQ(candidatePaths("UT1", ""), (Paths{"/dev/UT1"}));
}

TEST(PortNames, OnlyWellFormedComNamesMapToSerialDevices) {
  for (const char* name : {"COM", "COM0", "COMx", "COM1a", "COM+1", "COM 1", "COM99999999999"}) {
    EXPECT_EQ(candidatePaths(name, "/p").size(), 2U) << name;
  }
}

TEST(PortNames, PathsAreUsedAsGivenAndEmptyNamesRefused) {
  EXPECT_EQ(candidatePaths("/dev/pts/3", "/p"), (Paths{"/dev/pts/3"}));
  EXPECT_EQ(candidatePaths("sub/COM1", "/p"), (Paths{"sub/COM1"}));
  EXPECT_TRUE(candidatePaths("", "/p").empty());
  errno = 0;
  EXPECT_FALSE(resolvePort(""));
  EXPECT_EQ(errno, EINVAL);
}

}  // namespace
}  // namespace kmx::io
