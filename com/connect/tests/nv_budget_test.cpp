// A UT whose NV items would take more memory than one connection gives its
// NV database is refused, with the reason; a list of large elements that
// hold no value loads, and costs no tree until a path reaches into one.
#include <gmock/gmock.h>
#include <unistd.h>

#include <fstream>

#include "connection_fixture.h"
#include "vx/com/error_info.h"

namespace vx::connect::testing {
namespace {

// This process's resident set, from /proc/self/statm (in pages).
uint64_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  uint64_t size = 0;
  uint64_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

class HostileUtTest : public ConnectionTest {
 protected:
  void serve(kmx::sim::HostileList list) {
    kmx::sim::CatalogueVariant variant;
    variant.hostileList = list;
    ASSERT_TRUE(sim->setCatalogue(variant)) << sim->lastError();
  }
};

TEST_F(HostileUtTest, AListOfTheLargestDimensionIsRefusedAndTheReasonNamesWhereTheBudgetRanOut) {
  serve(kmx::sim::HostileList::HugeDimension);
  startLink();
  EXPECT_EQ(connection->FinishConnecting(kSpc), VEX_E_NV_DATABASE);
  EXPECT_THAT(vx::com::TakeErrorDescription(),
              ::testing::MatchesRegex("the UT's NV items need more than 4194304 nodes "
                                      "\\(item NV_HUGE_DIMENSION_LIST_I, element [0-9]+\\)"));
  // The link stays up with an empty browser.
  UINT connected = 0;
  ASSERT_EQ(connection->IsConnected(&connected), S_OK);
  EXPECT_EQ(connected, 1u);
  EXPECT_EQ(read("NV_VER_NO_I.T_ULONG").result, E_FAIL);
}

TEST_F(HostileUtTest, ElementsWithoutAValueCostNoTreeUntilAPathReachesIntoOne) {
  serve(kmx::sim::HostileList::InactiveElements);
  vx::com::ComPtr<IVexFile> file;
  ASSERT_EQ(connection.As(&file), S_OK);
  const std::string backup = sandbox.runtimeDir() + "/ut.nv";
  const std::string report = sandbox.runtimeDir() + "/report.txt";

  // A save and a restore visit every element; built, the trees of the 50
  // elements would take hundreds of MB.
  const uint64_t before = residentBytes();
  connect();
  ASSERT_EQ(file->WriteNVToFile(backup.c_str()), S_OK);
  ASSERT_EQ(file->ReadNVFromFile(backup.c_str(), report.c_str(), 1), S_OK);
  const uint64_t after = residentBytes();
  const uint64_t grown = after > before ? after - before : 0;
  EXPECT_LT(grown, uint64_t{100} << 20) << "resident set grew by " << (grown >> 20) << " MiB";

  const Read last = read("NV_HUGE_INACTIVE_LIST_I[49].nv_huge_array_type.bytes[65535].bytes[65534]");
  EXPECT_EQ(last.result, S_OK);
  EXPECT_EQ(last.type, NV_UCHAR);
  EXPECT_EQ(last.value, 0u);
}

}  // namespace
}  // namespace vx::connect::testing
