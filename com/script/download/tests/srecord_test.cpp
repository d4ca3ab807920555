// The S-record checks on files made by srec_cat and on hand-broken ones,
// the software file check with gzip, and the progress figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "image_files.h"
#include "kmx/testing/runtime_sandbox.h"
#include "vx/download/software_file_check.h"
#include "vx/download/srecord_parser.h"
#include "vx/download/transfer_progress.h"

namespace vx::download {
namespace {

using namespace vx::download::testing;

SRecordError parse(const std::string& text, bool* bootBlock = nullptr) {
  SRecordParser parser;
  parser.feed({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  const SRecordError error = parser.finish();
  if (bootBlock != nullptr) *bootBlock = parser.bootBlockMarkerSeen();
  return error;
}

class SRecordFiles : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir()); }
  kmx::testing::RuntimeSandbox sandbox;
  std::string dir() const { return sandbox.runtimeDir(); }
};

TEST_F(SRecordFiles, EveryFormSrecCatWritesPassesWithItsHeaderKind) {
  const auto data = randomBytes(5000);
  for (int addressBytes : {2, 3, 4}) {
    SCOPED_TRACE(addressBytes);
    const std::string software = makeImage(dir(), "sw", data, "UT 5.0.1", addressBytes);
    ASSERT_FALSE(software.empty()) << "srec_cat failed";
    bool marker = true;
    EXPECT_EQ(checkSRecordFile(software, &marker), SRecordError::None);
    EXPECT_FALSE(marker);
    const std::string boot = makeImage(dir(), "bb", data, "utbootblock 2.1", addressBytes);
    EXPECT_EQ(checkSRecordFile(boot, &marker), SRecordError::None);
    EXPECT_TRUE(marker);
  }
  // Every data record reaches the sink with its address and bytes.
  const std::string text = readFile(makeImage(dir(), "sink", data, "UT 5.0.1", 3, 0x20000));
  std::vector<uint8_t> gathered;
  uint32_t next = 0x20000;
  bool contiguous = true;
  SRecordParser parser([&](const SRecord& record) {
    if (record.type != 2) return;
    contiguous = contiguous && record.address == next;
    next = record.address + static_cast<uint32_t>(record.data.size());
    gathered.insert(gathered.end(), record.data.begin(), record.data.end());
  });
  parser.feed({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  EXPECT_EQ(parser.finish(), SRecordError::None);
  EXPECT_TRUE(contiguous);
  EXPECT_EQ(gathered, data);
}

TEST(SRecordParser, BrokenFilesFailWithTheirCode) {
  const std::string header = "S00600004844521B\n";  // "HDR"
  const std::string s1 = "S107000001020304EE\n";     // 4 data bytes at 0
  struct Case {
    const char* what;
    std::string text;
    SRecordError error;
  } cases[] = {
      {"good", header + s1 + "S9030000FC\n", SRecordError::None},
      {"checksum off by one", header + "S107000001020304EF\n", SRecordError::BadChecksum},
      {"an S4 record", header + s1 + "S4030000FC\n", SRecordError::BadRecordType},
      {"S6", header + s1 + "S604000001FA\n", SRecordError::BadRecordType},
      {"two S9 records after a start address", header + s1 + "S9031000EC\nS9031000EC\n", SRecordError::BadTermination},
      {"odd start address", header + s1 + "S9031001EB\n", SRecordError::BadTermination},
      {"S9 with a 3-byte address", header + s1 + "S904000000FB\n", SRecordError::BadTermination},
      {"count 0", header + "S100FF\n", SRecordError::BadLength},
      {"data record without data", header + "S1030000FC\n", SRecordError::BadLength},
      {"record split by a line break", header + "S10700000102\n0304EE\n", SRecordError::BadHexDigit},
      {"junk between records", header + "x" + s1, SRecordError::UnexpectedByte},
      {"text after the end mark", header + s1 + "\x1A" + "S9030000FC", SRecordError::UnexpectedByte},
      {"record count that does not match", header + s1 + "S5030002FA\n", SRecordError::BadRecordCount},
      {"record count of the data records", header + s1 + "S5030001FB\nS9030000FC\n", SRecordError::None},
      {"record count of one byte", header + s1 + "S50201FC\nS9030000FC\n", SRecordError::BadRecordCount},
      {"data after the termination record", header + "S9030000FC\n" + s1, SRecordError::NoTermination},
      {"a record cut short by the end", header + "S1070000", SRecordError::BadChecksum},
      {"empty", "", SRecordError::EmptyFile},
      {"no records at all", "\r\n \n", SRecordError::EmptyFile},
      {"Xmodem padding after the records", header + s1 + "S9030000FC\n" + std::string(40, '\x1A'), SRecordError::None},
      {"binary records", std::string("S\x01\x07\x00\x00\x01\x02\x03\x04\xEES\x09\x03\x00\x00\xFC", 16),
       SRecordError::None},
      {"binary record of count 65", std::string("S\x01\x41", 3), SRecordError::BadLength},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.text), c.error) << c.what;

  // After the first error the rest is ignored, whatever it holds.
  SRecordParser parser;
  EXPECT_FALSE(parser.feed({reinterpret_cast<const uint8_t*>("Q"), 1}));
  EXPECT_FALSE(parser.feed({reinterpret_cast<const uint8_t*>(s1.data()), s1.size()}));
  EXPECT_EQ(parser.finish(), SRecordError::UnexpectedByte);
}

TEST_F(SRecordFiles, TheCheckUnpacksGzipAndWantsTheRightKind) {
  const auto data = randomBytes(3000);
  const std::string software = makeImage(dir(), "sw.s3", data, "UT 5.0.1");
  const std::string boot = makeImage(dir(), "bb.s3", data, "utbootbloc 1");
  ASSERT_FALSE(unpackerPath().empty()) << "no gzip";
  const std::string packed = gzipCopy(software);
  ASSERT_FALSE(packed.empty());

  FileCheck plain = checkSoftwareFile(software, ImageKind::Software);
  FileCheck compressed = checkSoftwareFile(packed, ImageKind::Software);
  EXPECT_TRUE(plain.passed);
  EXPECT_FALSE(plain.unpacked);
  EXPECT_TRUE(compressed.passed);
  EXPECT_TRUE(compressed.unpacked);
  EXPECT_FALSE(checkSoftwareFile(software, ImageKind::BootBlock).passed);
  EXPECT_TRUE(checkSoftwareFile(boot, ImageKind::BootBlock).passed);
  EXPECT_FALSE(checkSoftwareFile(gzipCopy(boot), ImageKind::Software).passed);
  // A damaged compressed file is not taken for a plain one.
  std::string bytes = readFile(packed);
  bytes.resize(bytes.size() / 2);
  writeFile(packed, bytes);
  EXPECT_FALSE(checkSoftwareFile(packed, ImageKind::Software).passed);
  EXPECT_FALSE(checkSoftwareFile(dir() + "/missing", ImageKind::Software).passed);
  // Nothing of the check is left in the temporary directory.
  EXPECT_EQ(sandbox.leftovers().find("vxdownload"), std::string::npos);
}

// The image srec_cat writes for 8 KiB: S0, 256 S3 records, S5 and S7. Cut
// at a record boundary, it must not pass for a whole one.
TEST_F(SRecordFiles, AnImageMustEndWithItsTerminationRecordAndMatchItsCount) {
  const std::string whole = readFile(makeImage(dir(), "whole", randomBytes(8192), "UT 5.0.1"));
  ASSERT_EQ(std::count(whole.begin(), whole.end(), '\n'), 259);
  const auto lineStarting = [&](const std::string& type) { return whole.find("\n" + type) + 1; };
  const std::size_t s5 = lineStarting("S5");
  const std::size_t s7 = lineStarting("S7");
  std::size_t sixtyLines = 0;
  for (int line = 0; line < 60; ++line) sixtyLines = whole.find('\n', sixtyLines) + 1;
  struct Case {
    const char* what;
    std::string text;
    SRecordError error;
  } cases[] = {
      {"whole", whole, SRecordError::None},
      {"the first 60 lines", whole.substr(0, sixtyLines), SRecordError::NoTermination},
      {"without S5 and S7", whole.substr(0, s5), SRecordError::NoTermination},
      {"a count one short", whole.substr(0, s5) + "S50300FFFD\n" + whole.substr(s7), SRecordError::BadRecordCount},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir() + "/image";
    writeFile(path, c.text);
    EXPECT_EQ(checkSRecordFile(path, nullptr), c.error);
    const FileCheck compressed = checkSoftwareFile(gzipCopy(path), ImageKind::Software);
    EXPECT_TRUE(compressed.unpacked);
    EXPECT_EQ(compressed.error, c.error);
    EXPECT_EQ(compressed.passed, c.error == SRecordError::None);
  }
}

TEST(TransferProgress, EstimateWaitsItsMinimumTime) {
  // Under 582000 bytes: 29 s before any estimate.
  EXPECT_EQ(minimumEstimateSeconds(100000), 29);
  EXPECT_EQ(minimumEstimateSeconds(581999), 29);
  EXPECT_EQ(minimumEstimateSeconds(582000), 4);
  EXPECT_EQ(minimumEstimateSeconds(1048576), 6);

  ProgressReport early = progressAt(TransferKind::Software, 100000, 50000, 28.9);
  EXPECT_EQ(early.percent, 50);
  EXPECT_EQ(early.bytesLeft, 50000u);
  EXPECT_EQ(early.phaseText, kTextSendingSoftware);
  EXPECT_FALSE(early.secondsLeft.has_value());
  ProgressReport later = progressAt(TransferKind::BootBlock, 100000, 50000, 30);
  ASSERT_TRUE(later.secondsLeft.has_value());
  EXPECT_EQ(*later.secondsLeft, 30u);
  EXPECT_EQ(later.phaseText, kTextSendingBootBlock);
  // Nothing sent yet: no estimate however long it has run.
  EXPECT_FALSE(progressAt(TransferKind::Loader, 10, 0, 100).secondsLeft.has_value());
  EXPECT_EQ(progressAt(TransferKind::RamProgram, 10, 10, 1).phaseText, kTextSendingRamProgram);
}

}  // namespace
}  // namespace vx::download
