#include "kmx/io/port_name.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <gtest/gtest.h>

#include "kmx/platform/runtime_dir.h"
#include "kmx/testing/runtime_sandbox.h"

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

namespace kmx::io {
namespace {

TEST(PortKeys, BareNamesKeepTheirNamesAndEveryOtherNameIsKeyedByItsDevice) {
  EXPECT_EQ(bareKey("COM1"), "COM1");
  EXPECT_EQ(bareKey("ttyUSB0"), "ttyUSB0");
  EXPECT_EQ(bareKey("50%"), "50%25") << "no bare name's key looks like a device's";
  EXPECT_FALSE(bareKey("/dev/ttyS0"));
  EXPECT_FALSE(bareKey(""));
  EXPECT_FALSE(bareKey(std::string(kMaxPortKey + 1, 'a')));

  kmx::testing::RuntimeSandbox sandbox;
  struct stat null {};
  ASSERT_EQ(stat("/dev/null", &null), 0);
  const std::string identity = "%c" + std::to_string(major(null.st_rdev)) + "." + std::to_string(minor(null.st_rdev));
  const std::string longName(kMaxPortKey + 5, 'n');
  const std::string link = kmx::runtimeDir() + "/usb-Maker_Serial_0001-if00-port0";
  for (const std::string& entry : {sandbox.portDir() + "/NULL1", sandbox.portDir() + "/" + longName, link}) {
    ASSERT_EQ(symlink("/dev/null", entry.c_str()), 0) << entry;
  }

  const auto bare = locatePort("NULL1");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->path, "/dev/null");
  EXPECT_EQ(bare->identity, identity);
  EXPECT_EQ(bare->key, "NULL1");
  EXPECT_EQ(bare->serverName, "NULL1");
  for (const std::string& name : {std::string("/dev/null"), link, longName}) {
    const auto other = locatePort(name);
    ASSERT_TRUE(other) << name;
    EXPECT_EQ(other->identity, identity) << name;
    EXPECT_EQ(other->key, identity) << name;
    EXPECT_EQ(other->serverName, "/dev/null") << name;
  }

  // One device, one exclusive claim, whatever it is called; a port that is
  // not there keeps its own name.
  for (const std::string& name : {std::string("NULL1"), std::string("/dev/null"), link, longName}) {
    EXPECT_EQ(exclusiveClaimName(name), "VEX_null") << name;
  }
  EXPECT_EQ(exclusiveClaimName("NOPE1"), "VEX_NOPE1");
  EXPECT_EQ(exclusiveClaimName("/dev/serial/by-id/usb-Gone"), "VEX_serial_by-id_usb-Gone");

  errno = 0;
  EXPECT_FALSE(locatePort("NOPE1"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(describePortError("NOPE1", ENOENT), "NOPE1: no such serial port");
  const std::string plain = kmx::runtimeDir() + "/plain";
  std::fclose(std::fopen(plain.c_str(), "w"));
  EXPECT_FALSE(locatePort(plain));
  EXPECT_EQ(errno, ENOTTY);
  // A denied port names the group that owns the device, and what to do.
  const std::string denied = describePortError("/dev/null", EACCES);
  EXPECT_EQ(denied.rfind("/dev/null: permission denied; the group ", 0), 0U) << denied;
  EXPECT_NE(denied.find("usermod -aG"), std::string::npos) << denied;
}

}  // namespace
}  // namespace kmx::io
