// A UT whose NV items would take more memory than one connection gives its
// NV database is refused, with the reason.
#include <gmock/gmock.h>

#include "connection_fixture.h"
#include "vx/com/error_info.h"

namespace vx::connect::testing {
namespace {

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

}  // namespace
}  // namespace vx::connect::testing
