// The script server answers everyone while some of its objects wait: on a
// file nobody writes, on a UT that does not answer, on a long paced job, or
// on a caller that makes objects without end; and a termination signal
// ends it within a second whatever it is doing.
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <future>

#include "bus_fixture.h"
#include "kmx/proto/ut_commands.h"

namespace vx::script::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class Liveness : public ScriptBusTest {
 protected:
  void SetUp() override {
    ScriptBusTest::SetUp();
    // A second UT that never answers: its link never comes up.
    kmx::sim::SimulatorOptions options;
    options.portName = "UT2";
    silent = std::make_unique<kmx::sim::UtSimulator>(options);
    ASSERT_TRUE(silent->start()) << silent->lastError();
    silent->setSilent(true);
  }

  // Pings the server's bus connection every 50 ms from a connection of its
  // own: the Ping is answered by the server's bus loop, so its round trip
  // is how long that loop keeps a caller waiting.
  class Pinger {
   public:
    explicit Pinger(const std::string& address)
        : connection_(sdbus::createSessionBusConnectionWithAddress(address)), thread_([this] { run(); }) {}
    ~Pinger() { stop(); }
    milliseconds stop() {
      running_ = false;
      if (thread_.joinable()) thread_.join();
      return milliseconds(worstMs_.load());
    }

   private:
    void run() {
      auto peer = sdbus::createProxy(*connection_, kService, "/UTVEX/Script");
      while (running_) {
        const auto sent = Clock::now();
        peer->callMethod("Ping").onInterface("org.freedesktop.DBus.Peer");
        const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - sent).count();
        worstMs_ = std::max<int64_t>(worstMs_.load(), took);
        std::this_thread::sleep_for(milliseconds(50));
      }
    }
    std::unique_ptr<sdbus::IConnection> connection_;
    std::atomic<bool> running_{true};
    std::atomic<int64_t> worstMs_{0};
    std::thread thread_;
  };

  // Connects `path` to `port` from a connection of its own, without
  // waiting: the future holds the D-Bus error it ended with ("" for none).
  std::future<std::string> connectInBackground(const std::string& path, const std::string& port) {
    return std::async(std::launch::async, [this, path, port] {
      auto own = sdbus::createSessionBusConnectionWithAddress(bus->address());
      auto o = sdbus::createProxy(*own, kService, path);
      return failure([&] {
               int16_t state = 0;
               o->callMethod("Connect")
                   .onInterface(kScriptInterface)
                   .withTimeout(std::chrono::minutes(2))
                   .withArguments(port, int32_t{115200}, int32_t{-1}, std::string("000000"))
                   .storeResultsTo(state);
             })
          .first;
    });
  }

  template <class... A>
  std::pair<std::string, std::string> tryCall(sdbus::IProxy& o, const std::string& name, A... args) {
    return failure([&] { o.callMethod(name).onInterface(kScriptInterface).withArguments(args...); });
  }

  int16_t connectUt1(sdbus::IProxy& o) {
    int16_t state = 0;
    o.callMethod("Connect")
        .onInterface(kScriptInterface)
        .withArguments(std::string("UT1"), int32_t{115200}, int32_t{-1}, std::string("000000"))
        .storeResultsTo(state);
    return state;
  }

  std::unique_ptr<kmx::sim::UtSimulator> silent;
};

TEST_F(Liveness, TheBusLoopAnswersWhileObjectsWaitOnFilesUtsAndCallers) {
  auto ut1 = object(createObject());
  ASSERT_EQ(connectUt1(*ut1), 1);
  Pinger pinger(bus->address());

  // A connect that waits for a UT that never answers holds up only itself.
  const std::string waitingPath = createSharedObject();
  auto waiting = connectInBackground(waitingPath, "UT2");
  std::this_thread::sleep_for(milliseconds(300));
  const auto started = Clock::now();
  auto other = object(createObject());
  EXPECT_EQ(connectUt1(*other), 1);
  std::string esn;
  other->callMethod("get_ESN").onInterface(kScriptInterface).storeResultsTo(esn);
  EXPECT_FALSE(esn.empty());
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(10)) << "another port never waits for UT2";

  // Files nobody writes, and a directory, are refused at once and leave
  // the object connected.
  const std::string fifo = sandbox.runtimeDir() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto refused = tryCall(*ut1, "DownloadRAMProgram", fifo);
  EXPECT_EQ(refused.first, "UTVEX.Error.H8004032E");
  EXPECT_NE(refused.second.find("not a regular file"), std::string::npos) << refused.second;
  EXPECT_EQ(tryCall(*ut1, "DownloadRAMProgram", sandbox.runtimeDir()).first, "UTVEX.Error.H8004032E");
  refused = tryCall(*ut1, "RestoreSettings", fifo, sandbox.runtimeDir() + "/report.txt", int32_t{1});
  EXPECT_EQ(refused.first, "UTVEX.Error.H80070057");
  EXPECT_NE(refused.second.find("pipe: not a regular file"), std::string::npos) << refused.second;
  int16_t state = 0;
  ut1->callMethod("get_ConnectionState").onInterface(kScriptInterface).storeResultsTo(state);
  EXPECT_EQ(state, 1) << "the link was not touched";

  // One caller cannot make the server hold without end.
  {
    auto greedy = sdbus::createSessionBusConnectionWithAddress(bus->address());
    int made = 0;
    std::pair<std::string, std::string> refusal;
    for (int i = 0; i < 2000; ++i) {
      auto why = failure([&] {
        sdbus::ObjectPath path;
        factory(*greedy)->callMethod("CreateObject").onInterface("UTVEX.ScriptFactory").storeResultsTo(path);
      });
      if (why.first.empty()) {
        ++made;
      } else {
        refusal = why;
      }
    }
    EXPECT_EQ(made, 64);
    EXPECT_EQ(refusal.first, "UTVEX.Error.H80040340");
    EXPECT_NE(refusal.second.find("as many as one caller may"), std::string::npos) << refusal.second;
    const long kib = residentKiB(serverPid());
    EXPECT_GT(kib, 0);
    EXPECT_LT(kib, 100 * 1024) << "resident KiB after 2000 creation attempts";
  }

  // Disconnect ends the waiting connect with an answer.
  auto shared = object(waitingPath);
  tryCall(*shared, "Disconnect");
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(waiting.get(), "UTVEX.Error.H80004004");

  const milliseconds worst = pinger.stop();
  std::printf("longest Ping round trip: %lld ms\n", static_cast<long long>(worst.count()));
  EXPECT_LT(worst, milliseconds(100));
}

TEST_F(Liveness, OwnedObjectsServeTheirOwnerAndAFailedExclusiveConnectGivesThePortBack) {
  auto mine = object(createObject());
  auto stranger = sdbus::createSessionBusConnectionWithAddress(bus->address());
  auto theirs = sdbus::createProxy(*stranger, kService, mine->getObjectPath());
  EXPECT_EQ(failure([&] { theirs->callMethod("get_ConnectionState").onInterface(kScriptInterface); }).first,
            "UTVEX.Error.H80070005");

  auto second = object(createObject());
  for (auto* o : {mine.get(), second.get()}) {
    tryCall(*o, "put_ExclusiveVEXCOMPort", int32_t{1});
    auto refused = failure([&] {
      o->callMethod("Connect").onInterface(kScriptInterface).withArguments(std::string("ttyNOPE"), int32_t{115200},
                                                                            int32_t{-1}, std::string("000000"));
    });
    EXPECT_EQ(refused.first, "UTVEX.Error.H8004032C") << "not held by the first object's failed connect";
  }
}

TEST_F(Liveness, SigtermEndsTheServerWithinASecondWhateverItIsDoing) {
  auto ut1 = object(createSharedObject());
  ASSERT_EQ(connectUt1(*ut1), 1);
  auto waiting = connectInBackground(createSharedObject(), "UT2");

  // A paced backup under way on UT1.
  sim->setPacing(true);
  const std::string backup = sandbox.runtimeDir() + "/cut.vex";
  auto saving = std::async(std::launch::async, [this, path = ut1->getObjectPath(), backup] {
    auto own = sdbus::createSessionBusConnectionWithAddress(bus->address());
    auto o = sdbus::createProxy(*own, kService, path);
    return failure([&] {
             o->callMethod("SaveSettings").onInterface(kScriptInterface).withTimeout(std::chrono::minutes(2))
                 .withArguments(backup);
           })
        .first;
  });
  const uint32_t before = sim->framesReceived(kmx::proto::ut_command::kNvRead);
  ASSERT_TRUE(eventually([&] { return sim->framesReceived(kmx::proto::ut_command::kNvRead) > before + 20; }, 20000));
  {
    Pinger pinger(bus->address());
    std::this_thread::sleep_for(milliseconds(600));
    EXPECT_LT(pinger.stop(), milliseconds(100)) << "during the paced backup";
  }
  // The UT stops reading: the backup is in a call that cannot end soon.
  sim->holdLine(true);
  std::this_thread::sleep_for(milliseconds(100));

  const pid_t server = serverPid();
  ASSERT_EQ(::kill(server, SIGTERM), 0);
  const auto signalled = Clock::now();
  ASSERT_TRUE(eventually([&] { return !processRuns(server); }, 5000));
  EXPECT_LT(Clock::now() - signalled, milliseconds(1000));
  EXPECT_EQ(waiting.get(), "UTVEX.Error.H80004004") << "answered, not left to time out";
  EXPECT_NE(saving.get(), "") << "the cut backup failed";
  EXPECT_FALSE(std::ifstream(backup).good()) << "and left no file";
}

TEST_F(Liveness, AUtWithAHostileCatalogueIsRefusedWithItsReasonAndCostsTheServerLittle) {
  kmx::sim::CatalogueVariant variant;
  variant.hostileList = kmx::sim::HostileList::HugeDimension;
  sim->setCatalogue(variant);
  auto o = object(createObject());
  const auto refused = failure([&] { connectUt1(*o); });
  EXPECT_EQ(refused.first, "UTVEX.Error.H8004032D");
  EXPECT_NE(refused.second.find("need more than 4194304 nodes"), std::string::npos) << refused.second;

  // Fifty elements without a value of a 64 KiB type load, and stay small.
  variant.hostileList = kmx::sim::HostileList::InactiveElements;
  sim->setCatalogue(variant);
  EXPECT_EQ(connectUt1(*o), 1);
  const long kib = residentKiB(serverPid());
  EXPECT_GT(kib, 0);
  EXPECT_LT(kib, 100 * 1024) << "resident KiB after connecting to a hostile UT";
}

}  // namespace
}  // namespace vx::script::testing
