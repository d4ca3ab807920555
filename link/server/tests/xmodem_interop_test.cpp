// A transfer through the server to a real Xmodem receiver, rx of lrzsz
// (8-bit checksum mode, 1K blocks), on a pty: what rx writes must be the
// data with its SUB padding. rx talks through pipes that the test relays to
// the pty: given the pty itself, rx's flush of its terminal when it ends
// would also throw away its last ACK before the server had read it.
#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <poll.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <fstream>
#include <iterator>
#include <numeric>

#include "kmx/platform/wait.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmx_messages.h"
#include "wire_client.h"

#include <gtest/gtest.h>

extern char** environ;

namespace kmx::server::testing {
namespace {

using namespace kmx::msg;
using namespace kmx::server::wire;

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

TEST(XmodemInterop, RxOfLrzszReceivesWhatTheServerSends) {
  const std::string rx = findOnPath("rx");
  ASSERT_FALSE(rx.empty()) << "rx (Debian package lrzsz) is not installed; scripts/setup installs it";

  kmx::testing::RuntimeSandbox sandbox;
  int master = -1, slave = -1;
  char slaveName[256] = {};
  ASSERT_EQ(openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  close(slave);
  ASSERT_EQ(symlink(slaveName, (sandbox.portDir() + "/RX1").c_str()), 0);

  WireClient client("RX1", KMXSERVER_PATH);
  ASSERT_TRUE(client.connected());
  // Nothing of the framed link may reach rx: empty the line first.
  fcntl(master, F_SETFL, O_NONBLOCK);
  char junk[256];
  while (read(master, junk, sizeof junk) > 0) {
  }
  ASSERT_TRUE(client.send(words({kCmdXmodem, 0, 0})));

  // The relay between rx's pipes and the pty.
  int toRx[2], fromRx[2];
  ASSERT_EQ(pipe2(toRx, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(fromRx, O_CLOEXEC), 0);
  std::atomic<bool> relaying{true};
  std::thread relay([&] {
    char buffer[4096];
    while (relaying) {
      pollfd fds[2] = {{master, POLLIN, 0}, {fromRx[0], POLLIN, 0}};
      if (poll(fds, 2, 50) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) (void)!write(toRx[1], buffer, static_cast<size_t>(n));
      }
      if (fds[1].revents & POLLIN) {
        ssize_t n = read(fromRx[0], buffer, sizeof buffer);
        if (n > 0) (void)!write(master, buffer, static_cast<size_t>(n));
      }
      if ((fds[1].revents & POLLHUP) && !(fds[1].revents & POLLIN)) break;
    }
  });

  const std::string outDir = sandbox.portDir() + "/rx";
  std::filesystem::create_directory(outDir);
  const std::string outFile = outDir + "/image.bin";
  // rx writes only below its working directory; it waits a second before its
  // first NAK, so that the server is surely in Xmodem mode by then.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toRx[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromRx[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, outDir.c_str());
  std::vector<std::string> args = {rx, "-X", "-b", "-q", "--delay-startup", "1", "image.bin"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, rx.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(toRx[0]);
  close(fromRx[1]);

  EXPECT_EQ(client.awaitReply(10000), words({kStatusOk})) << "rx started the transfer";
  std::vector<uint8_t> data(3000);
  std::iota(data.begin(), data.end(), uint8_t{5});
  std::vector<uint8_t> request = words({kCmdXmodem, 1, 1});
  request.insert(request.end(), data.begin(), data.end());
  EXPECT_EQ(client.command(request, 20000), words({kStatusOk})) << "rx acknowledged the end";

  int status = 0;
  for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10 * 1000);
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "rx did not finish";
  }
  relaying = false;
  relay.join();
  close(toRx[1]);
  close(fromRx[0]);
  close(master);

  std::ifstream in(outFile, std::ios::binary);
  std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> expected = data;
  expected.resize(3072, 0x1A);
  EXPECT_EQ(written, expected);
  client.close();
}

}  // namespace
}  // namespace kmx::server::testing
