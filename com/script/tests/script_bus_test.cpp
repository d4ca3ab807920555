// The script server over a private bus: activation, a script object that
// connects to the simulated UT through the real link server, settings that
// reach the UT's NV memory, error replies, the exclusive port across two
// servers, a UT reset, and the release of a caller's objects.
#include <sys/stat.h>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <tuple>
#include <utility>

#include "../download/tests/image_files.h"
#include "bus_fixture.h"
#include "kmx/proto/ut_commands.h"

namespace vx::script::testing {
namespace {

using Clock = std::chrono::steady_clock;

class ScriptBus : public ScriptBusTest {
 protected:
  int16_t connect(sdbus::IProxy& o, int32_t timeout = -1, const std::string& port = "UT1") {
    int16_t state = 0;
    o.callMethod("Connect")
        .onInterface(kScriptInterface)
        .withArguments(port, int32_t{115200}, timeout, std::string("000000"))
        .storeResultsTo(state);
    return state;
  }
  template <class T>
  T get(sdbus::IProxy& o, const std::string& name) {
    T value{};
    o.callMethod("get_" + name).onInterface(kScriptInterface).storeResultsTo(value);
    return value;
  }
  template <class... A>
  void call(sdbus::IProxy& o, const std::string& name, A... args) {
    o.callMethod(name).onInterface(kScriptInterface).withArguments(args...);
  }
  // Powers the UT off for `offMs` once it has received `count` more frames
  // of `command` (or after a minute): a cut in the middle of a long job.
  std::thread powerCycleAfter(uint8_t command, uint32_t count, int offMs) {
    const uint32_t from = sim->framesReceived(command);
    return std::thread([this, command, count, offMs, from] {
      const auto until = Clock::now() + std::chrono::seconds(60);
      while (sim->framesReceived(command) < from + count && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      sim->powerCycle(offMs);
    });
  }
  // The poll has finished the connection again after the UT came back: the
  // settings object answers.
  bool reconnected(sdbus::IProxy& o) {
    return eventually(
        [&] {
          return get<int16_t>(o, "ConnectionState") == 1 &&
                 failure([&] { get<int32_t>(o, "DeepSleepDuration"); }).first.empty();
        },
        30000);
  }
};

TEST_F(ScriptBus, ActivatedServerConnectsAndItsSettingsReachTheUt) {
  auto o = object(createObject());
  EXPECT_EQ(get<int16_t>(*o, "ConnectionState"), 0);
  EXPECT_EQ(connect(*o), 1);
  EXPECT_EQ(get<int16_t>(*o, "ConnectionState"), 1);
  EXPECT_TRUE(get<std::string>(*o, "ESN").starts_with("0x"));
  EXPECT_FALSE(get<std::string>(*o, "ScriptObjectVersion").empty());

  call(*o, "put_NoServiceTimeUntilSleep", int32_t{5});
  EXPECT_EQ(get<int32_t>(*o, "NoServiceTimeUntilSleep"), 5);
  EXPECT_EQ(get<int32_t>(*o, "IsChanged"), 1);
  EXPECT_NE(sim->nvValue("NV_TIME_TILL_SLEEP.T_ULONG"), 300) << "nothing reaches the UT before the commit";
  call(*o, "CommitChanges");
  EXPECT_EQ(sim->nvValue("NV_TIME_TILL_SLEEP.T_ULONG"), 300) << "minutes are stored as seconds";
  EXPECT_EQ(get<int32_t>(*o, "IsChanged"), 0);

  // A refused value: the HRESULT in the name, no message of its own.
  auto refused = failure([&] { call(*o, "put_NoServiceTimeUntilSleep", int32_t{4}); });
  EXPECT_EQ(refused.first, "UTVEX.Error.H80070057");
  EXPECT_EQ(refused.second, "0x80070057");
  // A reported failure carries the resource library's text.
  auto again = failure([&] { connect(*o); });
  EXPECT_EQ(again.first, "UTVEX.Error.H8004032A");
  EXPECT_FALSE(again.second.empty());
  EXPECT_NE(again.second, "Unknown Error");
  EXPECT_NE(again.second, "0x8004032A");

  const std::string missing = sandbox.runtimeDir() + "/no/such/dir/backup.vex";
  EXPECT_EQ(failure([&] { call(*o, "SaveSettings", missing); }).first, "UTVEX.Error.H80070057");
  const std::string backup = sandbox.runtimeDir() + "/backup.vex";
  call(*o, "SaveSettings", backup);
  std::ifstream saved(backup);
  std::string firstLine;
  ASSERT_TRUE(std::getline(saved, firstLine));
  EXPECT_FALSE(firstLine.empty());

  call(*o, "Disconnect");
  EXPECT_EQ(get<int16_t>(*o, "ConnectionState"), 0);
  EXPECT_EQ(failure([&] { call(*o, "CommitChanges"); }).first, "UTVEX.Error.H80004005") << "E_FAIL, no message";
  call(*o, "Release");
  EXPECT_FALSE(failure([&] { get<int16_t>(*o, "ConnectionState"); }).first.empty()) << "the object is gone";
}

TEST_F(ScriptBus, ConnectWithoutWaitingIsFinishedByThePoll) {
  auto o = object(createObject());
  EXPECT_EQ(connect(*o, 0), 2);
  EXPECT_TRUE(eventually([&] { return get<int16_t>(*o, "ConnectionState") == 1; }, 30000));
  EXPECT_EQ(get<int32_t>(*o, "DeepSleepDuration") >= 0, true) << "the settings object is attached";
}

TEST_F(ScriptBus, AUtResetIsFollowedByAReconnectWithTheSameSpc) {
  auto o = object(createObject());
  ASSERT_EQ(connect(*o), 1);
  const uint32_t restarts = sim->counters().restarts;
  call(*o, "ResetUT");
  ASSERT_TRUE(eventually([&] { return sim->counters().restarts > restarts; }, 10000));
  // The poll sees the link go and come back and finishes the connection
  // again by itself.
  EXPECT_TRUE(reconnected(*o));
  call(*o, "put_DeepSleepDuration", int32_t{10});
  call(*o, "CommitChanges");
  EXPECT_EQ(sim->nvValue("NV_DEEP_SLEEP_DURATION.T_ULONG"), 600);
}

TEST_F(ScriptBus, ASoftwareUpgradeReachesTheUtWhichComesBackWithItsNewVersion) {
  using namespace vx::download::testing;
  const auto data = randomBytes(1 << 20);
  const std::string image = makeImage(sandbox.runtimeDir(), "upgrade.s3", data, "UT 5.0.1 upgrade");
  ASSERT_FALSE(image.empty());
  // Shared: the upgrade is called from a bus connection of its own.
  auto o = object(createSharedObject());
  ASSERT_EQ(connect(*o), 1);
  EXPECT_EQ(get<std::string>(*o, "UTVersion").find("5.0.1"), std::string::npos);

  // Other callers are served while the transfer runs.
  auto other = object(createObject());
  std::atomic<bool> done = false;
  std::string failed;
  std::thread upgrade([&] {
    auto ownBus = sdbus::createSessionBusConnectionWithAddress(bus->address());
    auto proxy = sdbus::createProxy(*ownBus, kService, o->getObjectPath());
    try {
      proxy->callMethod("SoftwareUpgrade").onInterface(kScriptInterface).withTimeout(std::chrono::minutes(5))
          .withArguments(image);
    } catch (const sdbus::Error& error) {
      failed = error.getName() + ": " + error.getMessage();
    }
    done = true;
  });
  EXPECT_TRUE(eventually([&] { return sim->counters().xmodemBlocks > 10 || done; }, 30000));
  EXPECT_EQ(get<int16_t>(*other, "ConnectionState"), 0) << "an idle object answers during the transfer";
  upgrade.join();
  EXPECT_EQ(failed, "");

  const auto flash = sim->flashState();
  ASSERT_TRUE(flash.software.has_value());
  EXPECT_EQ(flash.software->dataBytes, data.size());
  EXPECT_EQ(flash.software->crc32, crc32(0, data.data(), static_cast<uInt>(data.size()))) << "the image arrived intact";
  // The poll finishes the connection when the restarted UT is back.
  EXPECT_TRUE(eventually(
      [&] {
        return get<int16_t>(*o, "ConnectionState") == 1 &&
               failure([&] { get<std::string>(*o, "UTVersion"); }).first.empty();
      },
      30000));
  EXPECT_EQ(get<std::string>(*o, "UTVersion"), "UT 5.0.1 upgrade\r\n");
}

TEST_F(ScriptBus, RawNvItemsByPathReachTheUtAndRefuseWhatDoesNotFit) {
  auto o = object(createObject());
  constexpr const char* kNv = "UTVEX.NVItems";
  auto nvFailure = [&](const char* method, auto... args) {
    return failure([&] { o->callMethod(method).onInterface(kNv).withArguments(args...); }).first;
  };
  EXPECT_EQ(nvFailure("ReadNode", std::string("NV_TIME_TILL_SLEEP")), "UTVEX.Error.H80040323") << "not connected";
  ASSERT_EQ(connect(*o), 1);

  std::vector<std::string> items;
  o->callMethod("ListItems").onInterface(kNv).storeResultsTo(items);
  EXPECT_NE(std::find(items.begin(), items.end(), "NV_UI_BAUD_RATE"), items.end());
  // Results are appended to what the vector holds: a fresh one each time.
  auto leavesOf = [&](const std::string& item) {
    std::vector<sdbus::Struct<std::string, std::string, std::string, bool>> leaves;
    o->callMethod("ListLeaves").onInterface(kNv).withArguments(item).storeResultsTo(leaves);
    return leaves;
  };
  auto leaves = leavesOf("NV_UI_BAUD_RATE");
  ASSERT_EQ(leaves.size(), 1u);
  const std::string baudPath = std::get<0>(leaves[0]);
  EXPECT_EQ(std::get<1>(leaves[0]), "enum");
  EXPECT_FALSE(std::get<3>(leaves[0]));

  // An enumerated leaf takes a constant by name; a number goes to a scalar.
  o->callMethod("WriteNode").onInterface(kNv).withArguments(baudPath, std::string("BAUDRATE_AUTO"));
  leaves = leavesOf("NV_UI_BAUD_RATE");
  EXPECT_EQ(std::get<2>(leaves[0]), "BAUDRATE_AUTO");
  EXPECT_TRUE(std::get<3>(leaves[0])) << "a staged value is marked changed";
  leaves = leavesOf("NV_TIME_TILL_SLEEP");
  ASSERT_EQ(leaves.size(), 1u);
  const std::string sleepPath = std::get<0>(leaves[0]);
  o->callMethod("WriteNode").onInterface(kNv).withArguments(sleepPath, std::string("0x4d2"));
  std::string type, value;
  o->callMethod("ReadNode").onInterface(kNv).withArguments(sleepPath).storeResultsTo(type, value);
  EXPECT_EQ(type, "ulong");
  EXPECT_EQ(value, "1234");
  call(*o, "CommitChanges");
  EXPECT_EQ(sim->nvValue("NV_TIME_TILL_SLEEP.T_ULONG"), 1234);
  EXPECT_EQ(sim->nvValue("NV_UI_BAUD_RATE.sio_baudrate_type"), -1);

  // What does not fit is refused, and nothing is staged.
  EXPECT_EQ(nvFailure("WriteNode", sleepPath, std::string("-1")), "UTVEX.Error.H80070057");
  EXPECT_EQ(nvFailure("WriteNode", sleepPath, std::string("12x")), "UTVEX.Error.H80070057");
  EXPECT_EQ(nvFailure("WriteNode", baudPath, std::string("BAUDRATE_300")), "UTVEX.Error.H80070057");
  EXPECT_EQ(nvFailure("ReadNode", std::string("NV_NO_SUCH_ITEM.x")), "UTVEX.Error.H80070057");
  EXPECT_EQ(nvFailure("ListLeaves", std::string("NV_NO_SUCH_ITEM")), "UTVEX.Error.H80070057");
  EXPECT_EQ(get<int32_t>(*o, "IsChanged"), 0);
}

// What a caller hears of long work: each operation's steps in order, each
// counting up to its total, the last report of a step complete.
TEST_F(ScriptBus, LongWorkReportsItsStepsAsProgressSignals) {
  using Report = std::tuple<std::string, std::string, uint64_t, uint64_t>;
  auto o = object(createObject());
  std::vector<Report> reports;
  o->registerSignalHandler("UTVEX.Progress", "Progress", [&](sdbus::Signal& signal) {
    Report r;
    signal >> std::get<0>(r) >> std::get<1>(r) >> std::get<2>(r) >> std::get<3>(r);
    reports.push_back(r);
  });
  o->finishRegistration();
  // The signals precede the call's reply on the bus, so they are queued
  // by the time the call returns.
  auto heard = [&] {
    while (connection->processPendingRequest()) {
    }
    return std::exchange(reports, {});
  };
  auto expectSteps = [](const std::vector<Report>& got, const std::string& operation,
                        const std::vector<std::string>& steps) {
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < got.size(); ++i) {
      const auto& [op, step, done, total] = got[i];
      EXPECT_EQ(op, operation);
      EXPECT_LE(done, total);
      const bool sameStep = i > 0 && std::get<1>(got[i - 1]) == step;
      if (sameStep) {
        EXPECT_GE(done, std::get<2>(got[i - 1])) << step;
      } else {
        seen.push_back(step);
      }
      const bool lastOfStep = i + 1 == got.size() || std::get<1>(got[i + 1]) != step;
      if (lastOfStep) {
        EXPECT_GT(total, 0u) << step;
        EXPECT_EQ(done, total) << operation << " " << step << " ends complete";
      }
    }
    EXPECT_EQ(seen, steps) << operation;
  };

  ASSERT_EQ(connect(*o), 1);
  expectSteps(heard(), "connect", {"symbol-information", "item-tables", "item-dimensions"});
  const std::string backup = sandbox.runtimeDir() + "/progress.vex";
  call(*o, "SaveSettings", backup);
  expectSteps(heard(), "save", {"items"});
  // A job that writes to the UT saves its settings first, a step of its own.
  auto safetyCopyFirst = [&](std::vector<Report> got) {
    const auto own = std::find_if(got.begin(), got.end(), [](const Report& r) { return std::get<0>(r) != "safety-copy"; });
    expectSteps({got.begin(), own}, "safety-copy", {"items"});
    return std::vector<Report>(own, got.end());
  };
  call(*o, "RestoreSettings", backup, sandbox.runtimeDir() + "/restore.log", int32_t{1});
  expectSteps(safetyCopyFirst(heard()), "restore", {"items"});
  EXPECT_TRUE(heard().empty()) << "quiet between calls";

  using namespace vx::download::testing;
  const std::string image = makeImage(sandbox.runtimeDir(), "small.s3", randomBytes(64 << 10), "UT 5.0.2 small");
  ASSERT_FALSE(image.empty());
  o->callMethod("SoftwareUpgrade").onInterface(kScriptInterface).withTimeout(std::chrono::minutes(2))
      .withArguments(image);
  const auto download = safetyCopyFirst(heard());
  expectSteps(download, "download", {"loader", "software"});
  ASSERT_FALSE(download.empty());
  EXPECT_EQ(std::get<3>(download.back()), std::filesystem::file_size(image)) << "the whole file was counted";
}

TEST_F(ScriptBus, FailedSavesAndRestoresLeaveTheUsersFilesAsTheyWere) {
  namespace fs = std::filesystem;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  auto mode = [](const std::string& path) { return fs::status(path).permissions() & fs::perms::mask; };
  const std::string dir = sandbox.runtimeDir() + "/files";
  fs::create_directories(dir);
  const std::string backup = dir + "/my.vex";
  auto o = object(createObject());
  ASSERT_EQ(connect(*o), 1);

  // A backup holds the lock codes: a new one is the user's alone; one
  // saved over keeps the mode the user gave it.
  call(*o, "SaveSettings", backup);
  EXPECT_EQ(mode(backup), fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(backup, fs::perms::group_read, fs::perm_options::add);
  call(*o, "SaveSettings", backup);
  EXPECT_EQ(mode(backup), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::string good = slurp(backup);

  // The power goes while the UT's items are being read.
  sim->setPacing(true);
  std::thread cut = powerCycleAfter(kmx::proto::ut_command::kNvRead, 5, 3000);
  const auto lost = failure([&] {
    o->callMethod("SaveSettings").onInterface(kScriptInterface).withTimeout(std::chrono::minutes(2))
        .withArguments(backup);
  });
  cut.join();
  EXPECT_EQ(lost.first, "UTVEX.Error.H80040323");
  EXPECT_TRUE(slurp(backup) == good) << "the earlier backup is kept whole";

  // A restore that fails removes no report file the user had.
  // The poll finishes the connection again once the UT is back.
  ASSERT_TRUE(reconnected(*o));
  const std::string notes = dir + "/notes.txt";
  std::ofstream(notes) << "my precious notes";
  std::string otherModel = good;
  otherModel.replace(6, 3, "205");  // the model line
  const std::string other = dir + "/other.vex";
  std::ofstream(other, std::ios::binary) << otherModel;
  EXPECT_FALSE(failure([&] { call(*o, "RestoreSettings", other, notes, int32_t{1}); }).first.empty());
  EXPECT_EQ(slurp(notes), "my precious notes");
  // A file with a fault says where it is.
  std::ofstream(other, std::ios::binary) << good.substr(0, good.find('[')) << "[NV_SCM_I]\nT_UCHAR 42abc\n";
  EXPECT_EQ(failure([&] { call(*o, "RestoreSettings", other, notes, int32_t{1}); }),
            std::make_pair(std::string("UTVEX.Error.H80004005"), std::string("line 7: not a number: 42abc")));
  EXPECT_EQ(slurp(notes), "my precious notes");

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"my.vex", "notes.txt", "other.vex"})) << "no partial file anywhere";
}

TEST_F(ScriptBus, ARestoreCutShortIsPutBackFromItsSafetyCopy) {
  auto leaves = [&] {
    std::map<std::string, int64_t> values;
    const auto catalogue = sim->catalogue();
    for (const std::string& name : catalogue->entryNames()) {
      for (const std::string& path : catalogue->leafPaths(name)) {
        if (auto value = sim->nvValue(path)) values[path] = *value;
      }
    }
    return values;
  };
  auto o = object(createObject());
  ASSERT_EQ(connect(*o), 1);
  const std::string file = sandbox.runtimeDir() + "/older.vex";
  call(*o, "SaveSettings", file);
  // The UT's settings now differ from the file's.
  call(*o, "put_NoServiceTimeUntilSleep", int32_t{7});
  call(*o, "put_DeepSleepDuration", int32_t{20});
  call(*o, "CommitChanges");
  const auto before = leaves();

  // The power goes while the file's values are being written.
  sim->setPacing(true);
  std::thread cut = powerCycleAfter(kmx::proto::ut_command::kNvWrite, 20, 2000);
  const std::string report = sandbox.runtimeDir() + "/restore.log";
  const auto lost = failure([&] {
    o->callMethod("RestoreSettings").onInterface(kScriptInterface).withTimeout(std::chrono::minutes(3))
        .withArguments(file, report, int32_t{1});
  });
  cut.join();
  EXPECT_EQ(lost.first, "UTVEX.Error.H80040323");
  const std::string copy = get<std::string>(*o, "LastSafetyCopy");
  ASSERT_TRUE(copy.starts_with(sandbox.root() + "/state/utvex/safety-copies/")) << copy;
  EXPECT_NE(lost.second.find(report + " lists the items written"), std::string::npos) << lost.second;
  EXPECT_NE(lost.second.find("vexctl restore " + copy), std::string::npos) << lost.second;
  EXPECT_TRUE(std::filesystem::exists(report));
  EXPECT_NE(leaves(), before) << "the cut restore changed the UT";

  // Once the UT is back, the copy puts every value back.
  sim->setPacing(false);
  ASSERT_TRUE(reconnected(*o));
  call(*o, "put_SafetyCopies", int32_t{0});
  o->callMethod("RestoreSettings").onInterface(kScriptInterface).withTimeout(std::chrono::minutes(3))
      .withArguments(copy, report, int32_t{1});
  EXPECT_EQ(get<std::string>(*o, "LastSafetyCopy"), "") << "turned off: no copy";
  EXPECT_TRUE(leaves() == before);
}

// Refused by any of the port's names: the second server names it by path.
TEST_F(ScriptBus, AnExclusivePortIsRefusedToAServerInAnotherProcess) {
  const std::string secondDir = sandbox.runtimeDir() + "/second";
  ::mkdir(secondDir.c_str(), 0700);
  PrivateBus secondBus(secondDir, sandbox.runtimeDir() + "/data/dbus-1/services");
  ASSERT_FALSE(secondBus.address().empty());
  auto secondConnection = sdbus::createSessionBusConnectionWithAddress(secondBus.address());

  auto first = object(createObject());
  auto second = sdbus::createProxy(*secondConnection, kService, createObject(*secondConnection));
  call(*first, "put_ExclusiveVEXCOMPort", int32_t{7});
  EXPECT_EQ(get<int32_t>(*first, "ExclusiveVEXCOMPort"), 1);
  second->callMethod("put_ExclusiveVEXCOMPort").onInterface(kScriptInterface).withArguments(int32_t{1});
  ASSERT_EQ(connect(*first), 1);

  const std::string byPath = sandbox.portDir() + "/UT1";
  const auto start = Clock::now();
  auto refused = failure([&] { connect(*second, -1, byPath); });
  EXPECT_EQ(refused.first, "UTVEX.Error.H8004032B");
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(450)) << "the port was waited for";

  call(*first, "Disconnect");
  EXPECT_EQ(connect(*second, -1, byPath), 1) << "the port is free once its holder disconnects";
  second->callMethod("Disconnect").onInterface(kScriptInterface);
}

TEST_F(ScriptBus, ACallerThatLeavesLosesItsObjectsAndTheIdleServerEnds) {
  {
    auto leaving = sdbus::createSessionBusConnectionWithAddress(bus->address());
    auto held = sdbus::createProxy(*leaving, kService, createObject(*leaving));
    held->callMethod("put_ExclusiveVEXCOMPort").onInterface(kScriptInterface).withArguments(int32_t{1});
    int16_t state = 0;
    held->callMethod("Connect")
        .onInterface(kScriptInterface)
        .withArguments(std::string("UT1"), int32_t{115200}, int32_t{-1}, std::string("000000"))
        .storeResultsTo(state);
    ASSERT_EQ(state, 1);
  }  // leaves the bus without releasing its object
  const pid_t server = serverPid();
  auto o = object(createObject());
  call(*o, "put_ExclusiveVEXCOMPort", int32_t{1});
  EXPECT_TRUE(eventually([&] { return failure([&] { connect(*o); }).first.empty(); }, 10000))
      << "the departed caller's object gave the port up";
  call(*o, "Release");
  const auto released = Clock::now();
  EXPECT_TRUE(eventually([&] { return !processRuns(server); }, 15000));
  EXPECT_GE(Clock::now() - released, std::chrono::milliseconds(4500)) << "it waits its idle time first";
}

}  // namespace
}  // namespace vx::script::testing

namespace vx::script::testing {
namespace {

// The examples as a user runs them: their own process, the session bus
// from the environment, activation starting the server.
class ExampleScripts : public ScriptBusTest {
 protected:
  int run(const std::string& command) { return std::system((command + " >" + sandbox.runtimeDir() + "/out 2>&1").c_str()); }
  std::string output() {
    std::ifstream in(sandbox.runtimeDir() + "/out");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(ExampleScripts, PythonAndShellExamplesChangeASettingAndSaveTheFile) {
  const std::string pythonFile = sandbox.runtimeDir() + "/python.vex";
  ASSERT_EQ(run(std::string("/usr/bin/python3 ") + EXAMPLES_DIR + "/vxscript_example.py UT1 " + pythonFile), 0) << output();
  EXPECT_NE(output().find("ESN"), std::string::npos) << output();
  EXPECT_TRUE(std::filesystem::file_size(pythonFile) > 0);
  const auto afterPython = sim->nvValue("NV_DEEP_SLEEP_DURATION.T_ULONG");

  const std::string shellFile = sandbox.runtimeDir() + "/shell.vex";
  ASSERT_EQ(run(std::string("sh ") + EXAMPLES_DIR + "/vxscript_example.sh UT1 " + shellFile + " 25"), 0) << output();
  EXPECT_NE(output().find("25 minutes"), std::string::npos) << output();
  EXPECT_EQ(sim->nvValue("NV_DEEP_SLEEP_DURATION.T_ULONG"), 25 * 60);
  EXPECT_NE(afterPython, 25 * 60);
  EXPECT_TRUE(std::filesystem::file_size(shellFile) > 0);
}

}  // namespace
}  // namespace vx::script::testing
