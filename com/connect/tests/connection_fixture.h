// A connection object created through the class table, on a simulated UT
// served through the real link server and client library.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kmx/sim/ut_model.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "vxconnect.h"

namespace vx::connect::testing {

// Records what the connection object reports, from the listening thread.
class RecordingSink final : public vx::com::Implements<IVexAdviseConnectState> {
 public:
  HRESULT StateChange(UINT newState) override { return add("state " + std::to_string(newState)); }
  HRESULT LastGasp(UI4 high, UI4 low, LPSTR text) override {
    return add("lastgasp " + std::to_string(high) + " " + std::to_string(low) + " " + text);
  }
  HRESULT Alert(UI1 alertId) override { return add("alert " + std::to_string(alertId)); }

  // Waits until some recorded event satisfies the predicate.
  bool waitFor(const std::function<bool(const std::vector<std::string>&)>& seen, int timeoutMs = 15000) {
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return seen(events_); });
  }
  bool waitForEvent(const std::string& event, int timeoutMs = 15000) {
    return waitFor([&](const auto& events) { return std::find(events.begin(), events.end(), event) != events.end(); },
                   timeoutMs);
  }
  std::vector<std::string> events() {
    std::lock_guard lock(lock_);
    return events_;
  }
  void clear() {
    std::lock_guard lock(lock_);
    events_.clear();
  }

 private:
  HRESULT add(std::string event) {
    {
      std::lock_guard lock(lock_);
      events_.push_back(std::move(event));
    }
    changed_.notify_all();
    return S_OK;
  }
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
};

class ConnectionTest : public ::testing::Test {
 protected:
  static constexpr const char16_t* kSpc = u"000000";

  void SetUp() override {
    // A private class table: only the fresh build's libraries serve classes.
    const std::string data = sandbox.runtimeDir() + "/data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_DATA_DIRS", data.c_str(), 1);
    kmx::sim::SimulatorOptions options;
    options.portName = "UT1";
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    ASSERT_TRUE(sim->start()) << sim->lastError();
    ASSERT_EQ(vx::com::CreateInstance(CLSID_VexConnection, &connection), S_OK);
    ASSERT_EQ(connection->SetComPortName("UT1"), S_OK);
    ASSERT_EQ(connection.As(&params), S_OK);
    ASSERT_EQ(connection.As(&version), S_OK);
  }

  void TearDown() override {
    params.Reset();
    version.Reset();
    connection.Reset();
  }

  // Brings the link up (waiting for it) without finishing the connection.
  void startLink() {
    ASSERT_EQ(connection->SetTimeout(10), S_OK);
    ASSERT_EQ(connection->StartConnection(), S_OK);
    UINT state = 0;
    ASSERT_EQ(connection->GetConnectionState(&state), S_OK);
    ASSERT_EQ(state, 1u);
  }

  void connect() {
    startLink();
    ASSERT_EQ(connection->FinishConnecting(kSpc), S_OK);
    UINT connected = 0;
    ASSERT_EQ(connection->IsConnected(&connected), S_OK);
    ASSERT_EQ(connected, 1u);
  }

  uint16_t itemNumber(const std::string& name) {
    for (const auto& item : sim->catalogueItems()) {
      if (item.name == name) return item.number;
    }
    ADD_FAILURE() << "no item " << name;
    return 0;
  }

  uint16_t itemSize(const std::string& name) {
    for (const auto& item : sim->catalogueItems()) {
      if (item.name == name) return static_cast<uint16_t>(item.size);
    }
    ADD_FAILURE() << "no item " << name;
    return 0;
  }

  // A leaf's value as the object reads it; E_FAIL and friends as a failure.
  struct Read {
    HRESULT result;
    NVNodeDataType type;
    UI4 value;
  };
  Read read(const std::string& path) {
    Read result{E_FAIL, NV_UNKNOWN, 0};
    result.result = params->ReadNode32BitValue(vx::com::Utf8ToUtf16(path).c_str(), &result.type, &result.value);
    return result;
  }
  HRESULT write(const std::string& path, UI4 value) {
    return params->WriteNode32BitValue(vx::com::Utf8ToUtf16(path).c_str(), value);
  }
  UINT dirty() {
    UINT changed = 99;
    EXPECT_EQ(params->IsBrowserDirty(&changed), S_OK);
    return changed;
  }
  // What the UT holds at a path.
  int64_t utValue(const std::string& path) {
    std::string error;
    const auto value = sim->nvValue(path, &error);
    EXPECT_TRUE(value.has_value()) << path << ": " << error;
    return value.value_or(-1);
  }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  vx::com::ComPtr<IVexConnectionExt> connection;
  vx::com::ComPtr<IVexParams1> params;
  vx::com::ComPtr<IVexVersionExt> version;
};

// A task-allocated text, freed.
inline std::u16string take(LPWSTR text) {
  std::u16string copy = text != nullptr ? std::u16string(text) : u"<null>";
  CoTaskMemFree(text);
  return copy;
}

}  // namespace vx::connect::testing
