// Test support for the client library: a UT simulator on port "UT1" served
// by the real link server, which the library starts from ../bin; and a fake
// server in the test process that answers with whatever a test scripts, for
// replies the real server never sends.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmx_ipc.h"
#include "kmxclient.h"

namespace kmx::client::testing {

// Polls `predicate` until it holds or `timeoutMs` have passed.
bool eventually(const std::function<bool()>& predicate, int timeoutMs = 10000);

// True when the thread (of this process) sleeps in one of the system calls.
bool sleepsInSyscall(pid_t thread, std::initializer_list<long> syscalls);

// The number of messages queued in a mailbox of an IPC object, looked at
// from outside; -1 when the object or mailbox cannot be opened.
int queuedMessages(const std::string& ipcName, const char* mailbox);

// The link server serving this test's runtime directory, or -1.
pid_t findServer(const std::string& runtimeDir);
bool processEnds(pid_t pid, int timeoutMs);

std::vector<uint8_t> words(std::initializer_list<uint32_t> values);

// The call's result said failure and the thread's error is `error`.
::testing::AssertionResult failedWith(int result, uint16_t error);
::testing::AssertionResult failedWith(void* handle, uint16_t error);
uint32_t wordAt(const std::vector<uint8_t>& bytes, std::size_t offset);

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.start()) << sim.lastError(); }
  void TearDown() override;

  // A connection to "UT1" that the test's end closes (if the test did not).
  void* connect(uint32_t baudRate = 9600);
  // A connection whose link is up.
  void* connectUp(uint32_t mask = KMX_LINK_UP | KMX_LINK_ESTABLISHING | KMX_LINK_DOWN);
  pid_t server() const { return findServer(sandbox.runtimeDir()); }

  kmx::testing::RuntimeSandbox sandbox;
  sim::UtSimulator sim;
  std::vector<void*> connections;
};

// Answers the client library in place of the link server, for device "FAKE":
// accepts connections with the status it is told and answers each command
// with what `answer` returns (no reply for an empty vector).
class FakeServer {
 public:
  using Answer = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& command)>;

  explicit FakeServer(Answer answer, uint32_t connectionStatus = 0);
  // Answers connection requests with exactly `connectionReply`.
  FakeServer(Answer answer, std::vector<uint8_t> connectionReply);
  ~FakeServer();

  static constexpr const char* kDevice = "FAKE";

  // Sends an asynchronous message to the connected client.
  bool sendAsync(const std::vector<uint8_t>& message);
  // Commands received so far.
  std::vector<std::vector<uint8_t>> commands();

 private:
  void run();

  Answer answer_;
  uint32_t connectionStatus_ = 0;
  std::vector<uint8_t> connectionReply_;  // empty: the usual reply with the status
  std::unique_ptr<KMXIpc> connectionChannel_;
  std::unique_ptr<KMXIpc> client_;
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> commands_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kmx::client::testing
