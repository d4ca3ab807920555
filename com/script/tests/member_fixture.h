// A script object connected to a simulated UT through the real connection
// object, link server and UT configuration object, with its members called
// by name as the D-Bus layer calls them. The object's timers run on a loop
// that the test drives: runFor() and runUntil() run what falls due.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kmx/sim/ut_model.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "member_table.h"
#include "port_claims.h"
#include "script_object.h"
#include "vx/res/resource_library.h"

namespace vx::script::testing {

// Timers on the wall clock, run only from runFor() and runUntil().
class ManualLoop final : public LoopScheduler {
 public:
  using Clock = std::chrono::steady_clock;

  TimerId every(int periodMs, std::function<void()> tick) override { return add(periodMs, periodMs, std::move(tick)); }
  TimerId after(int delayMs, std::function<void()> fn) override { return add(delayMs, 0, std::move(fn)); }
  void cancel(TimerId id) override { timers_.erase(id); }
  void post(std::function<void()> fn) override {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(fn));
  }

  // Runs what falls due for `ms` milliseconds.
  void runFor(int ms) {
    runUntil([] { return false; }, ms);
  }

  // Runs what falls due until `done` holds; false when `timeoutMs` passed first.
  bool runUntil(const std::function<bool()>& done, int timeoutMs = 15000) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (Clock::now() >= deadline) return false;
      if (!runOneDue()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

 private:
  struct Timer {
    Clock::time_point due;
    int periodMs;
    std::function<void()> fn;
  };

  TimerId add(int delayMs, int periodMs, std::function<void()> fn) {
    const TimerId id = ++lastId_;
    timers_[id] = Timer{Clock::now() + std::chrono::milliseconds(delayMs), periodMs, std::move(fn)};
    return id;
  }

  // Runs a posted call, else the earliest due timer; a timer may cancel or
  // add others.
  bool runOneDue() {
    std::function<void()> posted;
    {
      std::lock_guard lock(postedMutex_);
      if (!posted_.empty()) {
        posted = std::move(posted_.front());
        posted_.pop_front();
      }
    }
    if (posted) {
      posted();
      return true;
    }
    auto due = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.due <= Clock::now() && (due == timers_.end() || it->second.due < due->second.due)) due = it;
    }
    if (due == timers_.end()) return false;
    std::function<void()> fn = due->second.fn;
    if (due->second.periodMs > 0) {
      due->second.due += std::chrono::milliseconds(due->second.periodMs);
    } else {
      timers_.erase(due);
    }
    fn();
    return true;
  }

  TimerId lastId_ = kNoTimer;
  std::map<TimerId, Timer> timers_;
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
};

class ScriptMembersTest : public ::testing::Test {
 protected:
  // The UT software the simulator runs; a fixture for another UT overrides it.
  virtual kmx::sim::CatalogueVariant variant() const { return {}; }
  // The resource library the object takes its loader program from.
  virtual std::shared_ptr<const vx::res::ResourceLibrary> resources() const { return nullptr; }

  void SetUp() override {
    // A private class table: only the fresh build's libraries serve classes.
    const std::string data = sandbox.runtimeDir() + "/data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_DATA_DIRS", data.c_str(), 1);
    kmx::sim::SimulatorOptions options;
    options.portName = "UT1";
    options.catalogue = variant();
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    ASSERT_TRUE(sim->start()) << sim->lastError();
    object = std::make_shared<ScriptObject>(loop, claims, [](uint32_t) { return std::nullopt; }, resources());
    connect();
  }

  void TearDown() override {
    if (object) object->Disconnect();
    object.reset();
  }

  void connect() {
    bool answered = false;
    HRESULT hr = E_FAIL;
    int16_t state = 0;
    object->Connect(u"UT1", 115200, -1, u"000000", [&](HRESULT result, int16_t newState) {
      answered = true;
      hr = result;
      state = newState;
    });
    ASSERT_TRUE(loop.runUntil([&] { return answered; }));
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(state, ScriptObject::kStateUp);
  }

  // Calls a member by its D-Bus name: the result and what it answered.
  std::pair<HRESULT, Value> call(const std::string& name, std::vector<Value> args = {}) {
    for (const Member& member : scriptMembers()) {
      if (member.name != name) continue;
      EXPECT_EQ(member.signature.size(), args.size()) << name;
      EXPECT_NE(member.handler, nullptr) << name;
      if (member.handler == nullptr) break;
      Value result;
      object->clearError();
      HRESULT hr = member.handler(*object, Args(std::move(args)), result);
      return {hr, std::move(result)};
    }
    ADD_FAILURE() << "no member " << name;
    std::pair<HRESULT, Value> missing;  // built in place: GCC 12 at -O1 misreads a moved empty Value
    missing.first = E_NOTIMPL;
    return missing;
  }

  // A call that must succeed, and its answer.
  Value ok(const std::string& name, std::vector<Value> args = {}) {
    auto [hr, result] = call(name, std::move(args));
    EXPECT_EQ(hr, S_OK) << name;
    return result;
  }
  int32_t okNumber(const std::string& name, std::vector<Value> args = {}) {
    Value result = ok(name, std::move(args));
    if (auto* v = std::get_if<int32_t>(&result)) return *v;
    if (auto* v = std::get_if<int16_t>(&result)) return *v;
    ADD_FAILURE() << name << " gave no number";
    return -9999;
  }
  std::u16string okText(const std::string& name, std::vector<Value> args = {}) {
    Value result = ok(name, std::move(args));
    if (auto* v = std::get_if<std::u16string>(&result)) return *v;
    ADD_FAILURE() << name << " gave no text";
    return u"<none>";
  }
  HRESULT status(const std::string& name, std::vector<Value> args = {}) { return call(name, std::move(args)).first; }

  // Writes what the members staged into the UT.
  void commit() { ASSERT_EQ(object->CommitChanges(), S_OK); }

  // What the UT holds at a path.
  int64_t utValue(const std::string& path) {
    std::string error;
    const auto value = sim->nvValue(path, &error);
    EXPECT_TRUE(value.has_value()) << path << ": " << error;
    return value.value_or(-1);
  }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  ManualLoop loop;
  PortClaims claims;
  std::shared_ptr<ScriptObject> object;
};

// Arguments as the D-Bus layer passes them: 'n', 'i' and 's'.
inline Value Short(int v) { return Value(static_cast<int16_t>(v)); }
inline Value Long(int32_t v) { return Value(v); }
inline Value Text(std::u16string v) { return Value(std::move(v)); }

}  // namespace vx::script::testing
