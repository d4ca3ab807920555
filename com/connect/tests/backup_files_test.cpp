// Backup files without a UT: the reader's grammar and messages, the header,
// and the converters' output byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "nv_converters.h"
#include "nv_file_info.h"
#include "nv_file_reader.h"

namespace vx::backup {
namespace {

// The message a text fails with, or "" when it parses.
std::string failure(const std::string& text) {
  try {
    parseNvFile(text);
  } catch (const CNVFileParsingException& error) {
    return error.report();
  }
  return "";
}

TEST(NvFileReaderTest, SectionsPathsAndValuesInFileOrder) {
  const auto sections = parseNvFile("VEX\n1\n201\n7\n9\n[A]\nt.x 1\nt.y\t 42 \r\n[B[1]] trailing text\n[C]\n");
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(sections[0].name, "A");
  EXPECT_EQ(sections[0].paths, (std::vector<std::string>{"A.t.x", "A.t.y"}));
  EXPECT_EQ(sections[0].values, (std::vector<std::string>{"1", "42 "}));
  EXPECT_EQ(sections[1].name, "B[1]");
  EXPECT_TRUE(sections[2].paths.empty());
}

TEST(NvFileReaderTest, EveryErrorWithItsLineNumber) {
  EXPECT_EQ(failure("VEX\n1\n"), "Parse error on line 2:  Unexpected end of file.");
  EXPECT_EQ(failure("VEX\n[A\nx 1\n"), "Parse error on line 2:  No matching ]");
  EXPECT_EQ(failure("[A[1]\n"), "Parse error on line 1:  No matching ]");
  EXPECT_EQ(failure("[A]\nt.x\n"), "Parse error on line 2:  Not an item name or path definition.");
  EXPECT_EQ(failure("[A]\nt.x 1\n\n[B]\n"), "Parse error on line 3:  Not an item name or path definition.");
  EXPECT_EQ(failure("[A]\nt.x 1\nt.y twelve\n"), "Parse error on line 3:  Not a number.");
  EXPECT_EQ(failure("[A]\nt.x 4294967296\n"), "Parse error on line 2:  Not a number.");
  EXPECT_EQ(failure("[A]\nt.x 4294967295\nt.y -1\n"), "");
  // CR LF ends a line as LF does; a last line without a line feed is taken
  // where nothing can be cut from it, never a value line.
  EXPECT_EQ(failure("[A]\r\nt.x 1\r\n[B]"), "");
  EXPECT_EQ(failure("[A]"), "");
  EXPECT_EQ(failure("[A]\r\nt.x 1\r\nt.y 12"), "Parse error on line 3:  Unexpected end of file.");
  // A line of 999 bytes and its line feed fills the buffer; one byte less fits.
  EXPECT_EQ(failure("[A]\n" + std::string(996, 'p') + " 1\n"), "");
  EXPECT_EQ(failure("[A]\n" + std::string(997, 'p') + " 1\n"), "Parse error on line 2:  Line too long.");
  EXPECT_EQ(failure("[A]\n" + std::string(997, 'p') + " 1"), "Parse error on line 2:  Line too long.");
}

TEST(NvFileReaderTest, TheUserIsToldTheLineAndTheTextAtFault) {
  auto described = [](const std::string& text) {
    try {
      parseNvFile(text);
    } catch (const CNVFileParsingException& error) {
      return error.description();
    }
    return std::string();
  };
  EXPECT_EQ(described("VEX\n[A]\nt.x 1\nt.y 42abc\n"), "line 4: not a number: 42abc");
  EXPECT_EQ(described("VEX\n[A\n"), "line 2: no ] closes the section name: [A");
  EXPECT_EQ(described("[A]\nlonely\n"), "line 2: neither a [section] nor a \"path value\" line: lonely");
  EXPECT_EQ(described("VEX\n"), "line 1: the file ends before its first section");
  EXPECT_EQ(described("[A]\nt.x " + std::string(200, '9') + "\n").size(), 85u) << "long text is cut";
}

TEST(NvFileReaderTest, ValuesAreDecimalNumbersOfThirtyTwoBits) {
  uint32_t value = 0;
  EXPECT_TRUE(parseValue(" 17 ", value));
  EXPECT_EQ(value, 17u);
  EXPECT_TRUE(parseValue("-2", value));
  EXPECT_EQ(value, 0xFFFFFFFEu);
  EXPECT_FALSE(parseValue("", value));
  EXPECT_FALSE(parseValue("0x10", value));
  EXPECT_FALSE(parseValue("12 13", value));
}

TEST(NvFileInfoTest, TheHeaderAndWhatItRefuses) {
  const auto info = parseNvFileInfo("VEX\n1\n201\n7\n4096\n[A]\n");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->model, "201");
  EXPECT_EQ(info->nrVersion, 7);
  EXPECT_EQ(info->version, 4096u);
  EXPECT_EQ(nvFileHeader("201", 7, 4096), "VEX\n1\n201\n7\n4096\n");
  EXPECT_TRUE(parseNvFileInfo("VEX 1 202 1 1").has_value());
  EXPECT_FALSE(parseNvFileInfo("VEX\n0\n201\n7\n1\n").has_value());
  EXPECT_FALSE(parseNvFileInfo("VEX\n1\n201\n7\n").has_value());
  EXPECT_FALSE(parseNvFileInfo("VEX\n1\n201\n70000\n1\n").has_value());
  EXPECT_FALSE(parseNvFileInfo("VEZ\n1\n201\n7\n1\n").has_value());
  EXPECT_FALSE(parseNvFileInfo("VEX").has_value());
}

std::string lines(const std::string& prefix, const std::vector<int>& values) {
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out += prefix + "[" + std::to_string(i) + "] " + std::to_string(values[i]) + "\n";
  }
  return out;
}

TEST(NvConvertersTest, DirectoryNumbersAndNamNamesBecomeDisplayCopies) {
  std::string file = "VEX\n1\n201\n1\n1\n";
  for (int n = 0; n < 3; ++n) {
    file += "[NV_UI_DIR_NUMBER_I[" + std::to_string(n) + "]]\n";
    file += lines("ui_nv_dir_number_type.dir_number[10].dir_number", n == 0 ? std::vector<int>{'5', '5', '5', '1', '2', '3', '4', 0, 0, 0}
                                                                          : std::vector<int>(10, 0));
    file += "[NV_UI_NAM_NAME_I[" + std::to_string(n) + "]]\n";
    file += lines("ui_nv_name_nam_type.name[12].name", std::vector<int>{'H', 'O', 'M', 'E', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '});
  }
  std::string out;
  CNVCNAMName converter;
  ASSERT_EQ(converter.convert(file, out), CNVConvertFile::Result::Converted);
  ASSERT_EQ(out.substr(0, file.size()), file);
  const std::string added = out.substr(file.size());
  const std::string entry = "ui_nv_phone_book_entry_type.";
  std::string first = "[NV_UI_DIRECTORY_NUMBER_I[0]]\r\n" + entry + "hdr.digits_index 7\r\n" + entry +
                      "hdr.flags.valid 1\r\n" + entry + "hdr.flags.secret 0\r\n" + entry + "hdr.flags.alpha_valid 1\r\n" +
                      entry + "hdr.flags.international 0\r\n" + entry + "hdr.flags.reserve 0\r\n";
  const int nibbles[16] = {0x55, 0x51, 0x23, 0x40};
  for (int i = 0; i < 16; ++i) {
    first += entry + "nibble[16].nibble[" + std::to_string(i) + "] " + std::to_string(nibbles[i]) + "\r\n";
  }
  const char* home = "HOME        ";
  for (int i = 0; i < 12; ++i) {
    first += entry + "alpha[12].alpha[" + std::to_string(i) + "] " + std::to_string(int{home[i]}) + "\r\n";
  }
  EXPECT_EQ(added.substr(0, first.size()), first);
  EXPECT_NE(added.find("[NV_UI_DIRECTORY_NUMBER_I[2]]\r\n" + entry + "hdr.digits_index 0\r\n"), std::string::npos);

  // What comes out parses, and is left alone the second time.
  EXPECT_EQ(parseNvFile(out).size(), 9u);
  std::string again;
  EXPECT_EQ(converter.convert(out, again), CNVConvertFile::Result::Unchanged);
}

TEST(NvConvertersTest, TheSatelliteNumberAloneGivesOneDisplayCopy) {
  std::vector<int> values(35, 0);
  values[0] = '1', values[1] = '2', values[2] = '#';
  values[34] = 3;
  const std::string file = "VEX\n[NV_UI_SP_MOBILE_DIALED_NUM]\n" + lines("ui_digits_type.digits[32].digits", values);
  std::string out;
  ASSERT_EQ(CNVCNAMName().convert(file, out), CNVConvertFile::Result::Converted);
  const auto sections = parseNvFile(out);
  ASSERT_EQ(sections.size(), 2u);
  const auto& copy = sections[1];
  EXPECT_EQ(copy.name, "NV_UI_DIRECTORY_NUMBER_I");
  ASSERT_EQ(copy.values.size(), 34u);
  EXPECT_EQ(copy.values[0], "3");   // digits_index
  EXPECT_EQ(copy.values[3], "0");   // alpha_valid
  EXPECT_EQ(copy.values[6], "18");  // '1' '2' in the first nibble byte
  EXPECT_EQ(copy.values[7], "0");   // '#' is no digit of the display copy
}

TEST(NvConvertersTest, BlocksThatAreCutShortFailTheConversion) {
  std::string out;
  EXPECT_EQ(CNVCNAMName().convert("[NV_UI_SP_MOBILE_DIALED_NUM]\nx 1\n[NEXT]\n", out), CNVConvertFile::Result::Failed);
  EXPECT_EQ(CNVCNAMName().convert("[NV_UI_DIRECTORY_NUMBER_I[0]]\n", out), CNVConvertFile::Result::Unchanged);
  EXPECT_EQ(CNVCNAMName().convert("[NV_SCM_I]\nT_UCHAR 1\n", out), CNVConvertFile::Result::Unchanged);
}

TEST(NvConvertersTest, ANumberHeldWithoutAValueGivesAnEmptyCopyNotAFailure) {
  std::string file = "VEX\n1\n201\n1\n1\n[NV_UI_DIR_NUMBER_I[0]]\n";
  file += "[NV_UI_NAM_NAME_I[0]]\n" + lines("ui_nv_name_nam_type.name[12].name", std::vector<int>(12, 'A'));
  file += "[NV_UI_DIR_NUMBER_I[1]]\n[NV_UI_NAM_NAME_I[1]]\n";
  std::string out;
  CNVCNAMName converter;
  ASSERT_EQ(converter.convert(file, out), CNVConvertFile::Result::Converted) << converter.failure();
  const auto sections = parseNvFile(out);
  ASSERT_EQ(sections.size(), 7u);
  EXPECT_EQ(sections[4].name, "NV_UI_DIRECTORY_NUMBER_I[0]");
  EXPECT_EQ(sections[4].values[0], "0") << "no digits";
  EXPECT_EQ(sections[4].values[3], "1") << "the name is valid";
  EXPECT_EQ(sections[5].name, "NV_UI_DIRECTORY_NUMBER_I[1]");
  EXPECT_TRUE(sections[5].paths.empty()) << "neither half had a value";

  // A section cut short is still refused, and says where.
  EXPECT_EQ(converter.convert("VEX\n[NV_UI_DIR_NUMBER_I[0]]\nd 1\n[NV_UI_NAM_NAME_I[0]]\n", out),
            CNVConvertFile::Result::Failed);
  EXPECT_EQ(converter.failure(), "line 2: [NV_UI_DIR_NUMBER_I[0]] holds 1 of its 10 values");
}

TEST(NvConvertersTest, OldSmsMessagesGetTheNewHeaderAndPaths) {
  const std::string file =
      "VEX\n[NV_SCM_I]\nT_UCHAR 1\n[NV_SMS_MSGS_1_0]\nsmsi_msg_type.msg_id 7\n[NV_SMS_MSGS_2_0[3]]\n"
      "[NV_SMS_MSGS_2_0[0]]\nsmsi_msg_type.priority 2\n";
  std::string out;
  ASSERT_EQ(CNVCSMSFormat(true).convert(file, out), CNVConvertFile::Result::Converted);
  EXPECT_EQ(out,
            "VEX\n[NV_SCM_I]\nT_UCHAR 1\n[NV_SMS_MSGS_1_0]\nsms_dm_msg_type.nv_msg_hdr.status 0\n"
            "sms_dm_msg_type.nv_msg_hdr.length 0\nsms_dm_msg_type.nv_msg_hdr.sms_seq_num 1\n"
            "sms_dm_msg_type.sms_msg.msg_id 7\n[NV_SMS_MSGS_2_0[3]]\n[NV_SMS_MSGS_2_0[0]]\n"
            "sms_dm_msg_type.nv_msg_hdr.status 0\nsms_dm_msg_type.nv_msg_hdr.length 0\n"
            "sms_dm_msg_type.nv_msg_hdr.sms_seq_num 2\nsms_dm_msg_type.sms_msg.priority 2\n");
  EXPECT_EQ(CNVCSMSFormat(false).convert(file, out), CNVConvertFile::Result::Unchanged);
  EXPECT_EQ(CNVCSMSFormat(true).convert("[NV_SMS_MSGS_1_0]\nsms_dm_msg_type.sms_msg.msg_id 7\n", out),
            CNVConvertFile::Result::Unchanged);
}

}  // namespace
}  // namespace vx::backup
