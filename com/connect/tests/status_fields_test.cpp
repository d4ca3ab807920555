// Decoding the UT's status answers: layouts, formats, and answers too short
// or malformed for what a getter needs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status_fields.h"

namespace vx::connect {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(StatusFieldsTest, EsnIsMaskedToItsLengthClass) {
  EXPECT_EQ(esnText(Bytes{4, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF}).value, "0x12345678");
  EXPECT_EQ(esnText(Bytes{7, 1, 2, 3, 4, 5, 6, 7, 0xFF}).value, "0x7060504030201");
  EXPECT_EQ(esnText(Bytes{5, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF}).value, "0");
  EXPECT_EQ(esnText(Bytes{3, 1, 2, 3, 4, 5, 6, 7, 8}).result, VEX_E_STATUS_REQUEST);
  EXPECT_EQ(esnText(Bytes{8, 1, 2, 3, 4, 5, 6, 7, 8}).result, VEX_E_STATUS_REQUEST);
  EXPECT_EQ(esnText(Bytes{4, 1, 2, 3, 4, 5, 6, 7}).result, VEX_E_DATA_TOO_SHORT);
  EXPECT_EQ(esnText(Bytes{}).result, VEX_E_NO_DATA);
}

TEST(StatusFieldsTest, EveryGetterChecksTheLengthItReads) {
  EXPECT_EQ(signedWordText(Bytes{1, 2, 3}).result, VEX_E_DATA_TOO_SHORT);
  EXPECT_EQ(signedWordText(Bytes{0xFF, 0xFF, 0xFF, 0xFF}).value, "-1");
  EXPECT_EQ(smidText(Bytes(9, 0x11)).result, VEX_E_DATA_TOO_SHORT);
  EXPECT_EQ(gumVersion(Bytes{3}).result, VEX_E_DATA_TOO_SHORT);
  EXPECT_EQ(firstByteText(Bytes{}).result, VEX_E_NO_DATA);
  EXPECT_EQ(firstByteText(Bytes{200}).value, "200");
  EXPECT_EQ(calibrationFormatText(Bytes(19, 1)).result, VEX_E_DATA_TOO_SHORT);
  EXPECT_EQ(calibrationVersionText(Bytes(21, 1)).result, VEX_E_DATA_TOO_SHORT);
  // A newer block that is present but short is not replaced by the older one.
  EXPECT_EQ(calibration(Bytes(20, 1), Bytes(21, 1)).result, VEX_E_DATA_TOO_SHORT);
  EXPECT_EQ(calibration(Bytes{}, Bytes{}).result, VEX_E_NO_DATA);
}

TEST(StatusFieldsTest, SmidDigitsAreNibblesAndHighNibblesComeFirst) {
  Bytes answer = {0x1A, 0x23, 0x45, 0x67, 0x89, 0xF0, 0x00, 0x00, 0x00, 0x0B};
  EXPECT_EQ(smidText(answer).value, "10234567890000000000");
}

TEST(StatusFieldsTest, CalibrationInBothLayouts) {
  Bytes oldLayout = {1, 2, 0, 0, 2, 1, 0, 5, 5, 17, 19, 99, 0x2A, 0x01, 1, 0, 3, 9, 0, 0};
  Bytes newLayout(22, 0);
  newLayout[0] = 2;
  newLayout[2] = 0;
  newLayout[4] = 1;
  newLayout[6] = 3, newLayout[7] = 4, newLayout[8] = 5, newLayout[9] = 6;
  newLayout[10] = 5, newLayout[11] = 17, newLayout[12] = 19, newLayout[13] = 99;
  newLayout[14] = 0x10, newLayout[15] = 0x27;
  newLayout[16] = 9, newLayout[17] = 8, newLayout[18] = 7, newLayout[19] = 6;

  const auto older = calibration(oldLayout, {});
  ASSERT_TRUE(older.ok());
  EXPECT_EQ(dottedText(older.value.stationCodeVersion), "2.1.0.5");
  EXPECT_EQ(older.value.month, 5);
  EXPECT_EQ(older.value.day, 17);
  EXPECT_EQ(older.value.year, 1999);
  EXPECT_EQ(older.value.testStation, 0x012A);
  EXPECT_EQ(dottedText(older.value.manufacturerCode), "1.0.3.9");
  EXPECT_EQ(calibrationFormatText(oldLayout).value, "1.2.0.0");

  const auto newer = calibration(oldLayout, newLayout);
  ASSERT_TRUE(newer.ok());
  EXPECT_EQ(dottedText(newer.value.stationCodeVersion), "3.4.5.6");
  EXPECT_EQ(newer.value.month, 5);
  EXPECT_EQ(newer.value.day, 17);
  EXPECT_EQ(newer.value.year, 1999);
  EXPECT_EQ(newer.value.testStation, 10000);
  EXPECT_EQ(dottedText(newer.value.manufacturerCode), "9.8.7.6");
  EXPECT_EQ(calibrationVersionText(newLayout).value, "2.0.1");
}

TEST(StatusFieldsTest, MainModelByItsFirstByte) {
  EXPECT_EQ(mainModel(Bytes{0xC9}), UTM_TRIMODE_PORTABLE);
  EXPECT_EQ(mainModel(Bytes{0xCA}), UTM_SINGLEMODE_PORTABLE);
  EXPECT_EQ(mainModel(Bytes{0xCB}), UTM_ANALOG_FIXED);
  EXPECT_EQ(mainModel(Bytes{0xCC}), UTM_DIGITAL_FIXED);
  EXPECT_EQ(mainModel(Bytes{0xCD, 0x00}), UTM_MODULE);
  EXPECT_EQ(mainModel(Bytes{0xCE}), UTM_UNKNOWN);
  EXPECT_EQ(mainModel(Bytes{}), UTM_UNKNOWN);
}

TEST(StatusFieldsTest, TextAnswersGetCarriageReturnsBeforeBareLineFeeds) {
  const std::string text = "\nA\r\nB\n\nC";
  const auto decoded = textAnswer(Bytes(text.begin(), text.end()));
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded.value, u"\r\nA\r\nB\r\n\r\nC");
  // The UT's 8-bit text is Windows-1252: every byte converts.
  const std::string accented = "Vers\xE3o \xA9 \x80";
  EXPECT_EQ(textAnswer(Bytes(accented.begin(), accented.end())).value, u"Vers\u00E3o \u00A9 \u20AC");
  const auto lone = textAnswer(Bytes{'A', 0xC3});
  EXPECT_EQ(lone.result, S_OK);
  EXPECT_EQ(lone.value, u"A\u00C3");
  EXPECT_EQ(textAnswer(Bytes{}).result, VEX_E_NO_DATA);
}

}  // namespace
}  // namespace vx::connect
