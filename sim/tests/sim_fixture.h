// A simulator serving port "UT1" in a private port directory, and a host that
// has opened it through the serial driver.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "sim_host.h"

namespace kmx::sim::testing {

class SimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.start()) << sim.lastError();
    host = std::make_unique<SimHost>("UT1");
    ASSERT_TRUE(host->ok());
    ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return c.hostRate == 9600; }, 2000));
  }

  Packet ask(uint8_t code, const std::vector<uint8_t>& payload = {}) {
    Packet response;
    EXPECT_TRUE(host->request(code, payload, response)) << "no response to command " << int(code);
    return response;
  }

  kmx::testing::RuntimeSandbox sandbox;
  UtSimulator sim;
  std::unique_ptr<SimHost> host;
};

}  // namespace kmx::sim::testing
