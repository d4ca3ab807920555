// A UT configuration object attached to a connection object, both created
// through the class table, on a simulated UT served through the real link
// server and client library.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kmx/sim/ut_model.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "vxconnect.h"
#include "vxutconfig.h"

namespace vx::utconfig::testing {

class UTConfigTest : public ::testing::Test {
 protected:
  // The UT software the simulator runs; a fixture for a variant overrides it.
  virtual kmx::sim::CatalogueVariant variant() const { return {}; }

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
    ASSERT_EQ(vx::com::CreateInstance(CLSID_UTConfig, &attach), S_OK);
    ASSERT_EQ(attach.As(&general), S_OK);
    ASSERT_EQ(attach.As(&orbitnet), S_OK);
    ASSERT_EQ(attach.As(&terrestrial), S_OK);
    ASSERT_EQ(attach.As(&ui), S_OK);
    ASSERT_EQ(attach.As(&afut), S_OK);
  }

  void TearDown() override {
    if (attach) attach->DetachConnection();
    general.Reset();
    orbitnet.Reset();
    terrestrial.Reset();
    ui.Reset();
    afut.Reset();
    attach.Reset();
    closeConnection();
  }

  // A new, finished connection object, attached to the configuration object.
  void connect() {
    ASSERT_EQ(vx::com::CreateInstance(CLSID_VexConnection, &connection), S_OK);
    ASSERT_EQ(connection->SetComPortName("UT1"), S_OK);
    ASSERT_EQ(connection->SetTimeout(10), S_OK);
    ASSERT_EQ(connection->StartConnection(), S_OK);
    ASSERT_EQ(connection->FinishConnecting(u"000000"), S_OK);
    ASSERT_EQ(connection.As(&params), S_OK);
    ASSERT_EQ(attach->AttachConnection(connection.Get()), S_OK);
  }

  void closeConnection() {
    if (attach) attach->DetachConnection();
    params.Reset();
    if (connection) connection->CloseConnection();
    connection.Reset();
  }

  // Commits what the configuration object staged, then reads through a
  // fresh connection, so a get afterwards answers from the UT.
  void commitAndReconnect() {
    ASSERT_EQ(params->CommitChanges(), S_OK);
    closeConnection();
    connect();
  }

  UINT dirtyItems() {
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
  void setUtValue(const std::string& path, int64_t value) {
    std::string error;
    ASSERT_TRUE(sim->setNvValue(path, value, &error)) << path << ": " << error;
  }
  uint16_t itemNumber(const std::string& name) {
    for (const auto& item : sim->catalogueItems()) {
      if (item.name == name) return item.number;
    }
    ADD_FAILURE() << "no item " << name;
    return 0;
  }
  // Makes an element of an item hold no value in the UT.
  void deactivate(const std::string& item, uint16_t index) {
    const uint16_t number = itemNumber(item);
    sim->withModel([&](kmx::sim::UtModel& model) { model.nv.setActive(number, index, false); });
  }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  vx::com::ComPtr<IVexConnectionExt> connection;
  vx::com::ComPtr<IVexParams1> params;
  vx::com::ComPtr<IUTConfigAttach> attach;
  vx::com::ComPtr<IGeneralSettings_1_4> general;
  vx::com::ComPtr<IOrbitnetSettings_1_5> orbitnet;
  vx::com::ComPtr<ITerrestrialSettings_1_5> terrestrial;
  vx::com::ComPtr<IUISettings_1_5> ui;
  vx::com::ComPtr<IAFUTSettings_1_3> afut;
};

// A task-allocated text, freed.
inline std::u16string take(LPWSTR text) {
  std::u16string copy = text != nullptr ? std::u16string(text) : u"<null>";
  CoTaskMemFree(text);
  return copy;
}

inline std::string narrow(const std::u16string& text) { return vx::com::Utf16ToUtf8(text); }

}  // namespace vx::utconfig::testing
