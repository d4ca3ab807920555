// The UT's asynchronous data through the real server to callbacks.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "client_fixture.h"
#include "kmx/testing/helper_process.h"

namespace kmx::client::testing {
namespace {

using kmx::testing::HelperProcess;
using kmx::testing::tellParent;

struct LogCounter {
  std::atomic<uint32_t> packets{0};
  std::atomic<uint32_t> badLength{0};
  std::atomic<int> lastSequence{-1};
  std::atomic<uint32_t> outOfOrder{0};
};

void countLog(uint32_t, uint8_t sequence, uint32_t, uint32_t, const void*, uint32_t length, void* user) {
  auto* counter = static_cast<LogCounter*>(user);
  if (length != 16) ++counter->badLength;
  const int previous = counter->lastSequence.exchange(sequence);
  if (previous >= 0 && static_cast<uint8_t>(previous + 1) != sequence) ++counter->outOfOrder;
  ++counter->packets;
}

struct Received {
  std::mutex mutex;
  std::vector<std::string> items;
  void add(std::string item) {
    std::lock_guard lock(mutex);
    items.push_back(std::move(item));
  }
  std::vector<std::string> all() {
    std::lock_guard lock(mutex);
    return items;
  }
};

void onAlert(uint32_t id, const void* data, uint32_t length, void* user) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::string item = "alert " + std::to_string(id) + ":";
  for (uint32_t i = 0; i < length; ++i) item += " " + std::to_string(bytes[i]);
  static_cast<Received*>(user)->add(item);
}
void onShortGasp(const char* text, void* user) { static_cast<Received*>(user)->add(text); }
void onLongGasp(uint32_t high, uint32_t low, const char* text, void* user) {
  static_cast<Received*>(user)->add(std::to_string(high) + "/" + std::to_string(low) + " " + text);
}
void onState(uint32_t state, void* user) { static_cast<Received*>(user)->add(std::to_string(state)); }

// What the callbacks fill lives as long as the fixture: the connections
// close (and the callbacks stop) only at the test's end.
class ClientAsyncData : public ClientTest {
 protected:
  LogCounter counter;
  Received received;
  Received upOnly;
};

TEST_F(ClientAsyncData, LogPacketsReachTheCallbackInOrder) {
  void* connection = connectUp();
  ASSERT_NE(KMXOpenAsyncData(connection, 5, countLog, &counter), nullptr)
      << KMXGetErrorDesc(KMXGetLastError());
  sim.startLogStream(5, 200, 16);
  ASSERT_TRUE(eventually([&] { return counter.packets >= 20; }));
  sim.stopLogStream(5);
  EXPECT_EQ(counter.badLength, 0u);
  EXPECT_EQ(counter.outOfOrder, 0u);
}

// Log code 259 would reach the UT as log 3 in its one id byte: registering
// and closing it would turn off another client's stream of log 3.
TEST_F(ClientAsyncData, ALogCodeBeyondTheUtsRangeIsRefusedAndLeavesOtherStreamsAlone) {
  void* connection = connectUp();
  ASSERT_NE(KMXOpenAsyncData(connection, 3, countLog, &counter), nullptr);
  sim.startLogStream(3, 200, 16);
  ASSERT_TRUE(eventually([&] { return counter.packets >= 5; }));

  void* other = connectUp();
  void* wide = KMXOpenAsyncData(other, 259, countLog, &counter);
  EXPECT_TRUE(failedWith(wide, KMX_ERR_INVALID_ARGUMENTS));
  if (wide != nullptr) KMXCloseHandle(wide);
  EXPECT_TRUE(failedWith(KMXSetLogDataParams(other, 259, 1, 10), KMX_ERR_INVALID_ARGUMENTS));

  const uint32_t before = counter.packets;
  EXPECT_TRUE(eventually([&] { return counter.packets >= before + 40; })) << "log 3 goes on";
  sim.stopLogStream(3);
}

TEST_F(ClientAsyncData, AlertsAndLastGaspRecords) {
  void* connection = connectUp();
  ASSERT_NE(KMXOpenAlertData(connection, 7, onAlert, &received), nullptr);
  void* gasp = KMXOpenLastGaspData(connection, onShortGasp, &received);
  ASSERT_NE(gasp, nullptr);
  sim.sendAlert(8, {9});  // not registered
  sim.sendAlert(7, {1, 2, 3});
  sim.sendLastGasp(false, "", 77, "bad %d", 5);
  ASSERT_TRUE(eventually([&] { return received.all().size() >= 2; }));
  EXPECT_EQ(KMXOpenNewLastGaspData(connection, onLongGasp, &received), gasp);
  sim.sendLastGasp(true, "radio.c", 88, "oops %u", 42);
  ASSERT_TRUE(eventually([&] { return received.all().size() >= 3; }));
  EXPECT_EQ(received.all(), (std::vector<std::string>{"alert 7: 1 2 3", "file: 7, line 77: bad 5",
                                                      "16909060/84281096 file: radio.c, line 88: oops 42"}));
}

TEST_F(ClientAsyncData, StateChangesArriveOnlyForTheBitsOfTheMask) {
  Received& all = received;
  void* narrow = connect();
  void* wide = connect();
  ASSERT_NE(narrow, nullptr);
  ASSERT_NE(wide, nullptr);
  uint32_t state = 0;
  ASSERT_EQ(KMXOpenConnection(narrow, 10, onState, KMX_LINK_UP, &state, &upOnly), 1);
  ASSERT_EQ(KMXOpenConnection(wide, 10, onState, KMX_LINK_UP | KMX_LINK_ESTABLISHING | KMX_LINK_DOWN,
                              &state, &all),
            1);
  ASSERT_EQ(state, KMX_LINK_UP);
  sim.powerCycle(300);  // CTS drops: the link goes down, then comes back
  ASSERT_TRUE(eventually([&] {
    auto seen = all.all();
    return !seen.empty() && seen.back() == "1" && seen.size() >= 2;
  }, 20000));
  EXPECT_EQ(all.all().front(), "4") << "the wide mask hears of the link going down";
  for (const auto& s : upOnly.all()) EXPECT_EQ(s, "1");
}

// Registers for log code 5 with a callback that blocks the process's
// listening thread, so that its mailbox fills; reports its drop count.
KMX_TEST_HELPER(stuck_listener) {
  void* connection = KMXCreateConnection("UT1", 9600);
  uint32_t state = 0;
  if (connection == nullptr || KMXOpenConnection(connection, 10, nullptr, 7, &state, nullptr) != 1) return 1;
  static std::atomic<bool> stuck{false};
  auto block = [](uint32_t, uint8_t, uint32_t, uint32_t, const void*, uint32_t, void*) {
    stuck = true;
    pause();
  };
  if (KMXOpenAsyncData(connection, 5, block, nullptr) == nullptr) return 2;
  tellParent("registered");
  for (;;) {
    uint32_t mine = 0, everyone = 0;
    if (stuck && KMXGetAsyncDropPktCnts(connection, &mine, &everyone) == 1 && mine > 0) {
      tellParent("drops " + std::to_string(mine) + " " + std::to_string(everyone));
      pause();
    }
    usleep(20 * 1000);
  }
}

TEST_F(ClientAsyncData, AFullMailboxCountsDropsWhileAnotherClientStillReceives) {
  void* connection = connectUp();
  ASSERT_NE(KMXOpenAsyncData(connection, 5, countLog, &counter), nullptr);
  HelperProcess stuck("stuck_listener");
  ASSERT_EQ(stuck.readLine(20000), "registered");
  sim.startLogStream(5, 400, 16);
  const std::string drops = stuck.readLine(20000);
  ASSERT_EQ(drops.rfind("drops ", 0), 0u) << drops;
  const uint32_t before = counter.packets;
  ASSERT_TRUE(eventually([&] { return counter.packets >= before + 20; })) << "this client goes on";
  sim.stopLogStream(5);

  uint32_t mine = 9, everyone = 0;
  ASSERT_EQ(KMXGetAsyncDropPktCnts(connection, &mine, &everyone), 1);
  EXPECT_GT(everyone, 0u);
  stuck.kill();
  stuck.wait();
}

// Registers for alerts, says so, and waits to be killed.
KMX_TEST_HELPER(registered_and_killed) {
  void* connection = KMXCreateConnection("UT1", 9600);
  uint32_t state = 0;
  if (connection == nullptr || KMXOpenConnection(connection, 10, nullptr, 7, &state, nullptr) != 1) return 1;
  if (KMXOpenAlertData(connection, 3, onAlert, nullptr) == nullptr) return 2;
  tellParent("registered");
  pause();
  return 0;
}

TEST_F(ClientAsyncData, AClientKilledWhileRegisteredLeavesTheOthersServed) {
  void* connection = connectUp();
  ASSERT_NE(KMXOpenAlertData(connection, 3, onAlert, &received), nullptr);
  {
    HelperProcess doomed("registered_and_killed");
    ASSERT_EQ(doomed.readLine(20000), "registered");
    doomed.kill();
    doomed.wait();
  }
  for (uint8_t i = 0; i < 3; ++i) sim.sendAlert(3, {i});
  ASSERT_TRUE(eventually([&] { return received.all().size() >= 3; }));
  EXPECT_EQ(received.all(), (std::vector<std::string>{"alert 3: 0", "alert 3: 1", "alert 3: 2"}));
  uint32_t mine = 9, everyone = 9;
  ASSERT_EQ(KMXGetAsyncDropPktCnts(connection, &mine, &everyone), 1);
  EXPECT_EQ(mine, 0u);
}

}  // namespace
}  // namespace kmx::client::testing
