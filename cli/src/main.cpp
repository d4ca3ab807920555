// vexctl: every job of the service suite from one command, as a client of
// the script server (D-Bus service UTVEX.Script).
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "arguments.h"
#include "bus_session.h"
#include "child_process.h"
#include "commands.h"
#include "output.h"
#include "script_client.h"
#include "simulated_ut.h"

namespace {

using namespace vx::cli;

std::atomic<SimulatedUt*> gSim{nullptr};
std::atomic<BusSession*> gBus{nullptr};

// SIGINT, SIGTERM and SIGHUP are taken by a thread of their own, which
// ends what the run started and then the run itself.
void watchSignals(sigset_t signals) {
  std::thread([signals] {
    int signal = 0;
    if (::sigwait(&signals, &signal) != 0) return;
    if (SimulatedUt* sim = gSim.load()) sim->emergencyStop();
    if (BusSession* bus = gBus.load()) bus->emergencyStop();
    std::fputs("\nvexctl: interrupted\n", stderr);
    ::_exit(128 + signal);
  }).detach();
}

int failure(const Invocation& inv, const std::string& text, uint32_t hresult) {
  std::fprintf(stderr, "vexctl: %s\n", text.c_str());
  if (inv.json) {
    JsonWriter json;
    json.beginObject().key("error").string(text);
    if (hresult != 0) {
      char number[16];
      std::snprintf(number, sizeof number, "0x%08X", hresult);
      json.key("hresult").string(number);
    }
    json.endObject();
    std::printf("%s\n", json.text().c_str());
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Invocation inv;
  try {
    inv = parseArguments(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::fprintf(stderr, "vexctl: %s\n%s\n", error.what(), usageLine());
    return 2;
  }
  if (inv.help) {
    std::fputs(helpText(), stdout);
    return 0;
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  watchSignals(signals);

  const std::string programDir = programDirectory();
  std::unique_ptr<SimulatedUt> sim;
  std::unique_ptr<BusSession> bus;
  int status = 1;
  try {
    std::string port = inv.port;
    if (inv.sim) {
      sim = std::make_unique<SimulatedUt>(programDir);
      gSim = sim.get();
      port = sim->port();
    }
    bus = std::make_unique<BusSession>(programDir);
    gBus = bus.get();
    {
      ScriptClient client(bus->connection());
      bus->noteServer();
      Commands commands(inv, client, port);
      status = commands.run();
    }
  } catch (const UsageError& error) {
    std::fprintf(stderr, "vexctl: %s\n%s\n", error.what(), usageLine());
    status = 2;
  } catch (const UtError& error) {
    status = failure(inv, error.what(), error.hresult());
  } catch (const sdbus::Error& error) {
    status = failure(inv, utErrorOf(error).what(), 0);
  } catch (const std::exception& error) {
    status = failure(inv, error.what(), 0);
  }
  gBus = nullptr;
  if (bus) bus->stop();
  gSim = nullptr;
  if (sim) sim->stop();
  return status;
}
