// Many processes connecting to one port at the same moment: the connection
// mailbox holds ten requests, so most of a burst finds it full and must be
// queued again rather than fail.
#include <unistd.h>

#include <fstream>
#include <map>
#include <memory>
#include <sys/stat.h>

#include "client_fixture.h"
#include "kmx/platform/wait.h"
#include "kmx/testing/helper_process.h"

namespace kmx::client::testing {
namespace {

using kmx::testing::HelperProcess;
using kmx::testing::tellParent;

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string releaseFile() { return std::string(std::getenv("KMX_RUNTIME_DIR")) + "/release"; }

// From the monotonic time given, connects and closes `cycles` times; with
// "hold", keeps its one connection until the parent writes the release
// file. Reports "failed <n>" with the errors seen, by code.
KMX_TEST_HELPER(connect_in_burst) {
  const int64_t at = std::stoll(args.at(0));
  const int cycles = std::stoi(args.at(1));
  const bool hold = args.at(2) == "hold";
  while (monotonicMs() < at) usleep(200);
  std::map<uint16_t, int> errors;
  int failed = 0;
  for (int i = 0; i < cycles; ++i) {
    void* connection = KMXCreateConnection("UT1", 9600);
    if (connection == nullptr) {
      ++failed;
      ++errors[KMXGetLastError()];
      continue;
    }
    if (hold) {
      tellParent("connected");
      while (!exists(releaseFile())) usleep(2000);
    }
    KMXCloseHandle(connection);
  }
  std::string report = "failed " + std::to_string(failed);
  for (auto [code, count] : errors) report += " error" + std::to_string(code) + "x" + std::to_string(count);
  tellParent(report);
  return 0;
}

class ConnectBurst : public ClientTest {
 protected:
  // Starts `processes` helpers that begin together a little later.
  void startBurst(int processes, int cycles, bool hold) {
    const int64_t at = monotonicMs() + 1500;
    for (int i = 0; i < processes; ++i) {
      helpers.push_back(std::make_unique<HelperProcess>(
          "connect_in_burst", std::vector<std::string>{std::to_string(at), std::to_string(cycles),
                                                       hold ? "hold" : "cycle"}));
    }
  }
  std::vector<std::unique_ptr<HelperProcess>> helpers;
};

TEST_F(ConnectBurst, SixtyFourProcessesConnectingAtOnceAllGetAConnection) {
  constexpr int kProcesses = 64;
  startBurst(kProcesses, 1, true);
  int connected = 0;
  for (auto& helper : helpers) {
    const std::string line = helper->readLine(60000);
    EXPECT_EQ(line, "connected") << "helper " << helper->pid();
    if (line == "connected") ++connected;
  }
  EXPECT_EQ(connected, kProcesses);
  std::ofstream(releaseFile()).put('x');
  for (auto& helper : helpers) {
    EXPECT_EQ(helper->readLine(30000), "failed 0");
    EXPECT_EQ(helper->wait(), 0);
  }
}

TEST_F(ConnectBurst, TwentyProcessesConnectingAndClosingInALoopNeverFail) {
  constexpr int kProcesses = 20, kCycles = 100;
  startBurst(kProcesses, kCycles, false);
  for (auto& helper : helpers) {
    EXPECT_EQ(helper->readLine(100000), "failed 0") << "helper " << helper->pid();
    EXPECT_EQ(helper->wait(), 0);
  }
}

}  // namespace
}  // namespace kmx::client::testing
