// Every command the UT understands, answered from its model, as a host sees it
// through the serial driver and the frame codec.
#include <map>
#include <string>

#include "kmx/proto/byte_order.h"
#include "kmx/sim/ut_commands.h"
#include "kmx/sim/ut_errors.h"
#include "kmx/sim/ut_model.h"
#include "sim_fixture.h"

namespace kmx::sim::testing {
namespace {

using namespace ut_command;
using proto::loadLe16;
using proto::loadLe32;

constexpr uint8_t kAccepted = 1;
constexpr uint8_t kRejected = 2;

class Commands : public SimulatorTest {};

TEST_F(Commands, VersionBlockPointsAtTheSymbolInformation) {
  sim.withModel([](UtModel& m) { m.setSymbolInformation({1, 2, 3, 4, 5, 6, 7, 8, 9}); });
  Packet version = ask(kVersion);
  ASSERT_EQ(version.type, kAccepted);
  ASSERT_EQ(version.payload.size(), 83u);
  uint32_t address = loadLe32(&version.payload[31]);
  uint32_t size = loadLe32(&version.payload[35]);
  EXPECT_EQ(size, 9u);

  Packet region = ask(kReadRegion, cat({{0, 0}, le32(address), le16(static_cast<uint16_t>(size))}));
  ASSERT_EQ(region.type, kAccepted);
  EXPECT_EQ(region.payload, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(Commands, RegionsAreWrittenAndReadBackAndFaultOutsideMemory) {
  ASSERT_EQ(ask(kWriteRegion, cat({{0, 0}, le32(kScratchAddress + 8), {0xAA, 0xBB}})).type, kAccepted);
  Packet back = ask(kReadRegion, cat({{0, 0}, le32(kScratchAddress + 7), le16(4)}));
  EXPECT_EQ(back.payload, (std::vector<uint8_t>{0, 0xAA, 0xBB, 0}));

  Packet fault = ask(kReadRegion, cat({{0, 0}, le32(kScratchAddress + kScratchSize - 1), le16(2)}));
  EXPECT_EQ(fault.type, kRejected);
  EXPECT_EQ(rejectionCode(fault), static_cast<uint16_t>(UtError::MemoryFault));
  EXPECT_EQ(ask(kWriteRegion, cat({{0, 0}, le32(kSymbolInfoAddress), {1}})).type, kRejected)
      << "the symbol information is read-only";
  EXPECT_EQ(ask(kReadRegion, {0, 0, 1}).type, kRejected) << "short request";
}

TEST_F(Commands, NvItemsAreReadWrittenDeletedAndInserted) {
  Packet value = ask(kNvRead, cat({le16(1), le16(0)}));
  ASSERT_EQ(value.type, kAccepted);
  EXPECT_EQ(value.payload, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));

  EXPECT_EQ(ask(kNvWrite, cat({le16(1), le16(0), {9, 8}})).type, kAccepted);
  EXPECT_EQ(ask(kNvRead, cat({le16(1), le16(0)})).payload, (std::vector<uint8_t>{9, 8, 0, 0}));
  EXPECT_EQ(ask(kNvWrite, cat({le16(1), le16(0), {1, 2, 3, 4, 5}})).type, kRejected) << "longer than the item";

  Packet dimension = ask(kNvListDimension, le16(10));
  ASSERT_EQ(dimension.payload.size(), 2u);
  EXPECT_EQ(loadLe16(dimension.payload.data()), 3);
  EXPECT_EQ(loadLe16(ask(kNvListDimension, le16(1)).payload.data()), 0);

  EXPECT_EQ(ask(kNvDelete, cat({le16(10), le16(0)})).type, kAccepted);
  EXPECT_EQ(ask(kNvRead, cat({le16(10), le16(0)})).type, kRejected);
  EXPECT_EQ(ask(kNvInsert, cat({le16(10), le16(0), {7}})).type, kAccepted);
  EXPECT_EQ(ask(kNvInsert, cat({le16(10), le16(0), {7}})).type, kRejected) << "element already there";
  EXPECT_EQ(ask(kNvRead, cat({le16(10), le16(0)})).payload[0], 7);
}

// Callers recognise an item that is not active by the first number in the
// rejection text being 2; other NV failures carry other numbers.
TEST_F(Commands, NvRejectionsCarryTheNvStatusAsTheFirstNumber) {
  Packet inactive = ask(kNvRead, cat({le16(11), le16(0)}));
  ASSERT_EQ(inactive.type, kRejected);
  EXPECT_EQ(rejectionCode(inactive), static_cast<uint16_t>(UtError::NvFailure));
  std::string text = rejectionText(inactive);
  auto digit = text.find_first_of("0123456789");
  ASSERT_NE(digit, std::string::npos) << text;
  EXPECT_EQ(std::stoi(text.substr(digit)), 2) << text;

  std::string missing = rejectionText(ask(kNvRead, cat({le16(999), le16(0)})));
  digit = missing.find_first_of("0123456789");
  EXPECT_NE(std::stoi(missing.substr(digit)), 2) << missing;
  EXPECT_EQ(ask(kNvRead, cat({le16(1), le16(1)})).type, kRejected) << "index of a single item";
}

TEST_F(Commands, StatusItemsHaveTheirDocumentedLayouts) {
  const std::vector<uint16_t> items = {0x25, 0x39, 0x3A, 0x34, 0x21, 0x28, 0x27, 0x37, 0x38, 0x1D, 0x26, 0x42, 0x1F};
  std::vector<uint8_t> selectors;
  for (uint16_t item : items) selectors = cat({selectors, le32(item)});
  Packet answer = ask(kStatusData, selectors);
  ASSERT_EQ(answer.type, kAccepted);
  ASSERT_EQ(answer.payload[0], items.size());
  std::map<uint16_t, std::vector<uint8_t>> records;
  std::size_t pos = 1;
  for (uint16_t item : items) {
    ASSERT_LE(pos + 4, answer.payload.size());
    EXPECT_EQ(loadLe16(&answer.payload[pos]), item);
    uint16_t length = loadLe16(&answer.payload[pos + 2]);
    ASSERT_LE(pos + 4 + length, answer.payload.size());
    records[item].assign(answer.payload.begin() + static_cast<long>(pos) + 4,
                         answer.payload.begin() + static_cast<long>(pos) + 4 + length);
    pos += 4 + length;
  }
  EXPECT_EQ(pos, answer.payload.size());

  const auto& esn = records[0x1D];
  ASSERT_EQ(esn.size(), 9u);
  EXPECT_GE(esn[0], 4);
  EXPECT_LE(esn[0], 7);
  EXPECT_EQ(records[0x25].size(), 10u);
  EXPECT_EQ(records[0x39].size(), 1u);
  EXPECT_GE(records[0x39][0], 0xC9);
  EXPECT_GE(records[0x27].size(), 4u);
  EXPECT_GE(records[0x28].size(), 2u);
  EXPECT_GE(records[0x34].size(), 20u);
  EXPECT_GE(records[0x42].size(), 22u);
  EXPECT_EQ(records[0x1F].size(), 2u);
  std::string text(records[0x26].begin(), records[0x26].end());
  EXPECT_NE(text.find("\n"), std::string::npos);
  EXPECT_EQ(text.find("\r\n"), text.find('\r')) << "only some line feeds follow a carriage return";
  EXPECT_NE(text.find("\nB"), std::string::npos) << "a bare line feed is kept";
}

TEST_F(Commands, StatusAndLogStatusAnswersSplitWhenAsked) {
  sim.setStatusRecordsPerResponse(3);
  Packet first = ask(kStatusData, cat({le32(0x21), le32(0x37), le32(0x38), le32(0x39), le32(0x28)}));
  EXPECT_EQ(first.payload[0], 3) << "three of five records";
  Packet rest = ask(kStatusData, cat({le32(0x39), le32(0x28)}));
  EXPECT_EQ(rest.payload[0], 2);
  EXPECT_EQ(loadLe16(&rest.payload[1]), 0x39);

  EXPECT_EQ(ask(kLogConfig, cat({{5, 1, 2}, le16(10)})).type, kAccepted);
  sim.setLogStatusRecordsPerResponse(1);
  Packet log = ask(kLogStatus, {5, 6});
  ASSERT_EQ(log.payload.size(), 1u + 12u);
  EXPECT_EQ(log.payload[0], 1);
  EXPECT_EQ(log.payload[1], 5);   // log code
  EXPECT_EQ(log.payload[2], 1);   // enabled
  EXPECT_EQ(log.payload[3], 2);   // priority
  EXPECT_EQ(loadLe16(&log.payload[4]), 10);  // packet limit
}

TEST_F(Commands, TestModeSecurityKeysPoolsAndOperations) {
  EXPECT_EQ(ask(kTestMode, {ut_test_mode::kSetItem, 2, 99}).type, kRejected) << "not in test mode yet";
  EXPECT_EQ(ask(kTestMode, {ut_test_mode::kEnter, 0}).payload, std::vector<uint8_t>{1});
  EXPECT_EQ(ask(kTestMode, {ut_test_mode::kSetItem, 2, 99}).payload, (std::vector<uint8_t>{2, 99}));
  EXPECT_EQ(ask(kTestModeState, {2, 1, 200}).payload, (std::vector<uint8_t>{3, 2, 99, 1, 0, 200, 0}));

  EXPECT_EQ(ask(kSecurityPassword, {'S', 'E', 'C', 'R', 'E', 'T'}).payload, std::vector<uint8_t>{1});
  EXPECT_EQ(ask(kSecurityPassword, {'s', 'e', 'c'}).payload, std::vector<uint8_t>{0});
  sim.control("spc 123456");
  EXPECT_EQ(ask(kServiceProgrammingCode, {'0', '0', '0', '0', '0', '0'}).payload, std::vector<uint8_t>{0});
  EXPECT_EQ(ask(kServiceProgrammingCode, {'1', '2', '3', '4', '5', '6'}).payload, std::vector<uint8_t>{1});

  EXPECT_EQ(ask(kKeyStore, cat({le16(1), {0}, le32(0x11223344), le32(0x55667788)})).type, kAccepted);
  EXPECT_EQ(ask(kKeyVerify, cat({{1}, le16(0), le32(0x11223344), le32(0x55667788)})).payload, std::vector<uint8_t>{1});
  EXPECT_EQ(ask(kKeyVerify, cat({{1}, le16(0), le32(0x11223344), le32(0)})).payload, std::vector<uint8_t>{0});
  EXPECT_EQ(ask(kKeyStoreShort, cat({le32(5), le32(6)})).type, kAccepted);
  EXPECT_EQ(ask(kKeyVerify, cat({{0}, le16(0), le32(5), le32(6)})).payload, std::vector<uint8_t>{1});

  EXPECT_EQ(ask(kMemoryPools).payload.size(), 24u);

  EXPECT_EQ(ask(kOperation, {ut_operation::kService, 0x07, 0x01}).type, kAccepted);
  EXPECT_EQ(ask(kOperation, {ut_operation::kQuery}).payload[0], 1) << "service session open";
  EXPECT_EQ(ask(kOperation, {ut_operation::kService, 0x05, 0x00}).type, kAccepted);
  EXPECT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return c.restarts == 1; }, 2000));
  EXPECT_EQ(ask(kOperation, {ut_operation::kQuery}).payload[0], 0) << "the reset closed the session";
  EXPECT_EQ(ask(kTestMode, {ut_test_mode::kQuery, 0}).payload, std::vector<uint8_t>{0});
}

TEST_F(Commands, SyncEchoesAndUnknownCodesAreRejected) {
  std::vector<uint8_t> probe;
  for (int b = 0x80; b <= 0xFF; ++b) probe.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(ask(kSync, probe).payload, probe);
  EXPECT_TRUE(ask(kSync).payload.empty()) << "a ping";

  Packet unknown = ask(0x63);
  EXPECT_EQ(unknown.type, kRejected);
  EXPECT_EQ(rejectionCode(unknown), static_cast<uint16_t>(UtError::UnknownCommand));
  EXPECT_FALSE(rejectionText(unknown).empty());
}

TEST_F(Commands, EnabledPluginEchoesWhatIsWrittenToIt) {
  EXPECT_EQ(ask(kPluginWrite, {7, 'h', 'i'}).type, kAccepted);
  host->pump(50);
  EXPECT_EQ(host->unsolicitedCount(), 0u) << "a disabled plug-in sends nothing";

  EXPECT_EQ(ask(kPluginConfig, {7, 1, 0}).type, kAccepted);
  EXPECT_EQ(ask(kPluginWrite, {7, 'h', 'i'}).type, kAccepted);
  Packet data;
  ASSERT_TRUE(host->nextUnsolicited(data));
  EXPECT_EQ(data.type, ut_packet::kPluginData);
  EXPECT_EQ(data.payload, (std::vector<uint8_t>{7, 'h', 'i'}));
}

TEST_F(Commands, SetRateSwitchesAfterTheResponse) {
  Packet response = ask(kSetRate, le32(115200));
  ASSERT_EQ(response.type, kAccepted) << "the answer still comes at 9600";
  EXPECT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return c.utRate == 115200; }, 1000));
  ASSERT_TRUE(host->setRate(115200));
  EXPECT_EQ(ask(kSync).type, kAccepted);
  EXPECT_EQ(ask(kSetRate, le32(14400)).type, kRejected);
}

}  // namespace
}  // namespace kmx::sim::testing
