// The digit encodings against hand-computed values.
#include "digit_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace vx::utconfig {
namespace {

TEST(DigitCodes, PhoneBookDigitsBothWays) {
  const std::string digits = "0123456789*#-TH";
  for (char c : digits) EXPECT_EQ(DecodePhoneBookDigit(EncodePhoneBookDigit(c)), c) << c;
  EXPECT_EQ(DecodePhoneBookDigit(10), ' ');
  EXPECT_EQ(EncodePhoneBookDigit(' '), 0u);
  EXPECT_EQ(EncodePhoneBookDigit('A'), 0u);
}

TEST(DigitCodes, SpDigitsWithBlanks) {
  char out[3];
  UnpackSpDigits(0x26F, out);
  EXPECT_EQ(std::string(out, 3), "26 ");
  const char in[3] = {'3', '1', '0'};
  EXPECT_EQ(PackSpDigits(in), 0x310u);
  const char odd[3] = {'x', ' ', '9'};
  EXPECT_EQ(PackSpDigits(odd), 0x0F9u);
}

TEST(DigitCodes, MinGroupsCountZeroAsTen) {
  EXPECT_EQ(EncodeDigitGroup("310", 3), 209u);
  EXPECT_EQ(EncodeDigitGroup("000", 3), 999u);
  EXPECT_EQ(EncodeDigitGroup("111", 3), 0u);
  EXPECT_EQ(EncodeDigitGroup("00", 2), 99u);
  char out[3];
  DecodeDigitGroup(999, 3, out);
  EXPECT_EQ(std::string(out, 3), "000");
  DecodeDigitGroup(12, 3, out);
  EXPECT_EQ(std::string(out, 3), "123");
}

TEST(DigitCodes, Min1KeepsTheThousandsDigit) {
  const char number[7] = {'2', '0', '3', '0', '4', '0', '5'};
  EXPECT_EQ(EncodeMin1(number), (192u << 14) | (10u << 10) | 394u);
  char out[7];
  DecodeMin1(EncodeMin1(number), out);
  EXPECT_EQ(std::string(out, 7), "2030405");
  const char seven[7] = {'5', '5', '5', '7', '1', '0', '0'};
  DecodeMin1(EncodeMin1(seven), out);
  EXPECT_EQ(std::string(out, 7), "5557100");
}

}  // namespace
}  // namespace vx::utconfig
