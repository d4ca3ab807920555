// Commands through the real server to the simulated UT, and the thread's
// error record.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "client_fixture.h"
#include "kmx/sim/status_items.h"
#include "kmx/sim/ut_model.h"

namespace kmx::client::testing {
namespace {

class ClientCommands : public ClientTest {};

TEST_F(ClientCommands, AUtErrorCarriesItsCodeAndTextCutToTheCallersBuffer) {
  void* connection = connectUp();
  const std::string text(300, 'e');
  sim.rejectCommand(19, 7, "abcdefghijkl" + text);
  uint8_t buffer[16];
  EXPECT_TRUE(failedWith(KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, nullptr), KMX_ERR_UT_ERROR));

  char info[10];
  std::memset(info, 'x', sizeof info);
  uint16_t length = sizeof info;
  EXPECT_EQ(KMXGetLastUTErrorInfo(info, &length), 7);
  EXPECT_STREQ(info, "abcdefghi");
  EXPECT_EQ(length, 256) << "the UT's text arrives cut to 255 characters";

  // Codes of 35 and more are reported as 35.
  sim.rejectCommand(19, 300, "x");
  EXPECT_EQ(KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, nullptr), 0);
  length = sizeof info;
  EXPECT_EQ(KMXGetLastUTErrorInfo(info, &length), 35);
  EXPECT_EQ(length, 2);

  sim.clearRejection(19);
  uint32_t read = 0;
  EXPECT_EQ(KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, &read), 1);
  EXPECT_EQ(read, 4u);
  length = sizeof info;
  EXPECT_EQ(KMXGetLastUTErrorInfo(info, &length), 0) << "the success reset the record";
  EXPECT_EQ(length, 0);
}

// The server refuses empty item lists; the calls still succeed, and the
// connection goes on.
TEST_F(ClientCommands, EmptyListsOfStatusAndTestModeItemsSucceed) {
  void* connection = connectUp();
  EXPECT_EQ(KMXGetStatusData(connection, 0, nullptr, nullptr), 1);
  EXPECT_EQ(KMXGetLastError(), 0);
  EXPECT_EQ(KMXGetTestModeState(connection, 0, nullptr), 1);
  EXPECT_EQ(KMXGetLastError(), 0);
  uint32_t rates = 0;
  EXPECT_EQ(KMXGetAvailableBaudRates(connection, &rates), 1);
}

TEST_F(ClientCommands, AReplyThatDoesNotFitFailsAndTheNextCommandGetsItsOwnReply) {
  void* connection = connectUp();
  uint8_t buffer[16];
  EXPECT_EQ(KMXReadNVItemData(connection, 2, 0, buffer, sizeof buffer, nullptr), 0) << "item 2 has 32 bytes";
  EXPECT_EQ(KMXGetLastError(), KMX_ERR_IPC_RECEIVEV);
  const uint8_t value[4] = {1, 2, 3, 4};
  ASSERT_EQ(KMXWriteNVItemData(connection, 1, 0, value, sizeof value), 1);
  uint32_t read = 0;
  EXPECT_EQ(KMXReadNVItemData(connection, 1, 0, buffer, sizeof buffer, &read), 1);
  EXPECT_EQ(KMXGetLastError(), 0);
  ASSERT_EQ(read, 4u);
  EXPECT_EQ(std::memcmp(buffer, value, 4), 0);
}

TEST_F(ClientCommands, RegionReadsGoInChunksOfAtMost256Bytes) {
  void* connection = connectUp();
  std::vector<uint8_t> pattern(512);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 3);
  ASSERT_EQ(KMXWriteRegion(connection, 0, sim::kScratchAddress, 512, 0, pattern.data()), 1)
      << KMXGetErrorDesc(KMXGetLastError());

  for (uint32_t length : {512u, 300u}) {
    std::vector<uint8_t> read(length, 0);
    const uint32_t before = sim.framesReceived(3);
    ASSERT_EQ(KMXReadRegion(connection, 0, sim::kScratchAddress, length, 0, read.data()), 1);
    EXPECT_EQ(sim.framesReceived(3) - before, 2u) << length << " bytes";
    EXPECT_TRUE(std::equal(read.begin(), read.end(), pattern.begin())) << length << " bytes";
  }
  const uint32_t before = sim.framesReceived(3);
  EXPECT_EQ(KMXReadRegion(connection, 0, sim::kScratchAddress, 0, 0, nullptr), 1);
  EXPECT_EQ(sim.framesReceived(3), before) << "nothing to read, nothing sent";

  // A chunk the UT refuses ends the read; the chunks before it are kept.
  std::vector<uint8_t> read(300, 0xAA);
  const uint32_t nearTheEnd = sim::kScratchAddress + sim::kScratchSize - 256;
  EXPECT_TRUE(failedWith(KMXReadRegion(connection, 0, nearTheEnd, 300, 0, read.data()), KMX_ERR_UT_ERROR));
  EXPECT_EQ(std::count(read.begin(), read.begin() + 256, 0), 256) << "the first chunk arrived";
  EXPECT_EQ(std::count(read.begin() + 256, read.end(), 0xAA), 44) << "the refused one left alone";
}

TEST_F(ClientCommands, StatusDataComesInBlocksTheCallerFrees) {
  void* connection = connectUp();
  const uint32_t selectors[] = {sim::status_item::kModel, 0x7777 /* unknown: no bytes */,
                                sim::status_item::kVersionText};
  KMXStatusRecord records[3];
  std::memset(records, 0xEE, sizeof records);
  ASSERT_EQ(KMXGetStatusData(connection, 3, selectors, records), 1) << KMXGetErrorDesc(KMXGetLastError());
  for (int i : {0, 2}) {
    std::vector<uint8_t> expected;
    sim.withModel([&](sim::UtModel& m) { expected = m.status.answer(static_cast<uint16_t>(selectors[i])); });
    ASSERT_EQ(records[i].length, expected.size());
    ASSERT_NE(records[i].data, nullptr);
    EXPECT_EQ(std::memcmp(records[i].data, expected.data(), expected.size()), 0);
    EXPECT_EQ(records[i].reserved[0], 0xEE) << "left as the caller had it";
    std::free(records[i].data);
  }
  EXPECT_EQ(records[1].length, 0);
  EXPECT_EQ(records[1].data, nullptr);
}

TEST_F(ClientCommands, EveryThreadHasItsOwnError) {
  void* connection = connectUp();
  uint16_t otherError = 0;
  std::thread other([&] {
    KMXCloseHandle(nullptr);
    otherError = KMXGetLastError();
  });
  other.join();
  EXPECT_EQ(otherError, KMX_ERR_INVALID_HANDLE);
  EXPECT_EQ(KMXGetLastError(), 0) << "not seen by this thread";

  EXPECT_EQ(KMXCloseHandle(nullptr), 0);
  uint32_t rates = 0;
  EXPECT_EQ(KMXGetAvailableBaudRates(connection, &rates), 1);
  EXPECT_EQ(KMXGetLastError(), 0) << "a success resets it";
  EXPECT_EQ(rates, KMX_RATE_9600 | KMX_RATE_19200 | KMX_RATE_38400 | KMX_RATE_57600 | KMX_RATE_115200);

  // A thread that never called the library has no UT error to tell.
  int16_t code = 0;
  uint16_t length = 5;
  char text[5] = "abcd";
  std::thread([&] { code = KMXGetLastUTErrorInfo(text, &length); }).join();
  EXPECT_EQ(code, 36);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(text[0], '\0');
}

TEST(ClientErrorTexts, EveryCodeHasItsTextAndOthersAreInvalid) {
  EXPECT_STREQ(KMXGetErrorDesc(0), "No Error");
  EXPECT_STREQ(KMXGetErrorDesc(29),
               "Previous command failed on the UT side, use KMXGetLastUTErrorInfo() for more information");
  EXPECT_STREQ(KMXGetErrorDesc(46), "KMX command is not supported");
  EXPECT_STREQ(KMXGetErrorDesc(47), "Invalid error code");
  EXPECT_STREQ(KMXGetErrorDesc(1000), "Invalid error code");
  EXPECT_TRUE(failedWith(KMXSetAKey(nullptr, 0, 0, 0, 0), KMX_ERR_NOT_SUPPORTED));
}

TEST_F(ClientCommands, BaudRatesOfAPortAreAskedOfTheDriverWhenNoServerOwnsIt) {
  uint32_t rates = 0;
  EXPECT_EQ(KMXGetAvailableBaudRatesOnCOMPort("UT1", &rates), 1);
  EXPECT_NE(rates, 0u);
  connectUp();
  EXPECT_EQ(KMXGetAvailableBaudRatesOnCOMPort("UT1", &rates), 0) << "the server holds the port";
  EXPECT_EQ(KMXGetLastError(), KMX_ERR_PORT_NOT_OPENED);
}

}  // namespace
}  // namespace kmx::client::testing
