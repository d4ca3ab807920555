// A UT simulator on port "UT1" and a way to start clients of its server.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "kmx/platform/process.h"
#include "kmx/platform/wait.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmx_messages.h"
#include "wire_client.h"

namespace kmx::server::testing {

using namespace kmx::server::wire;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.start()) << sim.lastError(); }

  void TearDown() override {
    pid_t server = -1;
    for (auto& client : clients) {
      if (!client || !client->connected()) continue;
      server = client->serverPid();
      client->close();
    }
    clients.clear();
    if (server > 0) {
      ProcessWatch watch(server);
      int fds[1] = {watch.fd()};
      if (watch.valid() && waitForAny(fds, 10000) != 0) {
        ADD_FAILURE() << "the server did not end after its clients went";
        kill(server, SIGKILL);
      }
    }
  }

  WireClient& connect(uint32_t baudRate = 9600) {
    clients.push_back(std::make_unique<WireClient>("UT1", KMXSERVER_PATH, baudRate));
    return *clients.back();
  }

  // A connected client with the link Up.
  WireClient& connectUp(uint32_t baudRate = 9600, uint32_t mask = 7) {
    WireClient& client = connect(baudRate);
    EXPECT_TRUE(client.connected());
    EXPECT_EQ(client.openConnection(10, mask), 1) << "the link did not come up";
    return client;
  }

  static bool serverEnds(pid_t pid, int timeoutMs) {
    ProcessWatch watch(pid);
    int fds[1] = {watch.fd()};
    return !watch.valid() || waitForAny(fds, timeoutMs) == 0;
  }

  kmx::testing::RuntimeSandbox sandbox;
  sim::UtSimulator sim;
  std::vector<std::unique_ptr<WireClient>> clients;
};

}  // namespace kmx::server::testing
