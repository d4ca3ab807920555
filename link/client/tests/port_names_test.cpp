// Ports named every way a person names them: a bare name in the port
// directory, the device's path, and a link to it elsewhere (as
// /dev/serial/by-id gives). All names of one device reach one link server;
// a port that is not there is said at once, with its name.
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "client_fixture.h"
#include "kmx/platform/runtime_dir.h"

namespace kmx::client::testing {
namespace {

// The connection channels in the runtime directory: one per link server.
int connectionChannels(const std::string& runtimeDir) {
  int count = 0;
  DIR* dir = opendir(runtimeDir.c_str());
  if (dir == nullptr) return -1;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.ends_with("MainIPC.shm")) ++count;
  }
  closedir(dir);
  return count;
}

std::string utError() {
  char text[512] = {};
  uint16_t length = sizeof text;
  KMXGetLastUTErrorInfo(text, &length);
  return text;
}

class PortNames : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimulatorOptions options;
    options.portName = "PTY1";
    options.pty = true;
    simulator = std::make_unique<sim::UtSimulator>(options);
    ASSERT_TRUE(simulator->start()) << simulator->lastError();
    char real[PATH_MAX] = {};
    ASSERT_NE(::realpath(simulator->portPath().c_str(), real), nullptr);
    device = real;
  }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<sim::UtSimulator> simulator;
  std::string device;  // /dev/pts/N
};

TEST_F(PortNames, EveryNameOfOneDeviceReachesOneLinkServer) {
  const std::string byId = kmx::runtimeDir() + "/by-id";
  ASSERT_EQ(mkdir(byId.c_str(), 0700), 0);
  const std::string link = byId + "/usb-UT_Simulator_0001-if00-port0";
  ASSERT_EQ(symlink(device.c_str(), link.c_str()), 0);

  std::vector<void*> connections;
  for (const std::string& name : {device, link, std::string("PTY1")}) {
    void* connection = KMXCreateConnection(name.c_str(), 9600);
    ASSERT_NE(connection, nullptr) << name << ": " << KMXGetErrorDesc(KMXGetLastError()) << " " << utError();
    connections.push_back(connection);
    uint32_t state = 0;
    EXPECT_EQ(KMXOpenConnection(connection, 10, nullptr, KMX_LINK_UP, &state, nullptr), 1) << name;
    EXPECT_EQ(state, KMX_LINK_UP) << name;
    uint8_t version[83] = {};
    EXPECT_EQ(KMXGetKMXVersionInfo(connection, version), 1) << name << ": " << KMXGetErrorDesc(KMXGetLastError());
    EXPECT_EQ(connectionChannels(sandbox.runtimeDir()), 1) << "a second link server for " << name;
  }
  for (void* connection : connections) EXPECT_EQ(KMXCloseHandle(connection), 1);
  EXPECT_TRUE(eventually([&] { return sandbox.leftovers().find(".port") == std::string::npos; }))
      << sandbox.leftovers();
}

TEST_F(PortNames, APortThatIsNotThereIsSaidAtOnceWithItsName) {
  for (const std::string& name : {std::string("ttyNOPE"), std::string("/dev/ttyNOPE0"),
                                  kmx::runtimeDir() + "/dangling"}) {
    if (name.ends_with("dangling")) {
      ASSERT_EQ(symlink("/dev/ttyNOPE1", name.c_str()), 0);
    }
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(failedWith(KMXCreateConnection(name.c_str(), 9600), KMX_ERR_PORT_NOT_OPENED)) << name;
    EXPECT_EQ(utError(), name + ": no such serial port");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << "no server was waited for";
  }
  // A file that is no serial line.
  const std::string plain = kmx::runtimeDir() + "/plain";
  std::FILE* created = std::fopen(plain.c_str(), "w");
  ASSERT_NE(created, nullptr);
  std::fclose(created);
  EXPECT_TRUE(failedWith(KMXCreateConnection(plain.c_str(), 9600), KMX_ERR_PORT_NOT_OPENED));
  EXPECT_EQ(utError(), plain + ": not a serial port");
  EXPECT_EQ(connectionChannels(sandbox.runtimeDir()), 0);
}

}  // namespace
}  // namespace kmx::client::testing
