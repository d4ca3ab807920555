// NV values by path through the connection object: reads, staged writes,
// enumerations, the commit and what reaches the simulated UT.
#include "connection_fixture.h"
#include "kmx/sim/ut_commands.h"

namespace vx::connect::testing {
namespace {

constexpr const char* kServiceAlert = "NV_UI_SERVICE_ALERT.ui_on_off_display_type";
constexpr const char* kSleep = "NV_TIME_TILL_SLEEP.T_ULONG";
constexpr const char* kDeepSleep = "NV_DEEP_SLEEP_DURATION.T_ULONG";

TEST_F(ConnectionTest, NvMethodsNeedAFinishedConnection) {
  EXPECT_EQ(read(kSleep).result, VEX_E_NOT_CONNECTED);
  EXPECT_EQ(write(kSleep, 1), VEX_E_NOT_CONNECTED);
  EXPECT_EQ(params->CommitChanges(), VEX_E_NOT_CONNECTED);
  UINT value = 0;
  EXPECT_EQ(params->IsBrowserDirty(&value), VEX_E_NOT_CONNECTED);
  startLink();
  EXPECT_EQ(params->IsItemAllocatedInBrowser(u"NV_SCM_I", &value), VEX_E_NOT_CONNECTED);
}

TEST_F(ConnectionTest, ValuesAreReadByPathWithTheirDataTypes) {
  // An element without a value reads as zeros, successfully.
  const uint16_t layoutVersion = itemNumber("NV_VER_NO_I");
  sim->withModel([&](kmx::sim::UtModel& model) { model.nv.setActive(layoutVersion, 0, false); });
  connect();
  const Read notActive = read("NV_VER_NO_I.T_ULONG");
  EXPECT_EQ(notActive.result, S_OK);
  EXPECT_EQ(notActive.type, NV_ULONG);
  EXPECT_EQ(notActive.value, 0u);

  const Read year = read("NV_UI_SERVICE_PROG_DATE.ui_nv_service_prog_date_type.Year");
  EXPECT_EQ(year.result, S_OK);
  EXPECT_EQ(year.type, NV_USHORT);
  EXPECT_EQ(year.value, 2026u);
  const Read alert = read(kServiceAlert);
  EXPECT_EQ(alert.type, NV_CHAR);
  EXPECT_EQ(alert.value, 5u);

  EXPECT_EQ(read("NV_UI_SERVICE_PROG_DATE.ui_nv_service_prog_date_type.Century").result, E_FAIL);
  EXPECT_EQ(read("NV_NO_SUCH_ITEM.T_ULONG").result, E_FAIL);
  EXPECT_EQ(read("nv_ver_no_i.T_ULONG").result, E_FAIL);  // names are case-sensitive
  NVNodeDataType type{};
  UI4 value = 0;
  EXPECT_EQ(params->ReadNode32BitValue(nullptr, &type, &value), E_INVALIDARG);
  EXPECT_EQ(params->ReadNode32BitValue(u"NV_SCM_I.T_UCHAR", nullptr, &value), E_INVALIDARG);
  EXPECT_EQ(params->ReadNode32BitValue(u"NV_SCM_I.T_UCHAR", &type, nullptr), E_INVALIDARG);
}

TEST_F(ConnectionTest, AListSuffixNamesAnElementOnlyOfAListOfSeveral) {
  connect();
  const Read listed = read("NV_SMS_MSGS_2_0[0].sms_dm_msg_type.nv_msg_hdr.status");
  EXPECT_EQ(listed.result, S_OK);
  EXPECT_EQ(listed.value, static_cast<UI4>(utValue("NV_SMS_MSGS_2_0[0].sms_dm_msg_type.nv_msg_hdr.status")));
  EXPECT_EQ(read("NV_SMS_MSGS_2_0[4].sms_dm_msg_type.nv_msg_hdr.status").result, E_FAIL);
  EXPECT_EQ(read("NV_SMS_MSGS_1_0[0].sms_dm_msg_type.nv_msg_hdr.status").result, E_FAIL);
  EXPECT_EQ(read("NV_SMS_MSGS_1_0.sms_dm_msg_type.nv_msg_hdr.status").result, S_OK);
}

TEST_F(ConnectionTest, ABitfieldWriteTouchesOnlyItsBits) {
  const std::string entry = "NV_UI_PHONE_BOOK[1].ui_nv_phone_book_entry_type.";
  std::string error;
  // The nibbles follow the flags byte: they share its 32-bit word.
  for (const auto& [leaf, value] : {std::pair{"hdr.flags.valid", 1}, {"hdr.flags.international", 1},
                                    {"hdr.digits_index", 7}, {"nibble[16].nibble[0]", 0x33},
                                    {"nibble[16].nibble[1]", 0xFF}}) {
    ASSERT_TRUE(sim->setNvValue(entry + leaf, value, &error)) << leaf << ": " << error;
  }
  connect();
  const uint16_t number = itemNumber("NV_UI_PHONE_BOOK");
  const auto before = sim->nvBytes(number, 1);
  ASSERT_TRUE(before.has_value());

  ASSERT_EQ(write(entry + "hdr.flags.reserve", 0x1FF), S_OK);
  EXPECT_EQ(read(entry + "hdr.flags.reserve").value, 0xFu);
  EXPECT_EQ(read(entry + "hdr.flags.valid").value, 1u);
  ASSERT_EQ(params->CommitChanges(), S_OK);

  const auto after = sim->nvBytes(number, 1);
  ASSERT_TRUE(after.has_value());
  ASSERT_EQ(after->size(), before->size());
  // The flags byte follows digits_index: its high nibble is set, the rest
  // of the item is as it was.
  std::vector<uint8_t> expected = *before;
  expected[1] = static_cast<uint8_t>((expected[1] & 0x0F) | 0xF0);
  EXPECT_EQ(*after, expected);
  EXPECT_EQ(utValue(entry + "hdr.flags.international"), 1);
  EXPECT_EQ(utValue(entry + "nibble[16].nibble[1]"), 0xFF);
}

TEST_F(ConnectionTest, EnumerationsByNameAndByNumber) {
  connect();
  const std::u16string path = vx::com::Utf8ToUtf16(kServiceAlert);
  LPWSTR text = nullptr;
  UI4 value = 0;
  ASSERT_EQ(params->ReadNodeEnumValue(path.c_str(), &text, &value), S_OK);
  EXPECT_EQ(take(text), u"UI_ON_DISPLAY");
  EXPECT_EQ(value, 5u);
  UI4 count = 0;
  ASSERT_EQ(params->ReadNodeEnumEntries(path.c_str(), &text, &count), S_OK);
  EXPECT_EQ(take(text), u"UI_ON_OFF_DISPLAY_FIRST,3,\r\nUI_OFF_DISPLAY,4,\r\nUI_ON_DISPLAY,5,\r\n");
  EXPECT_EQ(count, 3u);

  ASSERT_EQ(params->WriteNodeEnumString(path.c_str(), u"UI_OFF_DISPLAY"), S_OK);
  EXPECT_EQ(read(kServiceAlert).value, 4u);
  EXPECT_EQ(params->WriteNodeEnumString(path.c_str(), u"UI_MAYBE_DISPLAY"), E_FAIL);
  EXPECT_EQ(params->WriteNodeEnumString(path.c_str(), u"ui_on_display"), E_FAIL);
  EXPECT_EQ(read(kServiceAlert).value, 4u);
  EXPECT_EQ(params->WriteNodeEnumValue(path.c_str(), 6), E_FAIL);
  EXPECT_EQ(read(kServiceAlert).value, 4u);
  ASSERT_EQ(params->WriteNodeEnumValue(path.c_str(), 5), S_OK);
  EXPECT_EQ(read(kServiceAlert).value, 5u);

  // A field of no enumeration type is not an enumeration.
  EXPECT_EQ(params->ReadNodeEnumValue(u"NV_SCM_I.T_UCHAR", &text, &value), E_FAIL);
  EXPECT_EQ(params->WriteNodeEnumString(u"NV_SCM_I.T_UCHAR", u"UI_ON_DISPLAY"), E_FAIL);
  EXPECT_EQ(params->ReadNodeEnumValue(path.c_str(), nullptr, &value), E_INVALIDARG);
}

TEST_F(ConnectionTest, AnEnumValueNoConstantHasReadsAsZeroWithNoName) {
  ASSERT_TRUE(sim->setNvValue(kServiceAlert, 9));
  connect();
  LPWSTR text = nullptr;
  UI4 value = 7;
  ASSERT_EQ(params->ReadNodeEnumValue(vx::com::Utf8ToUtf16(kServiceAlert).c_str(), &text, &value), S_OK);
  EXPECT_EQ(take(text), u"");
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(read(kServiceAlert).value, 9u);
}

TEST_F(ConnectionTest, WritesAreStagedUntilTheCommitAndCountedByItem) {
  connect();
  const int64_t sleepBefore = utValue(kSleep);
  EXPECT_EQ(dirty(), 0u);
  ASSERT_EQ(write(kSleep, 1234), S_OK);
  ASSERT_EQ(write(kSleep, 4321), S_OK);
  EXPECT_EQ(dirty(), 1u);
  ASSERT_EQ(write(kDeepSleep, 77), S_OK);
  EXPECT_EQ(dirty(), 2u);
  EXPECT_EQ(write("NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5]", 1), E_FAIL);  // an array node

  EXPECT_EQ(utValue(kSleep), sleepBefore);
  EXPECT_EQ(sim->framesReceived(kmx::sim::ut_command::kNvWrite), 0u);
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(dirty(), 0u);
  EXPECT_EQ(utValue(kSleep), 4321);
  EXPECT_EQ(utValue(kDeepSleep), 77);
  EXPECT_EQ(sim->framesReceived(kmx::sim::ut_command::kNvWrite), 2u);
  // Nothing changed, nothing written.
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(sim->framesReceived(kmx::sim::ut_command::kNvWrite), 2u);
}

TEST_F(ConnectionTest, ACommitWhoseSecondWriteTheUtRejectsKeepsTheFirst) {
  connect();
  ASSERT_EQ(write(kSleep, 11), S_OK);
  ASSERT_EQ(write(kDeepSleep, 22), S_OK);
  // The UT's item shrinks under the host: a 4-byte value no longer fits.
  const uint16_t deepSleep = itemNumber("NV_DEEP_SLEEP_DURATION");
  sim->withModel([&](kmx::sim::UtModel& model) { model.nv.define(deepSleep, 2, 1); });

  EXPECT_EQ(params->CommitChanges(), E_FAIL);
  EXPECT_EQ(utValue(kSleep), 11);
  EXPECT_EQ(dirty(), 1u);
  const auto bytes = sim->nvBytes(deepSleep, 0);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, (std::vector<uint8_t>{0, 0}));

  // The UT takes the value again: the item left marked is written now.
  sim->withModel([&](kmx::sim::UtModel& model) { model.nv.define(deepSleep, 4, 1); });
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue(kDeepSleep), 22);
  EXPECT_EQ(dirty(), 0u);
}

TEST_F(ConnectionTest, ItemsAllocatedInTheBrowserAndInThePhone) {
  const uint16_t phoneBook = itemNumber("NV_UI_PHONE_BOOK");
  sim->withModel([&](kmx::sim::UtModel& model) { model.nv.setActive(phoneBook, 6, false); });
  connect();
  UINT allocated = 9;
  ASSERT_EQ(params->IsItemAllocatedInBrowser(u"NV_UI_PHONE_BOOK[5]", &allocated), S_OK);
  EXPECT_EQ(allocated, 0u);
  ASSERT_EQ(params->IsItemAllocatedInPhone(u"NV_UI_PHONE_BOOK[5]", &allocated), S_OK);
  EXPECT_EQ(allocated, 1u);
  ASSERT_EQ(params->IsItemAllocatedInPhone(u"NV_UI_PHONE_BOOK[6]", &allocated), S_OK);
  EXPECT_EQ(allocated, 0u);
  ASSERT_EQ(params->IsItemAllocatedInPhone(u"NV_NO_SUCH_ITEM", &allocated), S_OK);
  EXPECT_EQ(allocated, 0u);

  ASSERT_EQ(read("NV_UI_PHONE_BOOK[5].ui_nv_phone_book_entry_type.hdr.digits_index").result, S_OK);
  ASSERT_EQ(params->IsItemAllocatedInBrowser(u"NV_UI_PHONE_BOOK[5]", &allocated), S_OK);
  EXPECT_EQ(allocated, 1u);

  sim->rejectCommand(kmx::sim::ut_command::kNvRead, 3, "hardware fault 7");
  EXPECT_EQ(params->IsItemAllocatedInPhone(u"NV_UI_PHONE_BOOK[7]", &allocated), E_FAIL);
  EXPECT_EQ(allocated, 0u);
  // An item the UT will not read cannot be resolved either.
  EXPECT_EQ(read("NV_UI_PHONE_BOOK[8].ui_nv_phone_book_entry_type.hdr.digits_index").result, E_FAIL);
  EXPECT_EQ(params->IsItemAllocatedInPhone(nullptr, &allocated), E_INVALIDARG);
  EXPECT_EQ(params->IsItemAllocatedInBrowser(u"NV_SCM_I", nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace vx::connect::testing
