// What the library makes of every kind of reply and asynchronous message,
// against a fake server that sends exactly what each test scripts.
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <map>
#include <thread>

#include "client_fixture.h"
#include "kmx/proto/byte_order.h"
#include "kmx_messages.h"

namespace kmx::client::testing {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The fake server's answers by command id; status 0 alone for the rest.
class Script {
 public:
  using Answer = std::function<Bytes(const Bytes&)>;
  void set(uint32_t id, Bytes reply) {
    set(id, [reply](const Bytes&) { return reply; });
  }
  void set(uint32_t id, Answer answer) {
    std::lock_guard lock(mutex_);
    answers_[id] = std::move(answer);
  }
  Bytes operator()(const Bytes& command) {
    std::lock_guard lock(mutex_);
    auto it = answers_.find(wordAt(command, 0));
    return it == answers_.end() ? words({0}) : it->second(command);
  }

 private:
  std::mutex mutex_;
  std::map<uint32_t, Answer> answers_;
};

// What callbacks saw, in order.
struct Calls {
  std::mutex mutex;
  std::vector<std::string> seen;
  void add(std::string call) {
    std::lock_guard lock(mutex);
    seen.push_back(std::move(call));
  }
  std::vector<std::string> all() {
    std::lock_guard lock(mutex);
    return seen;
  }
  bool count(std::size_t n) {
    return eventually([&] { return all().size() >= n; }, 5000);
  }
};

Bytes asyncMessage(uint32_t type, uint32_t id, const Bytes& payload = {}) {
  return words({msg::async::kMarkerValue, type, id}) + payload;
}

struct SelfClose {
  void* connection = nullptr;
  std::atomic<int> result{-1};
};

class FakeReplies : public ::testing::Test {
 protected:
  void SetUp() override {
    connection = KMXCreateConnection(FakeServer::kDevice, 9600);
    ASSERT_NE(connection, nullptr) << KMXGetErrorDesc(KMXGetLastError());
  }
  void TearDown() override { KMXCloseHandle(connection); }

  std::size_t commandCount() { return fake.commands().size(); }
  Bytes lastCommand() { return fake.commands().back(); }

  // What callbacks see; it outlives the connection, which closes at the end.
  Calls calls;
  SelfClose self;

  kmx::testing::RuntimeSandbox sandbox;
  Script script;
  FakeServer fake{[this](const Bytes& command) { return script(command); }};
  void* connection = nullptr;
};

TEST_F(FakeReplies, RepliesShorterThanTheirFixedPartAreInvalid) {
  constexpr uint16_t kInvalid = KMX_ERR_INVALID_RESPONSE;
  uint32_t rates = 0;
  script.set(msg::kCmdGetAvailableBaudRates, words({0}));
  EXPECT_TRUE(failedWith(KMXGetAvailableBaudRates(connection, &rates), kInvalid));
  script.set(msg::kCmdGetAvailableBaudRates, Bytes{0, 0});
  EXPECT_TRUE(failedWith(KMXGetAvailableBaudRates(connection, &rates), kInvalid)) << "not even a status word";
  uint8_t version[KMX_VERSION_INFO_SIZE];
  script.set(msg::kCmdGetVersionInfo, words({0}) + Bytes(10, 1));
  EXPECT_TRUE(failedWith(KMXGetKMXVersionInfo(connection, version), kInvalid));
  uint32_t forMe = 9, forAll = 9;
  script.set(msg::kCmdGetDropCounts, words({0, 1}));
  EXPECT_TRUE(failedWith(KMXGetAsyncDropPktCnts(connection, &forMe, &forAll), kInvalid));
  EXPECT_EQ(forMe + forAll, 0u) << "both are 0 after a failure";
}

TEST_F(FakeReplies, AnAKeyReplyOfAnotherSizeFailsWithoutAnErrorAndWithResultZero) {
  uint32_t verdict = 9;
  script.set(msg::kCmdVerifyAKey, words({0}));
  EXPECT_TRUE(failedWith(KMXVerifyAKey(connection, 1, 2, 3, 4, &verdict), 0));
  EXPECT_EQ(verdict, 0u);
  script.set(msg::kCmdVerifyAKey, words({0, 5}));
  EXPECT_EQ(KMXVerifyAKey(connection, 1, 2, 3, 4, &verdict), 1);
  EXPECT_EQ(verdict, 5u);
  EXPECT_EQ(lastCommand(), words({msg::kCmdVerifyAKey, 1 | (2 << 16), 3, 4}));
}

TEST_F(FakeReplies, AnOperationCommandWithALengthButNoDataIsRefused) {
  const std::size_t before = commandCount();
  uint8_t reply[8];
  uint32_t replyLength = sizeof reply;
  EXPECT_TRUE(failedWith(KMXSendOprCmd(connection, 7, nullptr, 4, reply, &replyLength),
                         KMX_ERR_INVALID_ARGUMENTS));
  EXPECT_EQ(replyLength, 0u);
  EXPECT_EQ(commandCount(), before);
  replyLength = sizeof reply;
  script.set(msg::kCmdSendOprCmd, words({0}) + Bytes{1, 2});
  EXPECT_EQ(KMXSendOprCmd(connection, 7, nullptr, 0, reply, &replyLength), 1);
  EXPECT_EQ(replyLength, 2u);
  EXPECT_EQ(lastCommand(), words({msg::kCmdSendOprCmd, 7}));
}

TEST_F(FakeReplies, CountsAndIdsMustMatchTheRequest) {
  constexpr uint16_t kInvalid = KMX_ERR_INVALID_RESPONSE;
  // Test-mode state: a count that differs, records in another order.
  KMXTestModeRecord modes[2] = {{3, {}, 0}, {9, {}, 0}};
  script.set(msg::kCmdGetTestModeState, words({0, 1, 3, 30}));
  EXPECT_TRUE(failedWith(KMXGetTestModeState(connection, 2, modes), kInvalid));
  script.set(msg::kCmdGetTestModeState, words({0, 2, 3, 30, 8, 80}));
  EXPECT_TRUE(failedWith(KMXGetTestModeState(connection, 2, modes), kInvalid));
  EXPECT_EQ(modes[0].value, 30u) << "values before the mismatch are stored";
  EXPECT_EQ(modes[1].value, 0u);
  EXPECT_EQ(lastCommand(), words({msg::kCmdGetTestModeState, 2}) + Bytes({3, 9}));

  // Status data: a count that differs, then records that run past the end.
  const uint32_t selectors[2] = {0x21, 0x22};
  KMXStatusRecord records[2] = {};
  const Bytes first = words({0x00020021}) + Bytes{7, 7};
  script.set(msg::kCmdGetStatusData, words({0, 1}) + first);
  EXPECT_TRUE(failedWith(KMXGetStatusData(connection, 2, selectors, records), kInvalid));
  script.set(msg::kCmdGetStatusData, words({0, 2}) + first + words({0x00090022}) + Bytes{1});
  EXPECT_TRUE(failedWith(KMXGetStatusData(connection, 2, selectors, records), kInvalid));
  EXPECT_EQ(records[0].data, nullptr) << "nothing handed out";

  // Log status and link statistics.
  KMXLogStatusRecord logs[2] = {};
  script.set(msg::kCmdGetLogStatusData, words({0, 1}) + Bytes(56, 1));
  EXPECT_TRUE(failedWith(KMXGetLogStatusData(connection, 2, logs), kInvalid));
  uint32_t crc = 77;
  const uint8_t codes[1] = {5};
  KMXLinkStatsRecord stats[1] = {};
  script.set(msg::kCmdGetLinkStats, words({0, 1, 2, 3, 4, 2, 5, 6}));
  EXPECT_TRUE(failedWith(KMXGetLinkStats(connection, &crc, nullptr, nullptr, nullptr, 1, codes, stats, 0), kInvalid));
  EXPECT_EQ(crc, 77u) << "nothing stored";
  script.set(msg::kCmdGetLinkStats, words({0, 1, 2, 3, 4, 1, 5, 6}));
  EXPECT_EQ(KMXGetLinkStats(connection, &crc, nullptr, nullptr, nullptr, 1, codes, stats, 1), 1);
  EXPECT_EQ(crc, 1u);
  EXPECT_EQ(stats[0].logCode, 5u);
  EXPECT_EQ(stats[0].counter, 6u);
  EXPECT_EQ(lastCommand(), words({msg::kCmdGetLinkStats, 1, 1}) + Bytes({5}));
}

TEST_F(FakeReplies, EmptyItemListsAreAskedForAndSucceedWhateverTheAnswer) {
  for (const Bytes& answer : {words({msg::kStatusFailed}), words({0, 0})}) {
    script.set(msg::kCmdGetStatusData, answer);
    script.set(msg::kCmdGetTestModeState, answer);
    EXPECT_EQ(KMXGetStatusData(connection, 0, nullptr, nullptr), 1);
    EXPECT_EQ(KMXGetLastError(), 0);
    EXPECT_EQ(lastCommand(), words({msg::kCmdGetStatusData, 0}));
    EXPECT_EQ(KMXGetTestModeState(connection, 0, nullptr), 1);
    EXPECT_EQ(KMXGetLastError(), 0);
    EXPECT_EQ(lastCommand(), words({msg::kCmdGetTestModeState, 0}));
  }
  uint32_t rates = 0;
  script.set(msg::kCmdGetAvailableBaudRates, words({0, 0x1F}));
  EXPECT_EQ(KMXGetAvailableBaudRates(connection, &rates), 1) << "no reply was left queued";
  EXPECT_EQ(rates, 0x1Fu);
}

TEST_F(FakeReplies, StatusesBecomeTheirErrorsAndLeaveNothingQueued) {
  const std::pair<uint32_t, uint16_t> table[] = {
      {1, 26}, {2, 30}, {28, 31}, {29, 32}, {31, 28}, {32, 27}, {33, 8}, {34, 34}, {35, 35}, {36, 36},
      {37, 38}, {38, 39}, {39, 40}, {40, 41}, {44, 37}, {45, 42}, {46, 43}, {3, 25}, {47, 25}};
  for (auto [status, error] : table) {
    script.set(msg::kCmdSetDtrState, words({status}));
    EXPECT_TRUE(failedWith(KMXSetDTRState(connection, 1), error)) << "status " << status;
  }
  // A rejection whose reply is not the full 264 bytes has no code or text.
  script.set(msg::kCmdSetDtrState, words({30, 5}));
  EXPECT_TRUE(failedWith(KMXSetDTRState(connection, 1), KMX_ERR_UT_ERROR));
  char text[8];
  uint16_t length = sizeof text;
  EXPECT_EQ(KMXGetLastUTErrorInfo(text, &length), 0);
  EXPECT_EQ(length, 0);

  // A success reply longer than the caller's buffers is discarded.
  script.set(msg::kCmdSetDtrState, words({0, 1}));
  EXPECT_TRUE(failedWith(KMXSetDTRState(connection, 1), KMX_ERR_IPC_RECEIVE));
  script.set(msg::kCmdSetDtrState, words({0}));
  EXPECT_EQ(KMXSetDTRState(connection, 7), 1);
  EXPECT_EQ(lastCommand(), words({msg::kCmdSetDtrState, 7}));
}

TEST_F(FakeReplies, BadArgumentsSendNothing) {
  const std::size_t before = commandCount();
  KMXStatusRecord records[2];
  uint16_t length = 9;
  constexpr uint16_t kBad = KMX_ERR_INVALID_ARGUMENTS;
  EXPECT_TRUE(failedWith(KMXReadNVItemData(connection, 1, 0, nullptr, 10, nullptr), kBad));
  EXPECT_TRUE(failedWith(KMXReadRegion(connection, 0, 0, 5, 0, nullptr), kBad));
  EXPECT_TRUE(failedWith(KMXWriteNVItemData(connection, 1, 0, nullptr, 4), kBad));
  EXPECT_TRUE(failedWith(KMXGetStatusData(connection, 2, nullptr, records), kBad));
  EXPECT_TRUE(failedWith(KMXSendSecurityPassword(connection, nullptr, nullptr), kBad));
  EXPECT_TRUE(failedWith(KMXTestModeControl(nullptr, 0, 0, nullptr, 4, &length), kBad)) << "before the handle";
  EXPECT_EQ(length, 0);
  // Requests too long for a message fail in the send.
  std::vector<uint8_t> big(5000, 1);
  EXPECT_TRUE(failedWith(KMXWriteNVItemData(connection, 1, 0, big.data(), 5000), KMX_ERR_IPC_SENDV));
  std::vector<uint32_t> selectors(2000, 1);
  EXPECT_TRUE(failedWith(KMXGetStatusData(connection, 2000, selectors.data(), records), KMX_ERR_IPC_SENDV));
  EXPECT_EQ(commandCount(), before);
  EXPECT_EQ(KMXWriteNVItemData(connection, 1, 0, big.data(), 4), 1);
}

TEST_F(FakeReplies, RegionReadsAskChunkByChunkAndWantEveryByte) {
  script.set(msg::kCmdReadRegion, [](const Bytes& c) {
    return words({0}) + Bytes(kmx::proto::loadLe16(&c[12]), c[14]);
  });
  std::vector<uint8_t> buffer(300);
  const std::size_t before = commandCount();
  ASSERT_EQ(KMXReadRegion(connection, 4, 0x1000, 300, 9, buffer.data()), 1);
  auto sent = fake.commands();
  ASSERT_EQ(sent.size() - before, 2u);
  EXPECT_EQ(sent[before], words({msg::kCmdReadRegion, 0x1000, 9}) + Bytes({0, 1, 4, 0}));
  EXPECT_EQ(sent[before + 1], words({msg::kCmdReadRegion, 0x1100, 9}) + Bytes({44, 0, 4, 0}));
  EXPECT_EQ(buffer, Bytes(300, 4));

  script.set(msg::kCmdReadRegion, words({0}) + Bytes(10, 1));
  EXPECT_TRUE(failedWith(KMXReadRegion(connection, 4, 0x1000, 300, 9, buffer.data()), KMX_ERR_INVALID_RESPONSE))
      << "a short chunk";
}

// --- asynchronous messages ----------------------------------------------------------

void onLog(uint32_t code, uint8_t sequence, uint32_t h1, uint32_t h2, const void* data, uint32_t length,
           void* user) {
  static_cast<Calls*>(user)->add("log " + std::to_string(code) + " " + std::to_string(sequence) + " " +
                                 std::to_string(h1) + " " + std::to_string(h2) + " " +
                                 std::string(static_cast<const char*>(data), length));
}
void onData(uint32_t id, const void* data, uint32_t length, void* user) {
  static_cast<Calls*>(user)->add("data " + std::to_string(id) + " " +
                                 std::string(static_cast<const char*>(data), length));
}
void onShortGasp(const char* text, void* user) { static_cast<Calls*>(user)->add(std::string("gasp ") + text); }
void onLongGasp(uint32_t high, uint32_t low, const char* text, void* user) {
  static_cast<Calls*>(user)->add("gasp " + std::to_string(high) + " " + std::to_string(low) + " " + text);
}
void onStateA(uint32_t state, void* user) { static_cast<Calls*>(user)->add("A " + std::to_string(state)); }
void onStateB(uint32_t state, void* user) { static_cast<Calls*>(user)->add("B " + std::to_string(state)); }
void onStateC(uint32_t state, void* user) { static_cast<Calls*>(user)->add("C " + std::to_string(state)); }

TEST_F(FakeReplies, LogDataReachesItsRegistrationWithItsFields) {
  void* log = KMXOpenAsyncData(connection, 5, onLog, &calls);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 1, msg::kAsyncLog, 5, 1, 0xFFFFFFFF}));

  auto logMessage = [](uint32_t code, const std::string& data) {
    return asyncMessage(msg::kAsyncLog, code, Bytes{9} + words({11, 22}) + Bytes(data.begin(), data.end()));
  };
  ASSERT_TRUE(fake.sendAsync(logMessage(5, "abc")));
  ASSERT_TRUE(fake.sendAsync(logMessage(6, "not registered")));
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncLog, 5, Bytes(8, 0))));  // shorter than its fields
  ASSERT_TRUE(fake.sendAsync(asyncMessage(9, 5)));                            // no such type
  ASSERT_TRUE(fake.sendAsync(Bytes{4, 0, 0, 0, 1}));                          // no header
  ASSERT_TRUE(fake.sendAsync(logMessage(5, "")));
  ASSERT_TRUE(calls.count(2));
  EXPECT_EQ(calls.all(), (std::vector<std::string>{"log 5 9 11 22 abc", "log 5 9 11 22 "}));

  EXPECT_TRUE(failedWith(KMXOpenAsyncData(connection, 5, onLog, &calls), KMX_ERR_ALREADY_REGISTERED));
  EXPECT_TRUE(failedWith(KMXOpenAsyncData(connection, 6, nullptr, &calls), KMX_ERR_INVALID_CALLBACK));

  EXPECT_TRUE(failedWith(KMXSetLogDataParams(connection, 6, 3, 10), KMX_ERR_INVALID_PRIORITY))
      << "before the registrations are looked at";
  EXPECT_TRUE(failedWith(KMXSetLogDataParams(connection, 5, 2, 65536), KMX_ERR_INVALID_MAX_PACKETS));
  EXPECT_TRUE(failedWith(KMXSetLogDataParams(connection, 6, 2, 100), KMX_ERR_NOT_REGISTERED));
  EXPECT_EQ(KMXSetLogDataParams(connection, 5, 2, 100), 1);
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 1, msg::kAsyncLog, 5, 2, 100}));
  EXPECT_EQ(KMXSetAsyncDataParams(log, -1, 65535), 1);
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 1, msg::kAsyncLog, 5, 0xFFFFFFFF, 65535}));

  EXPECT_EQ(KMXCloseHandle(log), 1);
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 0, msg::kAsyncLog, 5, 0xFFFFFFFF, 0xFFFFFFFF}));
}

TEST_F(FakeReplies, IdsBeyondWhatTheUtCarriesAreRefusedAndSendNothing) {
  const std::size_t before = commandCount();
  constexpr uint16_t kBad = KMX_ERR_INVALID_ARGUMENTS;
  EXPECT_TRUE(failedWith(KMXOpenAsyncData(connection, 128, onLog, &calls), kBad));
  EXPECT_TRUE(failedWith(KMXOpenAsyncData(connection, 259, onLog, &calls), kBad));
  EXPECT_TRUE(failedWith(KMXOpenPlugin(connection, 256, onData, &calls), kBad));
  EXPECT_TRUE(failedWith(KMXSetLogDataParams(connection, 261, 1, 10), kBad));
  // The other checks keep their order and their errors.
  EXPECT_TRUE(failedWith(KMXSetLogDataParams(connection, 261, 3, 10), KMX_ERR_INVALID_PRIORITY));
  EXPECT_TRUE(failedWith(KMXOpenAsyncData(connection, 259, nullptr, &calls), KMX_ERR_INVALID_CALLBACK));
  EXPECT_EQ(commandCount(), before);

  void* log = KMXOpenAsyncData(connection, KMX_LOG_CODE_MAX, onLog, &calls);
  void* plugin = KMXOpenPlugin(connection, KMX_PLUGIN_ID_MAX, onData, &calls);
  EXPECT_NE(log, nullptr);
  EXPECT_NE(plugin, nullptr);
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 1, msg::kAsyncPlugin, 255, 1, 0xFFFFFFFF}));
}

TEST_F(FakeReplies, PluginAndAlertDataReachTheirRegistrations) {
  void* plugin = KMXOpenPlugin(connection, 40, onData, &calls);
  void* alert = KMXOpenAlertData(connection, 200, onData, &calls);
  ASSERT_NE(plugin, nullptr);
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 1, msg::kAsyncAlert, 200, 0xFFFFFFFF, 0xFFFFFFFF}));
  EXPECT_TRUE(failedWith(KMXOpenPlugin(connection, 40, onData, &calls), KMX_ERR_ALREADY_REGISTERED));
  EXPECT_TRUE(failedWith(KMXSetAsyncDataParams(alert, 1, 1), KMX_ERR_INVALID_HANDLE)) << "not for alerts";

  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncAlert, 200, Bytes{'h', 'i'})));
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncPlugin, 40, Bytes{'p'})));
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncPlugin, 41, Bytes{'q'})));
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncAlert, 200)));
  ASSERT_TRUE(calls.count(3));
  EXPECT_EQ(calls.all(), (std::vector<std::string>{"data 200 hi", "data 40 p", "data 200 "}));

  const Bytes toPlugin = {1, 2, 3};
  EXPECT_EQ(KMXWriteToPlugin(plugin, toPlugin.data(), 3), 1);
  EXPECT_EQ(lastCommand(), words({msg::kCmdWriteToPlugin, 40}) + toPlugin);
  EXPECT_TRUE(failedWith(KMXWriteToPlugin(alert, toPlugin.data(), 3), KMX_ERR_INVALID_HANDLE));
}

TEST_F(FakeReplies, OneLastGaspRegistrationWhoseFormFollowsTheLastCall) {
  const std::size_t before = commandCount();
  void* first = KMXOpenLastGaspData(connection, onShortGasp, &calls);
  ASSERT_NE(first, nullptr);
  const Bytes record = words({0x01020304, 0x05060708}) + Bytes{'o', 'o', 'p', 's', 0, 9, 9, 9, 9};
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncLastGasp, 0, record)));
  ASSERT_TRUE(calls.count(1));

  void* second = KMXOpenNewLastGaspData(connection, onLongGasp, &calls);
  EXPECT_EQ(second, first);
  EXPECT_EQ(commandCount() - before, 1u) << "registered once on the server";
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 1, msg::kAsyncLastGasp, 0, 0xFFFFFFFF, 0xFFFFFFFF}));
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncLastGasp, 0, record)));
  // A text without its NUL ends at the message's end.
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncLastGasp, 0, words({0, 0}) + Bytes{'e', 'n', 'd'})));
  ASSERT_TRUE(calls.count(3));
  EXPECT_EQ(calls.all(), (std::vector<std::string>{"gasp oops", "gasp 16909060 84281096 oops", "gasp 0 0 end"}));

  EXPECT_EQ(KMXCloseHandle(second), 1);
  EXPECT_EQ(lastCommand(), words({msg::kCmdRegister, 0, msg::kAsyncLastGasp, 0, 0xFFFFFFFF, 0xFFFFFFFF}));
  EXPECT_EQ(KMXCloseHandle(first), 0) << "the same handle, closed once";
}

TEST_F(FakeReplies, StateChangeRegistrationsTakeTheLowestFreeIdAndAreCalledInIdOrder) {
  const std::size_t before = commandCount();
  void* a = KMXOpenStateChangeData(connection, onStateA, &calls);  // id 0
  void* b = KMXOpenStateChangeData(connection, onStateB, &calls);  // id 1
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(KMXCloseHandle(a), 1);
  void* c = KMXOpenStateChangeData(connection, onStateC, &calls);  // id 0 again
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(commandCount(), before) << "the server is not told";
  EXPECT_TRUE(failedWith(KMXOpenStateChangeData(connection, nullptr, &calls), 0)) << "no callback, no error";

  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncStateChange, KMX_LINK_DOWN)));
  ASSERT_TRUE(calls.count(2));
  EXPECT_EQ(calls.all(), (std::vector<std::string>{"C 4", "B 4"}));
}

TEST_F(FakeReplies, AFailedRegistrationIsUndoneAndKeepsItsError) {
  script.set(msg::kCmdRegister, words({msg::kStatusFailed}));
  const std::size_t before = commandCount();
  EXPECT_TRUE(failedWith(KMXOpenPlugin(connection, 3, onData, &calls), KMX_ERR_REQUEST_FAILED));
  auto sent = fake.commands();
  ASSERT_EQ(sent.size() - before, 2u);
  EXPECT_EQ(sent.back(), words({msg::kCmdRegister, 0, msg::kAsyncPlugin, 3, 0xFFFFFFFF, 0xFFFFFFFF}));
  script.set(msg::kCmdRegister, words({0}));
  EXPECT_NE(KMXOpenPlugin(connection, 3, onData, &calls), nullptr) << "the id is free again";
}

void closeOwnConnection(uint32_t, void* user) {
  auto* self = static_cast<SelfClose*>(user);
  self->result = KMXCloseHandle(self->connection);
}

TEST_F(FakeReplies, ACallbackMayCloseItsOwnConnection) {
  self.connection = connection;
  ASSERT_NE(KMXOpenStateChangeData(connection, closeOwnConnection, &self), nullptr);
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncStateChange, KMX_LINK_UP)));
  ASSERT_TRUE(eventually([&] { return self.result != -1; }, 5000));
  EXPECT_EQ(self.result, 1);
  EXPECT_EQ(wordAt(lastCommand(), 0), msg::kCmdClose);

  // The listening thread ended with the last connection; a new connection
  // starts another.
  connection = KMXCreateConnection(FakeServer::kDevice, 9600);
  ASSERT_NE(connection, nullptr);
  ASSERT_NE(KMXOpenAlertData(connection, 1, onData, &calls), nullptr);
  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncAlert, 1, Bytes{'x'})));
  EXPECT_TRUE(calls.count(1));
}

// The first open's reply is held back until the second call has found the
// connection not yet opened and is waiting for the command mutex; the second
// call then fails without an error of its own and keeps its callback.
TEST_F(FakeReplies, AnOpenThatLosesTheRaceFailsWithoutAnErrorAndKeepsItsCallback) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> openArrived{false};
  script.set(msg::kCmdOpenConnection, [&, released](const Bytes&) {
    openArrived = true;
    released.wait_for(std::chrono::seconds(20));
    return words({0, 0, KMX_LINK_UP});
  });
  std::atomic<int> firstResult{-1};
  std::thread first([&] { firstResult = KMXOpenConnection(connection, 0, onStateA, 7, nullptr, &calls); });
  ASSERT_TRUE(eventually([&] { return openArrived.load(); }));

  std::atomic<pid_t> secondThread{0};
  std::atomic<int> secondResult{-1};
  std::atomic<int> secondError{-1};
  std::thread second([&] {
    secondThread = gettid();
    secondResult = KMXOpenConnection(connection, 0, onStateB, 7, nullptr, &calls);
    secondError = KMXGetLastError();
  });
  // Blocked in a futex wait: the command mutex that the first call holds.
  ASSERT_TRUE(eventually([&] { return secondThread != 0 && sleepsInSyscall(secondThread, {SYS_futex}); }));
  release.set_value();
  first.join();
  second.join();
  EXPECT_EQ(firstResult, 1);
  EXPECT_EQ(secondResult, 0);
  EXPECT_EQ(secondError, 0);
  EXPECT_TRUE(failedWith(KMXOpenConnection(connection, 0, nullptr, 7, nullptr, nullptr), KMX_ERR_ALREADY_OPENED));

  ASSERT_TRUE(fake.sendAsync(asyncMessage(msg::kAsyncStateChange, KMX_LINK_DOWN)));
  ASSERT_TRUE(calls.count(2));
  EXPECT_EQ(calls.all(), (std::vector<std::string>{"A 4", "B 4"}));
}

}  // namespace
}  // namespace kmx::client::testing
