// vexctl: every job of the service suite from one command, as a client of
// the script server (D-Bus service UTVEX.Script).
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "arguments.h"
#include "bench.h"
#include "bus_session.h"
#include "child_process.h"
#include "commands.h"
#include "offline_commands.h"
#include "output.h"
#include "script_client.h"
#include "simulated_ut.h"

namespace {

using namespace vx::cli;

std::atomic<SimulatedUt*> gSim{nullptr};
std::atomic<BusSession*> gBus{nullptr};
// Set once the watcher ends the run: the main thread then says nothing
// more (its bus goes away under it) and waits for the watcher's exit.
std::atomic<bool> gEnding{false};

[[noreturn]] void leaveToWatcher() {
  for (;;) ::pause();
}

int failure(const Invocation& inv, const std::string& text, uint32_t hresult) {
  if (gEnding) leaveToWatcher();
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
  // diff keeps 1 for "different", as diff(1) does: its trouble is 2.
  return inv.command == "diff" ? kDiffTrouble : 1;
}

// SIGINT, SIGTERM and SIGHUP, and the end of --timeout, are taken by a
// thread of their own, which ends what the run started (the script server
// and the bus daemon first, then the simulator, each by its process id) and
// then the run itself: the main thread may be inside a bus call that waits
// for a UT that never answers.
void watchSignals(sigset_t signals, const Invocation& inv) {
  const std::optional<int> timeout = inv.timeoutSeconds;
  const bool json = inv.json;
  std::thread([signals, timeout, json] {
    int signal = 0;
    if (timeout) {
      timespec limit{*timeout, 0};
      timespec start{};
      ::clock_gettime(CLOCK_MONOTONIC, &start);
      while ((signal = ::sigtimedwait(&signals, nullptr, &limit)) < 0) {
        if (errno != EINTR) break;
        // An interrupted wait goes on for what is left of the limit.
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long long left = (start.tv_sec + *timeout - now.tv_sec) * 1000000000LL + start.tv_nsec - now.tv_nsec;
        if (left <= 0) break;
        limit = timespec{static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
      }
    } else if (::sigwait(&signals, &signal) != 0) {
      return;
    }
    gEnding = true;
    if (BusSession* bus = gBus.load()) bus->emergencyStop();
    if (SimulatedUt* sim = gSim.load()) sim->emergencyStop();
    if (signal > 0) {
      std::fputs("\nvexctl: interrupted\n", stderr);
      ::_exit(128 + signal);
    }
    const std::string text = "timed out after " + std::to_string(*timeout) + " s";
    std::fprintf(stderr, "vexctl: %s\n", text.c_str());
    if (json) {
      JsonWriter out;
      out.beginObject().key("error").string(text).key("timedOut").boolean(true).endObject();
      std::printf("%s\n", out.text().c_str());
      std::fflush(stdout);
    }
    ::_exit(kTimedOutStatus);
  }).detach();
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
  if (inv.version) {
    std::puts("vexctl " VEXCTL_VERSION);
    return 0;
  }
  if (inv.help) {
    std::fputs(inv.helpTopic.empty() ? helpText() : commandHelp(inv.helpTopic), stdout);
    return 0;
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  watchSignals(signals, inv);

  if (isOffline(inv)) {
    try {
      return runOffline(inv);
    } catch (const std::exception& error) {
      return failure(inv, error.what(), 0);
    }
  }

  const std::string programDir = programDirectory();
  std::unique_ptr<SimulatedUt> sim;
  std::unique_ptr<BusSession> bus;
  int status = 1;
  try {
    std::string port = inv.port;
    if (inv.sim) {
      // Known to the watcher before anything starts, so that a signal in
      // the middle of the start ends what has started.
      sim = std::make_unique<SimulatedUt>(programDir);
      gSim = sim.get();
      sim->start();
      port = sim->port();
    }
    bus = std::make_unique<BusSession>(programDir);
    gBus = bus.get();
    bus->open();
    if (severalPhones(inv)) {
      status = runOnPhones(inv, *bus, [] {
        if (gEnding) leaveToWatcher();
      });
    } else {
      ScriptClient client(bus->connection());
      bus->noteServer();
      Commands commands(inv, client, port);
      status = commands.run();
    }
  } catch (const UsageError& error) {
    if (gEnding) leaveToWatcher();
    std::fprintf(stderr, "vexctl: %s\n%s\n", error.what(), usageLine());
    status = 2;
  } catch (const UtError& error) {
    status = failure(inv, error.what(), error.hresult());
  } catch (const sdbus::Error& error) {
    status = failure(inv, utErrorOf(error).what(), 0);
  } catch (const std::exception& error) {
    status = failure(inv, error.what(), 0);
  }
  if (gEnding) leaveToWatcher();
  gBus = nullptr;
  if (bus) bus->stop();
  gSim = nullptr;
  if (sim) sim->stop();
  return status;
}
