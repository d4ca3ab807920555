// The NV database loaded from the simulated UT through the real link server
// and client library, for each variant of UT software the simulator offers.
// The simulator resolves paths with its own code over its own catalogue, so
// the two trees are checked against each other leaf by leaf.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "kmx/sim/nv_catalogue.h"
#include "kmx/sim/ut_commands.h"
#include "kmx/sim/ut_simulator.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmx_ut_access.h"
#include "kmxclient.h"
#include "node_value.h"
#include "nv_loader.h"

namespace vx::nvdb {
namespace {

class SimulatorLoadTest : public ::testing::Test {
 protected:
  void start(const kmx::sim::CatalogueVariant& variant = {}) {
    kmx::sim::SimulatorOptions options;
    options.catalogue = variant;
    sim = std::make_unique<kmx::sim::UtSimulator>(options);
    ASSERT_TRUE(sim->start()) << sim->lastError();
    connection = KMXCreateConnection("UT1", 115200);
    ASSERT_NE(connection, nullptr) << KMXGetErrorDesc(KMXGetLastError());
    uint32_t state = 0;
    ASSERT_EQ(KMXOpenConnection(connection, 10, nullptr, KMX_LINK_UP, &state, nullptr), 1);
    ASSERT_EQ(state, KMX_LINK_UP);
    ut = std::make_unique<KmxUtAccess>(connection);
    options_.messages = [this](const NvMessage& message) { messages.push_back(englishText(message)); };
  }
  void TearDown() override {
    if (connection != nullptr) KMXCloseHandle(connection);
  }

  std::unique_ptr<NvDatabase> load() { return loadNvDatabase(*ut, options_); }

  // Every entry's leaves, paths and values, against the simulator's own view.
  void expectSameTreeAsTheSimulator(NvDatabase& database) {
    const auto catalogue = sim->catalogue();
    std::vector<std::string> names;
    for (const NVItemInfo& item : database.items()) names.push_back(item.name);
    EXPECT_EQ(names, catalogue->entryNames());
    for (NVItemInfo& item : database.items()) {
      std::vector<std::string> paths;
      for (const NodeRef& leaf : database.leaves(item, *ut)) {
        const std::string path = database.pathOf(leaf);
        paths.push_back(path);
        const NVNode& node = *leaf.subtreeNode();
        // An item the UT holds none of is never read: its tree shows zeros.
        if (node.suffix == NodeSuffix::Error || item.instanceCount == 0) continue;
        const auto value = readNodeValue(item, node);
        ASSERT_TRUE(value.has_value()) << path;
        std::string error;
        const auto expected = sim->nvValue(path, &error);
        if (!expected) continue;  // an element without a value reads as zeros
        EXPECT_EQ(*value, static_cast<uint32_t>(*expected)) << path;
      }
      EXPECT_EQ(paths, catalogue->leafPaths(item.name)) << item.name;
    }
  }

  kmx::testing::RuntimeSandbox sandbox;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
  void* connection = nullptr;
  std::unique_ptr<KmxUtAccess> ut;
  LoadOptions options_;
  std::vector<std::string> messages;
};

TEST_F(SimulatorLoadTest, TheDefaultCatalogueLoadsWithEveryLeafAndValue) {
  start();
  const auto database = load();
  ASSERT_NE(database, nullptr) << (messages.empty() ? "" : messages.front());
  EXPECT_TRUE(messages.empty());
  expectSameTreeAsTheSimulator(*database);

  // The paths the upper layers use.
  const auto date = database->resolve("NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[0]", *ut);
  ASSERT_TRUE(date.has_value());
  EXPECT_EQ(date->subtreeNode()->data.dataType, NVNodeDataType::NV_UCHAR);
  EXPECT_TRUE(database->resolve("NV_VER_NO_I.T_ULONG", *ut).has_value());
}

TEST_F(SimulatorLoadTest, AValueWrittenInTheUtIsWhatTheTreeReads) {
  start();
  const std::string path = "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[3]";
  ASSERT_TRUE(sim->setNvValue(path, 0xA5));
  const auto database = load();
  ASSERT_NE(database, nullptr);
  const auto ref = database->resolve(path, *ut);
  ASSERT_TRUE(ref.has_value());
  EXPECT_EQ(readNodeValue(*ref->item, *ref->subtreeNode()), 0xA5u);
}

TEST_F(SimulatorLoadTest, EveryVariantOfUtSoftwareLoads) {
  kmx::sim::CatalogueVariant unicode;
  unicode.unicodePhoneBookNames = true;
  unicode.nameArrayLength = 33;
  kmx::sim::CatalogueVariant oldSms;
  oldSms.oldSmsLayout = true;
  kmx::sim::CatalogueVariant shortTable;
  shortTable.shortDescriptorTable = true;
  for (const auto& variant : {unicode, oldSms, shortTable}) {
    start(variant);
    const auto database = load();
    ASSERT_NE(database, nullptr);
    expectSameTreeAsTheSimulator(*database);
    KMXCloseHandle(connection);
    connection = nullptr;
    sim.reset();
  }
}

TEST_F(SimulatorLoadTest, NoSymbolInformationFailsWithoutReadingUtMemory) {
  kmx::sim::CatalogueVariant empty;
  empty.emptySymbolInformation = true;
  start(empty);
  EXPECT_EQ(load(), nullptr);
  EXPECT_EQ(sim->framesReceived(kmx::sim::ut_command::kReadRegion), 0u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("The symbol information needed could not be read from the phone.", 0), 0u);
}

}  // namespace
}  // namespace vx::nvdb
