// The utsim program in its own process: a host opens its port by name and a
// script drives it through the control socket.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "kmx/platform/process.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/sim/ut_commands.h"
#include "kmx/testing/runtime_sandbox.h"
#include "sim_host.h"

#include <gtest/gtest.h>

namespace kmx::sim::testing {
namespace {

std::string controlRoundTrip(const std::string& path, const std::string& line) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return "no connection";
  }
  std::string request = line + "\n";
  (void)!write(fd, request.data(), request.size());
  std::string answer;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') answer += c;
  close(fd);
  return answer;
}

TEST(UtsimProgram, ServesAPortAndTakesControlCommands) {
  kmx::testing::RuntimeSandbox sandbox;
  std::string control = kmx::runtimeDir() + "/utsim.ctl";
  pid_t pid = kmx::startDetached(UTSIM_PATH, {"--port", "UT7", "--control", control,
                                              "-c", "nv-set 3 0 2a"});
  ASSERT_GT(pid, 0);
  kmx::ProcessWatch watch(pid);

  std::unique_ptr<SimHost> host;
  for (int i = 0; i < 200 && !(host && host->ok()); ++i) {
    usleep(20 * 1000);
    host = std::make_unique<SimHost>("UT7");
  }
  ASSERT_TRUE(host && host->ok()) << "utsim did not make its port";

  Packet response;
  ASSERT_TRUE(host->request(ut_command::kNvRead, cat({le16(3), le16(0)}), response));
  EXPECT_EQ(response.payload, std::vector<uint8_t>{0x2a});

  std::string answer;
  for (int i = 0; i < 100 && (answer = controlRoundTrip(control, "nv-set 3 0 07")) != "ok"; ++i) usleep(20 * 1000);
  EXPECT_EQ(answer, "ok");
  ASSERT_TRUE(host->request(ut_command::kNvRead, cat({le16(3), le16(0)}), response));
  EXPECT_EQ(response.payload, std::vector<uint8_t>{0x07});
  EXPECT_EQ(controlRoundTrip(control, "nonsense 1 2"), "error: unknown or malformed command: nonsense 1 2");

  controlRoundTrip(control, "quit");
  for (int i = 0; i < 250 && !watch.hasEnded(); ++i) usleep(20 * 1000);
  EXPECT_TRUE(watch.hasEnded()) << "quit did not end utsim";
  if (!watch.hasEnded()) kill(pid, SIGKILL);
}

TEST(UtsimProgram, OptionsSelectTheCatalogueVariant) {
  kmx::testing::RuntimeSandbox sandbox;
  std::string control = kmx::runtimeDir() + "/utsim.ctl";
  pid_t pid = kmx::startDetached(UTSIM_PATH, {"--port", "UT8", "--control", control, "--main-model", "0xcb",
                                              "--unicode-names", "--name-length", "33", "--old-sms",
                                              "--old-directory", "--no-symbols", "--short-descriptors",
                                              "--hostile-list", "inactive", "--item-flags", "NV_SCM_I=6", "-c",
                                              "nv set NV_UI_TIMEZONE.T_USHORT 0x1234"});
  ASSERT_GT(pid, 0);
  kmx::ProcessWatch watch(pid);
  std::string answer;
  for (int i = 0; i < 200 && (answer = controlRoundTrip(control, "catalogue")) == "no connection"; ++i) usleep(20 * 1000);
  EXPECT_EQ(answer,
            "model 0xcb unicode on name-length 33 sms old directory old symbols none descriptors short "
            "hostile-list inactive item-flags NV_SCM_I=6");
  EXPECT_NE(controlRoundTrip(control, "nv item NV_HUGE_INACTIVE_LIST_I")
                .find(" type nv_huge_array_type size 65535 dimension 50 "),
            std::string::npos);
  EXPECT_EQ(controlRoundTrip(control, "nv get NV_UI_TIMEZONE.T_USHORT"), "4660");

  auto host = std::make_unique<SimHost>("UT8");
  ASSERT_TRUE(host->ok());
  Packet response;
  ASSERT_TRUE(host->request(ut_command::kVersion, {}, response));
  ASSERT_EQ(response.payload.size(), 83u);
  EXPECT_EQ(response.payload[35] | response.payload[36] | response.payload[37] | response.payload[38], 0)
      << "symbol information of size 0";

  controlRoundTrip(control, "quit");
  for (int i = 0; i < 250 && !watch.hasEnded(); ++i) usleep(20 * 1000);
  EXPECT_TRUE(watch.hasEnded()) << "quit did not end utsim";
  if (!watch.hasEnded()) kill(pid, SIGKILL);
}

}  // namespace
}  // namespace kmx::sim::testing

namespace kmx::sim::testing {
namespace {

TEST(UtsimProgram, ServesABenchOfPhonesEachWithItsOwnEsn) {
  kmx::testing::RuntimeSandbox sandbox;
  const std::string control = kmx::runtimeDir() + "/bench.ctl";
  pid_t pid = kmx::startDetached(UTSIM_PATH, {"--port", "BENCH", "--count", "3", "--control", control});
  ASSERT_GT(pid, 0);
  kmx::ProcessWatch watch(pid);
  std::string answer;
  for (int i = 0; i < 200 && (answer = controlRoundTrip(control, "@BENCH2 nv-set 3 0 2a")) == "no connection"; ++i) {
    usleep(20 * 1000);
  }
  EXPECT_EQ(answer, "ok");
  EXPECT_EQ(controlRoundTrip(control, "@BENCH9 nv-set 3 0 2a"), "error: no phone on port BENCH9");
  EXPECT_EQ(controlRoundTrip(control, "nv-set 4 0 01"), "BENCH1: ok") << "the first of every phone's answers";

  std::vector<std::vector<uint8_t>> esns;
  for (const char* port : {"BENCH1", "BENCH2", "BENCH3"}) {
    SimHost host(port);
    ASSERT_TRUE(host.ok()) << port;
    Packet status;
    ASSERT_TRUE(host.request(ut_command::kStatusData, le32(0x1D), status)) << port;
    esns.push_back(status.payload);
    Packet nv;
    ASSERT_TRUE(host.request(ut_command::kNvRead, cat({le16(3), le16(0)}), nv));
    EXPECT_EQ(nv.payload == std::vector<uint8_t>{0x2a}, std::string(port) == "BENCH2") << port;
  }
  EXPECT_NE(esns[0], esns[1]);
  EXPECT_NE(esns[1], esns[2]);

  controlRoundTrip(control, "quit");
  for (int i = 0; i < 250 && !watch.hasEnded(); ++i) usleep(20 * 1000);
  EXPECT_TRUE(watch.hasEnded());
  if (!watch.hasEnded()) kill(pid, SIGKILL);
}

}  // namespace
}  // namespace kmx::sim::testing
