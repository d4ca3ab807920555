// The configuration object on a scripted IVexParams1: the failure paths a
// simulated UT does not reach (another data type, a read or write failing
// part way through a method, an empty member list).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ut_config.h"
#include "vx/com/strings.h"
#include "vx/com/task_memory.h"

namespace vx::utconfig {
namespace {

// Leaves by path with their data type and value; any other path fails
// with E_FAIL. Records every write in order.
class ScriptedParams final : public vx::com::Implements<IVexParams1> {
 public:
  std::map<std::string, std::pair<NVNodeDataType, UI4>> leaves;
  std::set<std::string> failingWrites;
  std::set<std::string> allocated;
  std::u16string enumEntries;
  std::vector<std::string> writes;

  HRESULT ReadNode32BitValue(LPCWSTR path, NVNodeDataType* type, UI4* value) override {
    const auto leaf = leaves.find(vx::com::Utf16ToUtf8(path));
    if (leaf == leaves.end()) return E_FAIL;
    *type = leaf->second.first;
    *value = leaf->second.second;
    return S_OK;
  }
  HRESULT WriteNode32BitValue(LPCWSTR path, UI4 value) override {
    const auto leaf = leaves.find(vx::com::Utf16ToUtf8(path));
    if (leaf != leaves.end()) leaf->second.second = value;
    return record(path);
  }
  HRESULT ReadNodeEnumValue(LPCWSTR, LPWSTR*, UI4*) override { return E_FAIL; }
  HRESULT ReadNodeEnumEntries(LPCWSTR, LPWSTR* entries, UI4* count) override {
    *entries = vx::com::CoTaskMemStrDup(enumEntries);
    *count = 0;
    return S_OK;
  }
  // A scripted leaf is numeric: like the connection object, no enum write takes it.
  HRESULT WriteNodeEnumValue(LPCWSTR path, UI4) override { return scripted(path) ? E_FAIL : record(path); }
  HRESULT WriteNodeEnumString(LPCWSTR path, LPCWSTR) override { return scripted(path) ? E_FAIL : record(path); }
  HRESULT CommitChanges() override { return S_OK; }
  HRESULT IsItemAllocatedInPhone(LPCWSTR item, UINT* result) override {
    *result = allocated.count(vx::com::Utf16ToUtf8(item)) != 0 ? 1 : 0;
    return S_OK;
  }
  HRESULT IsItemAllocatedInBrowser(LPCWSTR, UINT* result) override {
    *result = 0;
    return S_OK;
  }
  HRESULT IsBrowserDirty(UINT* changed) override {
    *changed = static_cast<UINT>(writes.size());
    return S_OK;
  }

 private:
  bool scripted(LPCWSTR path) const { return leaves.count(vx::com::Utf16ToUtf8(path)) != 0; }
  HRESULT record(LPCWSTR path) {
    const std::string text = vx::com::Utf16ToUtf8(path);
    writes.push_back(text);
    return failingWrites.count(text) != 0 ? E_FAIL : S_OK;
  }
};

class ScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = vx::com::Make<ScriptedParams>();
    config = vx::com::Make<CUTConfig>();
    ASSERT_EQ(config->AttachConnection(static_cast<IVexParams1*>(fake.Get())), S_OK);
  }
  vx::com::ComPtr<ScriptedParams> fake;
  vx::com::ComPtr<CUTConfig> config;
};

TEST_F(ScriptedTest, ALeafOfAnotherDataTypeLeavesTheOutValueAlone) {
  fake->leaves["NV_BOOT_NAM.T_UCHAR"] = {NV_USHORT, 3};
  fake->leaves["NV_SLEEP_DURATION_AMID_DZ_SCANS.T_USHORT"] = {NV_ULONG, 0x12345};
  uint8_t nam = 0x77;
  EXPECT_EQ(config->CurrentNAM(GET_PARAM, 0, &nam), UTC_E_WRONG_TYPE);
  EXPECT_EQ(nam, 0x77);
  uint16_t interval = 0;
  EXPECT_EQ(config->SleepServiceScanInterval(GET_PARAM, 0, &interval), S_OK);  // no type check
  EXPECT_EQ(interval, 0x2345);
  uint8_t order = 1, reason = 2;
  fake->leaves["NV_LCKRSN_P_I.nv_lckrsn_type.lock_order"] = {NV_UCHAR, 5};
  fake->leaves["NV_LCKRSN_P_I.nv_lckrsn_type.lock_reason"] = {NV_CHAR, 6};
  EXPECT_EQ(config->CDMALockOrderReason(GET_PARAM, &order, &reason), UTC_E_WRONG_TYPE);
  EXPECT_EQ(order, 1);
  EXPECT_EQ(reason, 2);
}

TEST_F(ScriptedTest, AReadFailingPartWayLeavesTheRecordAlone) {
  const std::string entry = "NV_UI_PHONE_BOOK[3].ui_nv_phone_book_entry_type.";
  fake->allocated.insert("NV_UI_PHONE_BOOK[3]");
  for (const char* flag : {"hdr.flags.international", "hdr.flags.valid", "hdr.flags.secret"}) {
    fake->leaves[entry + flag] = {NV_UBITFIELD, 1};
  }
  fake->leaves[entry + "hdr.digits_index"] = {NV_UCHAR, 4};
  for (int k = 0; k < 12; ++k) fake->leaves[entry + "alpha[12].alpha[" + std::to_string(k) + "]"] = {NV_UCHAR, 'A'};
  fake->leaves[entry + "nibble[16].nibble[0]"] = {NV_UCHAR, 0x12};  // nibble[1] is missing
  phonebook_entry_type record;
  std::memset(&record, 0x5A, sizeof record);
  EXPECT_EQ(config->PhoneBookEntry(GET_PARAM, 3, &record), E_FAIL);
  for (std::size_t i = 0; i < sizeof record; ++i) ASSERT_EQ(reinterpret_cast<uint8_t*>(&record)[i], 0x5A) << i;

  LPWSTR text = reinterpret_cast<LPWSTR>(&record);
  EXPECT_EQ(config->DirectoryNumber(GET_PARAM, 0, nullptr, &text), E_FAIL);  // neither copy readable
  EXPECT_EQ(text, reinterpret_cast<LPWSTR>(&record));
}

TEST_F(ScriptedTest, ASetStopsAtTheFirstFailedWrite) {
  fake->failingWrites.insert("NV_UI_ROOT_MENU_BANNER[3].T_USHORT");
  EXPECT_EQ(config->Banner(SET_PARAM, const_cast<LPWSTR>(u"BANNER"), nullptr), E_FAIL);
  EXPECT_EQ(fake->writes,
            (std::vector<std::string>{"NV_UI_ROOT_MENU_BANNER[0].T_USHORT", "NV_UI_ROOT_MENU_BANNER[1].T_USHORT",
                                      "NV_UI_ROOT_MENU_BANNER[2].T_USHORT", "NV_UI_ROOT_MENU_BANNER[3].T_USHORT"}));
}

TEST_F(ScriptedTest, ClearingOrderReasonsTriesBothLeaves) {
  fake->failingWrites.insert("NV_MAINTRSN_I.nv_maintrsn_type.maint_order");
  EXPECT_EQ(config->CDMAMaintOrderReason(SET_PARAM, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(fake->writes, (std::vector<std::string>{"NV_MAINTRSN_I.nv_maintrsn_type.maint_order",
                                                    "NV_MAINTRSN_I.nv_maintrsn_type.maint_reason"}));
}

TEST_F(ScriptedTest, ANumericImsiTypeIsReadAndWrittenAsANumber) {
  const std::string imsi = "NV_AUTH_IMSI_P.SM_imsi_type.";
  fake->leaves[imsi + "imsi_type"] = {NV_UCHAR, OB_MIN_BASED_IMSI};
  for (int j = 0; j < 8; ++j) fake->leaves[imsi + "imsi[8].imsi[" + std::to_string(j) + "]"] = {NV_UCHAR, 0x12};
  orbitnet_imsi_type record{};
  ASSERT_EQ(config->OBIMSI(GET_PARAM, &record), S_OK);
  EXPECT_EQ(record.imsi_type, OB_MIN_BASED_IMSI);
  EXPECT_EQ(std::string(record.mcc, 3), "121");
  record.imsi_type = OB_UNPROGRAMMED_IMSI;
  ASSERT_EQ(config->OBIMSI(SET_PARAM, &record), S_OK);
  EXPECT_EQ(fake->leaves[imsi + "imsi_type"].second, static_cast<UI4>(OB_UNPROGRAMMED_IMSI));
  EXPECT_EQ(fake->writes.size(), 9u);
}

TEST_F(ScriptedTest, AnEmptyLanguageListIsAnAllocationFailure) {
  const int16_t english[] = {'E', 'N', 0};
  int32_t found = 9;
  EXPECT_EQ(config->IsLanguage(const_cast<int16_t*>(english), &found), E_OUTOFMEMORY);
  EXPECT_EQ(found, 9);
  fake->enumEntries = u"UI_LANGUAGE_ENGLISH,0,\r\n";
  EXPECT_EQ(config->IsLanguage(const_cast<int16_t*>(english), &found), S_OK);
  EXPECT_EQ(found, 1);
}

}  // namespace
}  // namespace vx::utconfig
