// The script server as a benchmark meets it: vxscript registered in the
// benchmark's private runtime directory, a private bus that activates it, a
// simulated UT on a paced port, and one script object connected to it.
#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include <sdbus-c++/sdbus-c++.h>

#include "kmx/sim/ut_simulator.h"
#include "private_bus.h"

namespace kmx::bench {

inline constexpr const char* kScriptService = "UTVEX.Script";
inline constexpr const char* kScriptInterface = "UTVEX.IVexScript";

struct ScriptSession {
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  std::unique_ptr<vx::script::testing::PrivateBus> bus;
  std::unique_ptr<sdbus::IConnection> connection;
  std::unique_ptr<sdbus::IProxy> object;

  // Starts everything in $KMX_RUNTIME_DIR with the UT on `port`; empty on
  // success, else what failed.
  std::string start(const std::string& port) {
    const std::string dir = std::getenv("KMX_RUNTIME_DIR");
    // Activation finds only the freshly built server.
    const std::string data = dir + "/data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_DATA_DIRS", data.c_str(), 1);
    if (std::system((std::string(VXSCRIPT_PROGRAM) + " --RegServer >/dev/null").c_str()) != 0) {
      return "vxscript --RegServer failed";
    }
    bus = std::make_unique<vx::script::testing::PrivateBus>(dir, data + "/dbus-1/services");
    if (bus->address().empty()) return "dbus-daemon did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", bus->address().c_str(), 1);
    kmx::sim::SimulatorOptions options;
    options.portName = port;
    options.pacing = true;
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    if (!sim->start()) return sim->lastError();
    try {
      connection = sdbus::createSessionBusConnectionWithAddress(bus->address());
      auto factory = sdbus::createProxy(*connection, kScriptService, "/UTVEX/Script");
      sdbus::ObjectPath path;
      factory->callMethod("CreateObject").onInterface("UTVEX.ScriptFactory").storeResultsTo(path);
      object = sdbus::createProxy(*connection, kScriptService, path);
      int16_t state = 0;
      object->callMethod("Connect")
          .onInterface(kScriptInterface)
          .withTimeout(std::chrono::seconds(120))
          .withArguments(port, int32_t{115200}, int32_t{-1}, std::string("000000"))
          .storeResultsTo(state);
      if (state != 1) return "Connect answered state " + std::to_string(state);
    } catch (const sdbus::Error& error) {
      return error.getName() + ": " + error.getMessage();
    }
    return {};
  }
};

}  // namespace kmx::bench
