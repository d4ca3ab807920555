// The script server as scripts meet it: a private bus whose activation
// starts the freshly built vxscript, a simulated UT on port UT1 in the
// test's runtime directory, and a bus connection of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <sdbus-c++/sdbus-c++.h>

#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "private_bus.h"

namespace vx::script::testing {

inline constexpr const char* kService = "UTVEX.Script";
inline constexpr const char* kScriptInterface = "UTVEX.IVexScript";

class ScriptBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string data = sandbox.runtimeDir() + "/data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_DATA_DIRS", data.c_str(), 1);
    ASSERT_EQ(std::system((std::string(VXSCRIPT_PROGRAM) + " --RegServer >/dev/null").c_str()), 0);
    bus = std::make_unique<PrivateBus>(sandbox.runtimeDir(), data + "/dbus-1/services");
    ASSERT_FALSE(bus->address().empty()) << "dbus-daemon did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", bus->address().c_str(), 1);
    kmx::sim::SimulatorOptions options;
    options.portName = "UT1";
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    ASSERT_TRUE(sim->start()) << sim->lastError();
    connection = sdbus::createSessionBusConnectionWithAddress(bus->address());
  }

  void TearDown() override {
    connection.reset();
    // The server ends a few seconds after its objects go; the bus goes now.
    bus.reset();
  }

  std::unique_ptr<sdbus::IProxy> factory(sdbus::IConnection& on) {
    return sdbus::createProxy(on, kService, "/UTVEX/Script");
  }

  std::string createObject(sdbus::IConnection& on) {
    sdbus::ObjectPath path;
    factory(on)->callMethod("CreateObject").onInterface("UTVEX.ScriptFactory").storeResultsTo(path);
    return path;
  }
  std::string createObject() { return createObject(*connection); }
  // An object any caller may use, which only Release ends.
  std::string createSharedObject() {
    sdbus::ObjectPath path;
    factory(*connection)->callMethod("CreateSharedObject").onInterface("UTVEX.ScriptFactory").storeResultsTo(path);
    return path;
  }

  std::unique_ptr<sdbus::IProxy> object(const std::string& path) {
    return sdbus::createProxy(*connection, kService, path);
  }

  // The server's process, as the bus knows it.
  pid_t serverPid() { return scriptServerPid(*connection); }

  // Runs `call` and answers the D-Bus error it failed with ("" for none).
  template <class Call>
  static std::pair<std::string, std::string> failure(Call&& call) {
    try {
      call();
    } catch (const sdbus::Error& error) {
      return {error.getName(), error.getMessage()};
    }
    return {};
  }

  template <class Predicate>
  static bool eventually(Predicate&& done, int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<PrivateBus> bus;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  std::unique_ptr<sdbus::IConnection> connection;
};

}  // namespace vx::script::testing
