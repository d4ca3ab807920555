// Formatting a UT-supplied format safely.
#include <gtest/gtest.h>

#include "last_gasp.h"

namespace kmx::server {
namespace {

std::string format(std::string_view fmt, std::vector<FormatArg> args) { return formatBounded(fmt, args); }

TEST(LastGaspFormat, ConversionsMatchingTheArgumentsAreCarriedOut) {
  EXPECT_EQ(format("%d|%5u|%-4x|%08X|%o|%c|%s|%%", {uint32_t(0xFFFFFFFF), 7u, 0xabu, 0xbeefu, 8u, uint32_t('A'),
                                                   std::string("txt")}),
            "-1|    7|ab  |0000BEEF|10|A|txt|%");
  EXPECT_EQ(format("%ld %hhu", {5u, 6u}), "5 6") << "length modifiers: every argument is 32 bits";
}

TEST(LastGaspFormat, AnythingElseIsPrintedAsItStands) {
  EXPECT_EQ(format("%s", {5u}), "%s") << "a number for a text";
  EXPECT_EQ(format("%d", {std::string("x")}), "%d");
  EXPECT_EQ(format("%d %d", {1u}), "1 %d") << "more conversions than arguments";
  EXPECT_EQ(format("%n%p%f%*d", {1u, 2u}), "%n%p%f%*d");
  EXPECT_EQ(format("tail %", {}), "tail %");
  EXPECT_EQ(format("%#d %#x", {1u, 255u}), "1 0xff") << "undefined flags are dropped";
}

TEST(LastGaspFormat, OutputIsBoundedToTheBuffer) {
  std::string text = format("%999d%999d", {1u, 2u});
  EXPECT_EQ(text.size(), kLastGaspTextBuffer - 1);
  EXPECT_EQ(format(std::string(2000, 'a'), {}).size(), kLastGaspTextBuffer - 1);
}

TEST(LastGaspPayload, ShortOrUnterminatedRecordsAreRefused) {
  EXPECT_FALSE(lastGaspPayload(3, std::vector<uint8_t>(16, 0)));
  std::vector<uint8_t> older(17, 0);
  EXPECT_TRUE(lastGaspPayload(3, older));
  std::vector<uint8_t> newer(73, 'x');
  newer[72] = 0;  // format terminated, file name not
  EXPECT_FALSE(lastGaspPayload(5, newer));
  newer[30] = 0;
  auto payload = lastGaspPayload(5, newer);
  ASSERT_TRUE(payload);
  EXPECT_EQ(payload->size(), std::string(reinterpret_cast<const char*>(payload->data() + 8)).size() + 13);
  EXPECT_FALSE(lastGaspPayload(4, older));
}

}  // namespace
}  // namespace kmx::server
