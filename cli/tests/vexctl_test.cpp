// vexctl end to end: the built program, run as people and scripts run it,
// against the simulated UT through the real script server, link server,
// connection and configuration objects, over a private bus of the test's
// own; and over vexctl's own private bus when the session has none.
#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../../com/script/download/tests/image_files.h"
#include "json_reader.h"
#include "kmx/sim/ut_commands.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "private_bus.h"

namespace vx::cli::testing {
namespace {

using vx::download::testing::makeImage;
using vx::download::testing::randomBytes;
using vx::download::testing::readFile;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class Vexctl : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string data = sandbox.runtimeDir() + "/data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_DATA_DIRS", data.c_str(), 1);
    ASSERT_EQ(std::system((std::string(VXSCRIPT_PROGRAM) + " --RegServer >/dev/null").c_str()), 0);
    bus = std::make_unique<vx::script::testing::PrivateBus>(sandbox.runtimeDir(), data + "/dbus-1/services");
    ASSERT_FALSE(bus->address().empty()) << "dbus-daemon did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", bus->address().c_str(), 1);
    kmx::sim::SimulatorOptions options;
    options.portName = "UT1";
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    ASSERT_TRUE(sim->start()) << sim->lastError();
  }

  // Starts vexctl with `args`; its output goes to files in the sandbox.
  pid_t start(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
    const std::string out = sandbox.runtimeDir() + "/out", err = sandbox.runtimeDir() + "/err";
    std::vector<std::string> words = {VEXCTL_PROGRAM};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      for (const std::string& e : environment) ::putenv(const_cast<char*>(e.c_str()));
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }

  Outcome finish(pid_t pid) {
    Outcome run;
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(sandbox.runtimeDir() + "/out");
    run.err = readFile(sandbox.runtimeDir() + "/err");
    return run;
  }

  Outcome vexctl(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
    return finish(start(args, environment));
  }

  // vexctl --port UT1 ... that must succeed.
  Outcome ok(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", "UT1"});
    Outcome run = vexctl(args);
    EXPECT_EQ(run.status, 0) << args[2] << ": " << run.err;
    return run;
  }

  Json json(std::vector<std::string> args) {
    args.insert(args.begin(), "--json");
    const Outcome run = ok(args);
    try {
      return JsonReader::parse(run.out);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "not JSON (" << error.what() << "): " << run.out;
      return {};
    }
  }

  int64_t nv(const std::string& path) { return sim->nvValue(path).value_or(-1); }

  // vexctl --port UT1 with standard input, output and error on a terminal;
  // `answer` is typed once it asks. What the terminal showed, and the status.
  Outcome onTerminal(std::vector<std::string> args, const std::string& answer = "") {
    int master = -1, terminal = -1;
    EXPECT_EQ(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    args.insert(args.begin(), {VEXCTL_PROGRAM, "--port", "UT1"});
    std::vector<char*> argv;
    for (auto& w : args) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setsid();
      ::dup2(terminal, 0);
      ::dup2(terminal, 1);
      ::dup2(terminal, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(terminal);
    Outcome run;
    char buffer[4096];
    bool answered = answer.empty();
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {
      run.out.append(buffer, static_cast<std::size_t>(n));
      if (!answered && run.out.find("[y/N]") != std::string::npos) {
        answered = ::write(master, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
      }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
  }

  std::string file(const std::string& name) { return sandbox.runtimeDir() + "/" + name; }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<vx::script::testing::PrivateBus> bus;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
};

constexpr const char* kSleep = "NV_TIME_TILL_SLEEP.T_ULONG";

TEST_F(Vexctl, IdentitySettingsListStateAndReset) {
  const Outcome info = ok({"info"});
  EXPECT_NE(info.out.find("ESN "), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("UTModel "), std::string::npos) << info.out;
  const Json identity = json({"info"});
  EXPECT_EQ(identity["ESN"].text.rfind("0x", 0), 0u);
  EXPECT_EQ(identity["UTType"].kind, Json::Kind::Number);
  EXPECT_EQ(identity["ServiceProgrammingDate"].kind, Json::Kind::String);

  // set commits, converts minutes to the stored seconds, and reads back.
  EXPECT_EQ(ok({"set", "NoServiceTimeUntilSleep", "5"}).out, "NoServiceTimeUntilSleep = 5\n");
  EXPECT_EQ(nv(kSleep), 300);
  EXPECT_EQ(ok({"get", "NoServiceTimeUntilSleep"}).out, "5\n");
  const Json staged = json({"set", "NoServiceTimeUntilSleep", "10", "--no-commit"});
  EXPECT_EQ(staged["value"].number, 10);
  EXPECT_FALSE(staged["committed"].boolean);
  EXPECT_EQ(nv(kSleep), 300) << "--no-commit writes nothing to the UT";
  const Json read = json({"get", "NoServiceTimeUntilSleep"});
  EXPECT_EQ(read["name"].text, "NoServiceTimeUntilSleep");
  EXPECT_EQ(read["value"].number, 5);
  // A method with arguments, through call.
  EXPECT_EQ(json({"call", "IncrementWDCSwapCount"})["name"].text, "IncrementWDCSwapCount");

  const Outcome list = vexctl({"list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("0 or 5..60"), std::string::npos) << "the server's own limits";
  const Json names = JsonReader::parse(vexctl({"--json", "list", "--names"}).out);
  std::vector<std::string> all;
  for (const Json& n : names.items) all.push_back(n.text);
  for (const char* expected : {"ESN", "NoServiceTimeUntilSleep", "SID", "Connect", "SoftwareUpgrade"}) {
    EXPECT_NE(std::find(all.begin(), all.end(), expected), all.end()) << expected;
  }
  const Json members = json({"list"});
  bool sidSeen = false;
  for (const Json& m : members.items) {
    if (m["name"].text != "SID") continue;
    sidSeen = true;
    EXPECT_EQ(m["access"].text, "r");
    EXPECT_EQ(m["indexes"].items.size(), 2u);
  }
  EXPECT_TRUE(sidSeen);

  const Json state = json({"state"});
  EXPECT_EQ(state["port"].text, "UT1");
  EXPECT_NE(state["state"].number, 4) << "the simulated UT has a link";
  const uint32_t restarts = sim->counters().restarts;
  EXPECT_TRUE(json({"reset"})["reset"].boolean);
  EXPECT_TRUE(sim->waitUntil([&](const kmx::sim::SimulatorCounters& c) { return c.restarts > restarts; }, 20000));
}

TEST_F(Vexctl, BackupRestoreWithReportAndDryRunThenDownloads) {
  ok({"set", "NoServiceTimeUntilSleep", "5"});
  const std::string backup = file("ut.vex");
  EXPECT_EQ(json({"backup", backup})["file"].text, backup);
  ASSERT_FALSE(readFile(backup).empty());

  ok({"set", "NoServiceTimeUntilSleep", "10"});
  ASSERT_EQ(nv(kSleep), 600);
  // The dry run reports what would change and writes nothing.
  const Outcome dry = ok({"restore", backup, "--dry-run"});
  EXPECT_NE(dry.out.find("nothing was written"), std::string::npos);
  EXPECT_NE(dry.out.find("NV_TIME_TILL_SLEEP"), std::string::npos) << dry.out;
  EXPECT_EQ(nv(kSleep), 600);
  const std::string report = file("report.txt");
  const Json restored = json({"restore", backup, "--report", report});
  EXPECT_TRUE(restored["written"].boolean);
  EXPECT_EQ(restored["reportFile"].text, report);
  EXPECT_EQ(restored["report"].text, readFile(report));
  EXPECT_EQ(nv(kSleep), 300);
  // What the UT held before is saved first: the copy restores the 600.
  const std::string copy = restored["safetyCopy"].text;
  ASSERT_TRUE(copy.starts_with(sandbox.root() + "/state/utvex/safety-copies/")) << copy;
  EXPECT_NE(readFile(copy).find("[NV_TIME_TILL_SLEEP]\nT_ULONG 600\n"), std::string::npos);
  EXPECT_EQ(ok({"restore", backup, "--no-safety-copy"}).out.find("earlier settings are saved"), std::string::npos);
  EXPECT_TRUE(restored["missingItems"].items.empty());
  // A file cut at a line boundary looks whole: what it lacks is told.
  const std::string whole = readFile(backup);
  const std::string cut = file("cut.vex");
  std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.find("[NV_UI_PHONE_BOOK[0]]"));
  const Outcome partial = ok({"restore", cut, "--yes"});
  EXPECT_NE(partial.err.find("cut.vex lacks "), std::string::npos) << partial.err;
  EXPECT_NE(partial.err.find("NV_UI_PHONE_BOOK"), std::string::npos) << partial.err;
  // A person gets the report's sections counted; the file has it all.
  const Outcome counted = ok({"restore", backup, "--report", report});
  EXPECT_NE(counted.out.find("Updated Items: "), std::string::npos) << counted.out;
  EXPECT_NE(counted.out.find("report in " + report), std::string::npos);

  // The S0 header chooses the upgrade: software, then a boot block, gzip-compressed.
  const std::string software = makeImage(sandbox.runtimeDir(), "sw.srec", randomBytes(3000), "UT 9.1 test");
  ASSERT_FALSE(software.empty()) << "srec_cat failed";
  const Json flashed = json({"download", software});
  EXPECT_EQ(flashed["method"].text, "SoftwareUpgrade");
  ASSERT_TRUE(sim->flashState().software);
  EXPECT_EQ(sim->flashState().software->header, "UT 9.1 test");
  const std::string boot =
      vx::download::testing::gzipCopy(makeImage(sandbox.runtimeDir(), "bb.srec", randomBytes(2000, 3), "utbootbloc 2"));
  ASSERT_FALSE(boot.empty());
  EXPECT_EQ(json({"download", boot, "--boot-block"})["kind"].text, "bootblock");
  ASSERT_TRUE(sim->flashState().bootBlock);
  EXPECT_EQ(sim->flashState().bootBlock->header, "utbootbloc 2");
}

TEST_F(Vexctl, RawNvItemsByPath) {
  EXPECT_NE(("\n" + ok({"nv", "items"}).out).find("\nNV_UI_BAUD_RATE\n"), std::string::npos);
  const Json leaves = json({"nv", "tree", "NV_TIME_TILL_SLEEP"});
  ASSERT_EQ(leaves.items.size(), 1u);
  const std::string path = leaves.items[0]["path"].text;
  EXPECT_EQ(leaves.items[0]["type"].text, "ulong");
  EXPECT_FALSE(leaves.items[0]["changed"].boolean);
  EXPECT_EQ(ok({"nv", "set", path, "0x4d2"}).out, path + " = 1234\n");
  EXPECT_EQ(nv(kSleep), 1234);
  EXPECT_EQ(ok({"nv", "get", path}).out, "1234\n");
  EXPECT_EQ(json({"nv", "get", path})["type"].text, "ulong");
  EXPECT_FALSE(json({"nv", "set", path, "777", "--no-commit"})["committed"].boolean);
  EXPECT_EQ(nv(kSleep), 1234);
  const Outcome unknown = vexctl({"--port", "UT1", "nv", "get", "NV_NO_SUCH_ITEM.x"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("0x80070057"), std::string::npos) << unknown.err;
}

TEST_F(Vexctl, BadUsageIsTwoAndUtFailuresAreOneWithTheText) {
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{"info"},
                                             {"--port", "UT1"},
                                             {"--port", "UT1", "get", "NoSuchSetting"},
                                             {"--port", "UT1", "get", "SID", "0"},
                                             {"--port", "UT1", "set", "ESN", "1"},
                                             {"--port", "UT1", "set", "NoServiceTimeUntilSleep", "five"},
                                             {"--port", "UT1", "call", "NoSuchMethod"}}) {
    const Outcome run = vexctl(words);
    EXPECT_EQ(run.status, 2) << words.back() << ": " << run.err;
    EXPECT_NE(run.err.find("usage: vexctl"), std::string::npos) << run.err;
  }
  // The server refuses 4 minutes: E_INVALIDARG, with its text.
  Outcome refused = vexctl({"--port", "UT1", "--json", "set", "NoServiceTimeUntilSleep", "4"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("0x80070057"), std::string::npos) << refused.err;
  EXPECT_EQ(JsonReader::parse(refused.out)["hresult"].text, "0x80070057");
  // A port with no UT: a link failure.
  Outcome nowhere = vexctl({"--port", "NoSuchPort", "info"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_NE(nowhere.err.find("vexctl: "), std::string::npos);
  Outcome missing = vexctl({"--port", "UT1", "restore", file("absent.vex")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("absent.vex"), std::string::npos);
}

// A port by its path or by a long link to it (as /dev/serial/by-id names
// USB adapters), and a port that is not there, said by its name.
TEST_F(Vexctl, PortsByPathAndByLinkAndAMissingPortAtOnce) {
  kmx::sim::SimulatorOptions options;
  options.portName = "PTY1";
  options.pty = true;
  kmx::sim::UtSimulator pty(options);
  ASSERT_TRUE(pty.start()) << pty.lastError();
  const std::string device = std::filesystem::canonical(pty.portPath());
  const std::string link = file("usb-UT_Simulator_0001-if00-port0");
  ASSERT_EQ(::symlink(device.c_str(), link.c_str()), 0);
  for (const std::string& port : {device, link}) {
    const Outcome run = vexctl({"--port", port, "--json", "get", "ESN"});
    EXPECT_EQ(run.status, 0) << port << ": " << run.err;
    EXPECT_EQ(JsonReader::parse(run.out)["value"].text.rfind("0x", 0), 0u) << run.out;
  }

  const Outcome missing = vexctl({"--port", "ttyNOPE", "info"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("ttyNOPE: no such serial port"), std::string::npos) << missing.err;
}

// On a terminal the server's progress reports draw a bar per step; on a
// file nothing of it appears.
TEST_F(Vexctl, ProgressBarsOnATerminalFromTheServersReports) {
  int master = -1, terminal = -1;
  ASSERT_EQ(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  const std::string backup = file("bars.vex");
  std::vector<std::string> words = {VEXCTL_PROGRAM, "--port", "UT1", "backup", backup};
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    ::dup2(terminal, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(terminal);
  std::string shown;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
  EXPECT_NE(shown.find("loading the NV database: item dimensions ["), std::string::npos) << shown;
  EXPECT_NE(shown.find("saving the NV items to " + backup + ": items [==============================] 100%"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("done in"), std::string::npos);

  const Outcome quiet = ok({"backup", backup});
  EXPECT_EQ(quiet.err.find('\r'), std::string::npos) << quiet.err;
}

TEST_F(Vexctl, AUtThatGoesSilentMidBackupFailsAndLeavesNoFile) {
  using kmx::sim::ut_command::kNvRead;
  // How many NV reads a connection and a whole backup take.
  uint32_t before = sim->framesReceived(kNvRead);
  ok({"get", "NoServiceTimeUntilSleep"});
  const uint32_t connectReads = sim->framesReceived(kNvRead) - before;
  before = sim->framesReceived(kNvRead);
  ok({"backup", file("whole.vex")});
  const uint32_t backupReads = sim->framesReceived(kNvRead) - before - connectReads;
  ASSERT_GT(backupReads, 20u);

  // Paced at the line rate, so the backup is still running when the UT
  // stops answering halfway through it.
  sim->setPacing(true);
  const std::string target = file("half.vex");
  before = sim->framesReceived(kNvRead);
  const pid_t pid = start({"--port", "UT1", "backup", target});
  ASSERT_TRUE(sim->waitUntil(
      [&](const kmx::sim::SimulatorCounters&) {
        return sim->framesReceived(kNvRead) - before >= connectReads + backupReads / 2;
      },
      60000));
  sim->setSilent(true);
  const Outcome run = finish(pid);
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.err.find("vexctl: "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(target)) << "no half file";
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(sandbox.runtimeDir())) {
    if (entry.path().filename().string().starts_with("half")) left.push_back(entry.path().string());
  }
  EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(Vexctl, CallsThatEndTheSessionSucceedAndABootBlockNeedsItsFlag) {
  const std::string software = makeImage(sandbox.runtimeDir(), "sw.srec", randomBytes(3000), "UT 9.2 call");
  ASSERT_FALSE(software.empty()) << "srec_cat failed";
  // The call disconnects the object: nothing is left to commit, and that is success.
  EXPECT_FALSE(json({"call", "Disconnect"})["committed"].boolean);
  EXPECT_FALSE(json({"call", "SoftwareUpgrade", software})["committed"].boolean);
  ASSERT_TRUE(sim->flashState().software);
  EXPECT_EQ(sim->flashState().software->header, "UT 9.2 call");

  const std::string boot =
      vx::download::testing::gzipCopy(makeImage(sandbox.runtimeDir(), "bb.srec", randomBytes(2000, 3), "utbootbloc 3"));
  ASSERT_FALSE(boot.empty());
  const Outcome refused = vexctl({"--port", "UT1", "download", boot});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("is a boot block (\"utbootbloc 3\"): writing it needs --boot-block"), std::string::npos)
      << refused.err;
  const Outcome notBoot = vexctl({"--port", "UT1", "download", software, "--boot-block"});
  EXPECT_EQ(notBoot.status, 2);
  EXPECT_NE(notBoot.err.find("is not a boot block"), std::string::npos) << notBoot.err;
  // On a terminal the question's default is No; y writes it; --yes does not ask.
  const Outcome declined = onTerminal({"download", boot, "--boot-block"}, "\n");
  EXPECT_EQ(declined.status, 1) << declined.out;
  EXPECT_NE(declined.out.find("nothing was written"), std::string::npos) << declined.out;
  EXPECT_FALSE(sim->flashState().bootBlock);
  const Outcome accepted = onTerminal({"download", boot, "--boot-block"}, "y\n");
  EXPECT_EQ(accepted.status, 0) << accepted.out;
  ASSERT_TRUE(sim->flashState().bootBlock);
  EXPECT_EQ(json({"download", boot, "--boot-block", "--yes"})["kind"].text, "bootblock");
  // A method without a result says that it ran, on a terminal only.
  EXPECT_NE(onTerminal({"call", "IncrementWDCSwapCount"}).out.find("IncrementWDCSwapCount: done"), std::string::npos);
  EXPECT_EQ(ok({"call", "IncrementWDCSwapCount"}).out, "");
}

TEST_F(Vexctl, StateAndErrorsSayWhatIsWrongAndWhatToDo) {
  EXPECT_EQ(ok({"state"}).out, "UT1: connected\n");
  EXPECT_EQ(json({"state"})["state"].number, 1);
  const Outcome range = vexctl({"--port", "UT1", "set", "DeepSleepDuration", "3"});
  EXPECT_EQ(range.status, 1);
  EXPECT_NE(range.err.find("DeepSleepDuration: 3 is out of range (0 or 5..60)"), std::string::npos) << range.err;
  const Outcome index = vexctl({"--port", "UT1", "get", "SID", "3", "1"});
  EXPECT_NE(index.err.find("SID: sNAM 3 is out of range (0..2)"), std::string::npos) << index.err;
  const Outcome item = vexctl({"--port", "UT1", "nv", "get", "NOPE"});
  EXPECT_EQ(item.status, 1);
  EXPECT_NE(item.err.find("no NV item NOPE"), std::string::npos) << item.err;
  const Outcome folder = vexctl({"--port", "UT1", "backup", "/nonexistent/dir/x.vex"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("/nonexistent/dir: no such directory"), std::string::npos) << folder.err;
  // A gzip image whose data is damaged: the file could be read, its data not.
  std::string packed = readFile(vx::download::testing::gzipCopy(
      makeImage(sandbox.runtimeDir(), "bad.srec", randomBytes(4000, 5), "UT 9.3")));
  ASSERT_GT(packed.size(), 100u);
  for (std::size_t i = 40; i < 80; ++i) packed[i] = static_cast<char>(packed[i] ^ 0x5a);
  const std::string corrupt = file("corrupt.srec.gz");
  std::ofstream(corrupt, std::ios::binary) << packed;
  const Outcome damaged = vexctl({"--port", "UT1", "download", corrupt});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("corrupt.srec.gz: the file was read, but its compressed data is corrupt"),
            std::string::npos)
      << damaged.err;
}

// Backup files and software files are shown, compared and checked without
// a UT; a file is compared with the UT without changing it.
TEST_F(Vexctl, BackupsAndImagesWithoutAUtAndAFileAgainstTheUt) {
  const std::string a = file("a.vex"), b = file("b.vex");
  ok({"set", "NoServiceTimeUntilSleep", "5"});
  ok({"backup", a});
  ok({"set", "NoServiceTimeUntilSleep", "10"});
  ok({"backup", b});
  const Json shown = JsonReader::parse(vexctl({"--json", "show", a}).out);
  EXPECT_FALSE(shown["model"].text.empty());
  bool sleepSeen = false;
  for (const Json& item : shown["items"].items) {
    if (item["name"].text != "NV_TIME_TILL_SLEEP") continue;
    sleepSeen = true;
    EXPECT_EQ(item["values"].items.at(0)["value"].number, 300);
  }
  EXPECT_TRUE(sleepSeen);

  // diff's status is diff(1)'s: 0 the same, 1 different, 2 trouble.
  EXPECT_EQ(vexctl({"diff", a, a}).status, 0);
  const Outcome differ = vexctl({"diff", a, b});
  EXPECT_EQ(differ.status, 1) << differ.err;
  EXPECT_NE(differ.out.find("~ NV_TIME_TILL_SLEEP.T_ULONG: 300 -> 600\n"), std::string::npos) << differ.out;
  // A commit also stamps the service programming date.
  const Json changed = JsonReader::parse(vexctl({"--json", "diff", a, b}).out);
  EXPECT_EQ(changed["changed"].number, 2) << differ.out;
  EXPECT_EQ(changed["items"].items.at(1)["name"].text, "NV_TIME_TILL_SLEEP");
  EXPECT_EQ(changed["items"].items.at(1)["values"].items.at(0)["new"].number, 600);
  // Against the UT, which holds b's values; it stays as it was.
  EXPECT_EQ(vexctl({"--port", "UT1", "diff", b}).status, 0);
  const Outcome withUt = vexctl({"--port", "UT1", "--json", "diff", a});
  EXPECT_EQ(withUt.status, 1) << withUt.err;
  EXPECT_EQ(JsonReader::parse(withUt.out)["after"].text, "the UT on UT1");
  EXPECT_EQ(nv(kSleep), 600);

  // A damaged value is told with its line; diff calls that trouble.
  std::string text = readFile(a);
  const std::size_t at = text.find("[NV_TIME_TILL_SLEEP]\nT_ULONG 300\n");
  ASSERT_NE(at, std::string::npos);
  text.replace(at + 29, 3, "3x0");
  const std::string line = std::to_string(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n') + 2);
  const std::string bad = file("bad.vex");
  std::ofstream(bad, std::ios::binary) << text;
  const Outcome refused = vexctl({"show", bad});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("bad.vex: line " + line + ": not a number: 3x0"), std::string::npos) << refused.err;
  EXPECT_EQ(vexctl({"diff", a, bad}).status, 2);
  EXPECT_EQ(vexctl({"diff", a, file("absent.vex")}).status, 2);

  // check: 0 for a file a download takes, 1 with the refused line.
  const std::string good = makeImage(sandbox.runtimeDir(), "ok.srec", randomBytes(3000), "UT 9.4 check");
  ASSERT_FALSE(good.empty()) << "srec_cat failed";
  const Json accepted = JsonReader::parse(vexctl({"--json", "check", good}).out);
  EXPECT_TRUE(accepted["accepted"].boolean);
  EXPECT_EQ(accepted["header"].text, "UT 9.4 check");
  std::string image = readFile(good);
  const std::size_t third = image.find('\n', image.find('\n') + 1) + 1;
  image[third + 10] = image[third + 10] == '0' ? '1' : '0';
  const std::string broken = file("broken.srec");
  std::ofstream(broken, std::ios::binary) << image;
  const Outcome rejected = vexctl({"check", broken});
  EXPECT_EQ(rejected.status, 1);
  EXPECT_NE(rejected.out.find("refused: line 3: the checksum does not match"), std::string::npos) << rejected.out;

  // The simulator's port is listed as such.
  bool simulatorListed = false;
  for (const Json& port : JsonReader::parse(vexctl({"--json", "ports"}).out).items) {
    simulatorListed |= port["name"].text == "UT1" && port["simulated"].boolean;
  }
  EXPECT_TRUE(simulatorListed);
  // list fits a terminal of 80 columns; to a file its rows stay whole.
  const Outcome narrow = onTerminal({"list"});
  std::size_t widest = 0;
  for (std::size_t from = 0, to; (to = narrow.out.find('\n', from)) != std::string::npos; from = to + 1) {
    widest = std::max(widest, to - from - (to > from && narrow.out[to - 1] == '\r' ? 1 : 0));
  }
  EXPECT_LE(widest, 80u);
  EXPECT_NE(narrow.out.find("OB_Set_SPList_Entry"), std::string::npos);
  const std::string full = vexctl({"list"}).out;
  const std::size_t row = full.find("OB_Set_SPList_Entry");
  EXPECT_LT(full.find("bProhibited:long", row), full.find('\n', row)) << "one line a row";
}

// Processes whose environment holds `marker`: what one vexctl run started.
std::vector<pid_t> processesMarked(const std::string& marker) {
  std::vector<pid_t> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    if (pid == ::getpid()) continue;
    std::ifstream in(entry.path() / "environ", std::ios::binary);
    const std::string environ((std::istreambuf_iterator<char>(in)), {});
    if (environ.find(marker) != std::string::npos && vx::script::testing::processRuns(pid)) found.push_back(pid);
  }
  return found;
}

TEST_F(Vexctl, WithoutASessionBusItRunsItsOwnAndLeavesNothingBehind) {
  const std::string marker = "VEXCTL_TEST_RUN=" + sandbox.runtimeDir();
  // Unset in the child only (putenv without '='): the test's own bus
  // stays for the others; an empty XDG_RUNTIME_DIR has no user bus
  // either. The private bus's files go to TMPDIR.
  const std::string tmp = file("tmp"), xdg = file("xdg");
  std::filesystem::create_directories(tmp);
  std::filesystem::create_directories(xdg);
  const std::vector<std::string> environment = {marker, "DBUS_SESSION_BUS_ADDRESS", "TMPDIR=" + tmp,
                                                "XDG_RUNTIME_DIR=" + xdg};
  const Outcome run = vexctl({"--sim", "--json", "info"}, environment);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(JsonReader::parse(run.out)["ESN"].text.rfind("0x", 0), 0u);
  // The simulated UT, the bus, the script server and the link server have gone.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!processesMarked(marker).empty() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(processesMarked(marker).empty());
  EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "the private bus's files are removed";
}

std::string commandOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Against a port where nothing answers, an interrupt or the end of
// --timeout leaves nothing of what vexctl started.
TEST_F(Vexctl, InterruptsAndTimeoutsLeaveNothingRunning) {
  int master = -1, silent = -1;
  ASSERT_EQ(::openpty(&master, &silent, nullptr, nullptr, nullptr), 0);
  const std::string port = ::ttyname(silent);
  const std::string marker = "VEXCTL_TEST_RUN=" + sandbox.runtimeDir() + "/silent";
  const std::string tmp = file("tmp"), xdg = file("xdg");
  std::filesystem::create_directories(tmp);
  std::filesystem::create_directories(xdg);
  const std::vector<std::string> environment = {marker, "DBUS_SESSION_BUS_ADDRESS", "TMPDIR=" + tmp,
                                                "XDG_RUNTIME_DIR=" + xdg};
  auto nothingLeft = [&] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!processesMarked(marker).empty() && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::string left;
    for (pid_t pid : processesMarked(marker)) left += commandOf(pid) + " ";
    return left;
  };
  for (int signal : {SIGINT, SIGTERM}) {
    const pid_t pid = start({"--port", port, "info"}, environment);
    // Once the link server has the port, the run is in the middle of Connect.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto linkServer = [&] {
      for (pid_t p : processesMarked(marker)) {
        if (commandOf(p) == "kmxserver") return true;
      }
      return false;
    };
    while (!linkServer() && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(linkServer()) << "the run did not reach the port";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(pid, signal);
    const Outcome run = finish(pid);
    EXPECT_EQ(run.status, 128 + signal) << run.err;
    EXPECT_EQ(nothingLeft(), "") << "after signal " << signal;
  }
  const Outcome late = vexctl({"--port", port, "--timeout", "3", "--json", "info"}, environment);
  EXPECT_EQ(late.status, 124) << late.err;
  EXPECT_NE(late.err.find("vexctl: timed out after 3 s"), std::string::npos) << late.err;
  EXPECT_EQ(JsonReader::parse(late.out)["error"].text, "timed out after 3 s");
  EXPECT_EQ(nothingLeft(), "") << "after --timeout";
  EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "the private bus's files are removed";
  ::close(master);
  ::close(silent);
}

// A bench of three phones served by one utsim: the same command on each at
// once, a file per phone by its ESN or port, one record per phone; a port
// that is not there fails alone and makes the exit status 1; two phones
// writing one file are refused before anything starts.
TEST_F(Vexctl, ABenchOfPhonesAtOnceEachWithItsOwnFileAndRecord) {
  int control[2], served[2];
  ASSERT_EQ(::pipe(control), 0);
  ASSERT_EQ(::pipe(served), 0);
  const pid_t utsim = ::fork();
  if (utsim == 0) {
    ::dup2(control[0], 0);
    ::dup2(served[1], 1);
    ::execl(UTSIM_PROGRAM, UTSIM_PROGRAM, "--port", "BENCH", "--count", "3", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(control[0]);
  ::close(served[1]);
  std::string serving;
  char buffer[512];
  for (ssize_t n; serving.find("BENCH3") == std::string::npos && (n = ::read(served[0], buffer, sizeof buffer)) > 0;) {
    serving.append(buffer, static_cast<std::size_t>(n));
  }
  ASSERT_NE(serving.find("BENCH3"), std::string::npos) << serving;
  const std::string dir = file("bench");
  std::filesystem::create_directories(dir);

  const Outcome all = vexctl({"--port", "BENCH1", "--port", "BENCH2", "--port", "BENCH3", "--json", "backup",
                              dir + "/{esn}.vex"});
  EXPECT_EQ(all.status, 0) << all.err;
  const Json records = JsonReader::parse(all.out);
  ASSERT_EQ(records.items.size(), 3u) << all.out;
  std::set<std::string> files;
  for (std::size_t i = 0; i < records.items.size(); ++i) {
    const Json& record = records.items[i];
    EXPECT_EQ(record["port"].text, "BENCH" + std::to_string(i + 1));
    EXPECT_TRUE(record["ok"].boolean) << all.out;
    EXPECT_EQ(record["seconds"].kind, Json::Kind::Number);
    const std::string saved = record["result"]["file"].text;
    EXPECT_EQ(saved, dir + "/" + record["esn"].text + ".vex");
    EXPECT_TRUE(std::filesystem::exists(saved)) << saved;
    files.insert(saved);
  }
  EXPECT_EQ(files.size(), 3u) << "each phone has an ESN of its own";

  const Outcome partly = vexctl({"--port", "BENCH1", "--port", "ttyNOPE", "--port", "BENCH3", "backup",
                                 dir + "/{port}.vex"});
  EXPECT_EQ(partly.status, 1) << partly.err;
  EXPECT_TRUE(std::filesystem::exists(dir + "/BENCH1.vex") && std::filesystem::exists(dir + "/BENCH3.vex"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/ttyNOPE.vex"));
  EXPECT_NE(partly.out.find("BENCH1: settings saved to " + dir + "/BENCH1.vex\n"), std::string::npos) << partly.out;
  EXPECT_NE(partly.out.find("PORT     ESN"), std::string::npos) << partly.out;
  EXPECT_NE(partly.err.find("vexctl: ttyNOPE: The link to the UT could not be started. (ttyNOPE: no such serial port)"),
            std::string::npos) << partly.err;
  EXPECT_EQ(partly.err.find("\033["), std::string::npos) << "no progress without a terminal";

  const Outcome clash = vexctl({"--port", "BENCH1", "--port", "BENCH2", "backup", dir + "/one.vex"});
  EXPECT_EQ(clash.status, 2);
  EXPECT_NE(clash.err.find("BENCH1 and BENCH2 would both write " + dir + "/one.vex"), std::string::npos) << clash.err;
  EXPECT_FALSE(std::filesystem::exists(dir + "/one.vex"));

  // On a terminal: a line per phone redrawn in place, then the table.
  const Outcome shown = onTerminal({"--port", "BENCH2", "info"});
  EXPECT_EQ(shown.status, 0) << shown.out;
  EXPECT_NE(shown.out.find("\033[2A\r\033[KUT1     connecting"), std::string::npos) << "two lines redrawn";
  EXPECT_NE(shown.out.find("BENCH2  0x"), std::string::npos) << shown.out;

  EXPECT_EQ(::write(control[1], "quit\n", 5), 5);
  ::close(control[1]);
  ::close(served[0]);
  ::waitpid(utsim, nullptr, 0);
}

TEST_F(Vexctl, BashCompletionOffersCommandsOptionsAndMemberNames) {
  // The words as bash splits them; the last is the one being completed.
  auto complete = [&](const std::vector<std::string>& words) {
    std::string array;
    for (const std::string& w : words) array += " '" + w + "'";
    const std::string script = "source '" COMPLETION_FILE "'; COMP_WORDS=(" + array +
                               "); COMP_CWORD=$((${#COMP_WORDS[@]}-1)); _vexctl; printf '%s\\n' \"${COMPREPLY[@]}\"";
    setenv("VEXCTL_COMPLETION_SCRIPT", script.c_str(), 1);
    const std::string out = file("completion.out");
    EXPECT_EQ(std::system(("bash -c \"$VEXCTL_COMPLETION_SCRIPT\" > '" + out + "' 2>/dev/null").c_str()), 0);
    return readFile(out);
  };
  EXPECT_EQ(complete({"vexctl", "ba"}), "backup\n");
  EXPECT_EQ(complete({"vexctl", "--port", "UT1", "restore", "x.vex", "--dr"}), "--dry-run\n");
  EXPECT_EQ(complete({"vexctl", "--sim", "nv", ""}), "items\nget\nset\ntree\n");
  // Member names come from the program itself (list --names).
  EXPECT_EQ(complete({VEXCTL_PROGRAM, "--port", "UT1", "get", "NoServiceTime"}), "NoServiceTimeUntilSleep\n");
  // Ports from the program too: the simulator's among them.
  EXPECT_EQ(complete({VEXCTL_PROGRAM, "--port", "U"}), "UT1\n");
  EXPECT_EQ(complete({"vexctl", "--all"}), "--all-ports\n");
}

}  // namespace
}  // namespace vx::cli::testing
