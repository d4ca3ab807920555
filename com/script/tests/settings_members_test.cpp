// The settings members of the script object over the simulated UT: their
// argument limits, their conversions, and what reaches the UT on commit.
#include <string>

#include "member_fixture.h"

namespace vx::script::testing {
namespace {

using SettingsMembersTest = ScriptMembersTest;

const std::u16string kDigits32 = u"12345678901234567890123456789012";

// --- cellular settings ------------------------------------------------------------------------------

TEST_F(SettingsMembersTest, CellularModePreferencesRefuseModesTheAllowedSetExcludes) {
  EXPECT_EQ(status("SetCellularModePrefs", {Short(0), Short(1), Short(5)}), E_INVALIDARG);
  EXPECT_EQ(status("SetCellularModePrefs", {Short(0), Short(3), Short(4)}), E_INVALIDARG);
  EXPECT_EQ(status("SetCellularModePrefs", {Short(0), Short(0), Short(4)}), E_INVALIDARG);
  EXPECT_EQ(status("SetCellularModePrefs", {Short(0), Short(2), Short(5)}), E_INVALIDARG);
  EXPECT_EQ(status("SetCellularModePrefs", {Short(0), Short(4), Short(6)}), E_INVALIDARG);
  EXPECT_EQ(status("SetCellularModePrefs", {Short(3), Short(1), Short(4)}), E_INVALIDARG);

  ASSERT_EQ(status("SetCellularModePrefs", {Short(1), Short(1), Short(4)}), S_OK);
  EXPECT_EQ(okNumber("get_PreferredCellularMode", {Short(1)}), 1);
  EXPECT_EQ(okNumber("get_AllowedCellularModes", {Short(1)}), 4);
  commit();
  EXPECT_EQ(utValue("NV_PREF_MODE_I[1].nv_pref_mode_type.mode"), 1);
  EXPECT_EQ(utValue("NV_UI_MODE_ALLOW[1].ui_mode_allow_type"), 4);
  EXPECT_EQ(utValue("NV_UI_MODE_ALLOW[0].ui_mode_allow_type"), 6);
}

TEST_F(SettingsMembersTest, AccessClassMinusOneTakesTheLastDigitOfTheNamsMin) {
  ASSERT_EQ(status("put_CellularIMSI", {Short(0), Text(u"310009555123457")}), S_OK);
  EXPECT_EQ(okText("get_CellularIMSI", {Short(0)}), u"310009555123457");
  EXPECT_EQ(status("put_IS95_ACCOLC", {Short(0), Long(7)}), E_INVALIDARG);
  EXPECT_EQ(status("put_IS95_ACCOLC", {Short(0), Long(16)}), E_INVALIDARG);
  ASSERT_EQ(status("put_IS95_ACCOLC", {Short(0), Long(-1)}), S_OK);
  EXPECT_EQ(okNumber("get_IS95_ACCOLC", {Short(0)}), 7);
  EXPECT_EQ(okNumber("get_AMPS_ACCOLC", {Short(0)}), 6);

  // The AMPS class follows the AMPS MIN of its own NAM.
  ASSERT_EQ(status("put_AMPSMIN", {Short(1), Text(u"6195550123")}), S_OK);
  ASSERT_EQ(status("put_AMPS_ACCOLC", {Short(1), Long(-1)}), S_OK);
  EXPECT_EQ(okNumber("get_AMPS_ACCOLC", {Short(1)}), 3);
  commit();
  EXPECT_EQ(utValue("NV_ACCOLC_I[0].nv_accolc_type.class[2].class[1]"), 7);
  EXPECT_EQ(utValue("NV_ACCOLC_I[0].nv_accolc_type.class[2].class[0]"), 6);
  EXPECT_EQ(utValue("NV_ACCOLC_I[1].nv_accolc_type.class[2].class[0]"), 3);
  EXPECT_EQ(okText("get_AMPSMIN", {Short(1)}), u"6195550123");
}

TEST_F(SettingsMembersTest, NumbersOfTheWrongLengthOrWithOtherCharactersAreRefused) {
  EXPECT_EQ(status("put_CellularIMSI", {Short(0), Text(u"31000955512345")}), E_INVALIDARG);
  EXPECT_EQ(status("put_CellularIMSI", {Short(0), Text(u"31000955512345A")}), E_INVALIDARG);
  EXPECT_EQ(status("put_AMPSMIN", {Short(0), Text(u"61955501234")}), E_INVALIDARG);
  EXPECT_EQ(status("put_CellularIMSI", {Short(3), Text(u"310009555123457")}), E_INVALIDARG);
}

TEST_F(SettingsMembersTest, SidNidPairsGoToRowOneAndNonZeroSidsShareTheirParity) {
  EXPECT_EQ(status("SetSIDNIDPairs", {Short(0), Short(3), Short(4), Short(0), Short(0), Long(1), Long(2), Long(3),
                                      Long(4)}),
            E_INVALIDARG);
  EXPECT_EQ(status("SetSIDNIDPairs", {Short(0), Short(3), Short(5), Short(0), Short(0), Long(1), Long(2), Long(3),
                                      Long(65536)}),
            E_INVALIDARG);
  ASSERT_EQ(status("SetSIDNIDPairs", {Short(0), Short(3), Short(0), Short(7), Short(32767), Long(1), Long(2), Long(3),
                                      Long(65535)}),
            S_OK);
  EXPECT_EQ(okNumber("get_SID", {Short(0), Short(3)}), 7);
  EXPECT_EQ(okNumber("get_NID", {Short(0), Short(4)}), 65535);
  EXPECT_EQ(status("get_SID", {Short(0), Short(5)}), E_INVALIDARG);
  commit();
  const std::string pairs = "NV_SID_NID_I[0].nv_sid_nid_type.pair[";
  EXPECT_EQ(utValue(pairs + "1].pair[4].pair[0].sid"), 3);
  EXPECT_EQ(utValue(pairs + "1].pair[4].pair[3].nid"), 65535);
  EXPECT_EQ(utValue(pairs + "0].pair[4].pair[0].sid"), 0);
}

// --- satellite settings -----------------------------------------------------------------------------

TEST_F(SettingsMembersTest, SatelliteAccessClassTakesZeroOrTenToFifteen) {
  EXPECT_EQ(status("put_OB_ACCOLC", {Long(5)}), E_INVALIDARG);
  EXPECT_EQ(status("put_OB_ACCOLC", {Long(16)}), E_INVALIDARG);
  ASSERT_EQ(status("put_OB_ACCOLC", {Long(12)}), S_OK);
  EXPECT_EQ(okNumber("get_OB_ACCOLC"), 12);
  ASSERT_EQ(status("put_OB_ACCOLC", {Long(15)}), S_OK);
  commit();
  EXPECT_EQ(utValue("NV_AUTH_ACCOLC_P.T_USHORT"), 15);
}

TEST_F(SettingsMembersTest, AcquisitionChannelPutKeepsTheOtherChannels) {
  EXPECT_EQ(status("put_AcquisitionChannelList", {Short(2), Long(125)}), E_INVALIDARG);
  EXPECT_EQ(status("put_AcquisitionChannelList", {Short(14), Long(5)}), E_INVALIDARG);
  ASSERT_EQ(status("put_AcquisitionChannelList", {Short(2), Long(99)}), S_OK);
  commit();
  EXPECT_EQ(utValue("NV_ACQUISITION_CHANNEL_LIST.grr_acquisition_info_type.channel[32].channel[0]"), 1);
  EXPECT_EQ(utValue("NV_ACQUISITION_CHANNEL_LIST.grr_acquisition_info_type.channel[32].channel[1]"), 99);
  EXPECT_EQ(utValue("NV_ACQUISITION_CHANNEL_LIST.grr_acquisition_info_type.channel[32].channel[2]"), 124);
}

TEST_F(SettingsMembersTest, ServiceProviderEntryRoundTripsAndIsCheckedFirst) {
  auto entry = [&](int position, std::u16string mcc, std::u16string mccName, int preferred, int prohibited) {
    return status("OB_Set_SPList_Entry", {Short(position), Text(std::move(mcc)), Text(u"26"),
                                          Text(std::move(mccName)), Text(u"NET"), Short(preferred), Long(prohibited)});
  };
  EXPECT_EQ(entry(67, u"310", u"USA", 3, 0), E_INVALIDARG);
  EXPECT_EQ(entry(5, u"3100", u"USA", 3, 0), E_INVALIDARG);
  EXPECT_EQ(entry(5, u"31A", u"USA", 3, 0), E_INVALIDARG);
  EXPECT_EQ(entry(5, u"310", u"", 3, 0), E_INVALIDARG);
  EXPECT_EQ(entry(5, u"310", u"USA", 3, 1), E_INVALIDARG);  // prohibited but preferred
  EXPECT_EQ(entry(5, u"310", u"USA\u20AC", 3, 0), E_INVALIDARG);

  ASSERT_EQ(entry(5, u"31", u"\u00C1SIA", -1, 1), S_OK);
  EXPECT_EQ(okText("get_OB_SPList_MCC", {Short(5)}), u"31");
  EXPECT_EQ(okText("get_OB_SPList_MNC", {Short(5)}), u"26");
  EXPECT_EQ(okText("get_OB_SPList_MCC_Name", {Short(5)}), u"\u00C1SIA");
  EXPECT_EQ(okNumber("get_OB_SPList_PreferredPos", {Short(5)}), -1);
  EXPECT_EQ(okNumber("get_OB_SPList_Prohibited", {Short(5)}), 1);
  commit();
  EXPECT_EQ(utValue("NV_UI_SP_TABLE[5].ui_sp_table_entry_type.sp_id.mcc"), 0x31F);
  EXPECT_EQ(utValue("NV_UI_SP_TABLE[5].ui_sp_table_entry_type.sp_name.mcc_name[12].mcc_name[0]"), 0x90);

  ASSERT_EQ(status("OB_Remove_SPList_Entry", {Short(5)}), S_OK);
  EXPECT_EQ(okText("get_OB_SPList_MCC", {Short(5)}), u"");
}

TEST_F(SettingsMembersTest, PacketDataModeOnATriModePortable) {
  EXPECT_EQ(okNumber("get_PacketDataPreferredMode", {Short(2)}), 7);
  EXPECT_EQ(status("put_PacketDataPreferredMode", {Short(0), Long(8)}), E_INVALIDARG);
  ASSERT_EQ(status("put_PacketDataPreferredMode", {Short(1), Long(4)}), S_OK);
  commit();
  EXPECT_EQ(utValue("NV_PPP_PREFERENCE[1].ui_ppp_preference_type"), 4);
}

// --- user interface settings ----------------------------------------------------------------------------

TEST_F(SettingsMembersTest, VolumeLimitsAndTheScalesSpecialMembers) {
  EXPECT_EQ(status("put_EarpieceVolume", {Long(0)}), E_INVALIDARG);
  EXPECT_EQ(status("put_RingerVolume", {Long(10)}), E_INVALIDARG);
  EXPECT_EQ(status("put_KeybeepVolume", {Long(0)}), S_OK);
  EXPECT_EQ(okNumber("get_RingerVolume"), 9);                // the scale's top member
  EXPECT_EQ(okNumber("get_EarpieceCKHandsetVolume"), 0);     // muted
  ASSERT_EQ(status("put_EarpieceVolume", {Long(9)}), S_OK);
  EXPECT_EQ(okNumber("get_EarpieceVolume"), 9);
  commit();
  EXPECT_EQ(utValue("NV_UI_EARPIECE_VOLUME.ui_volume_display_type"), 9);
}

TEST_F(SettingsMembersTest, PhoneBookNumbersMayTakeALeadingPlusOnly) {
  const std::u16string longest = u"+" + kDigits32;
  EXPECT_EQ(status("Set_PhonebookEntry", {Short(5), Text(u"ANA"), Text(u"12+34"), Long(0)}), E_INVALIDARG);
  EXPECT_EQ(status("Set_PhonebookEntry", {Short(5), Text(u"ANA"), Text(kDigits32 + u"3"), Long(0)}), E_INVALIDARG);
  EXPECT_EQ(status("Set_PhonebookEntry", {Short(5), Text(u"THIRTEEN CHRS"), Text(u"1"), Long(0)}), E_INVALIDARG);
  EXPECT_EQ(status("Set_PhonebookEntry", {Short(100), Text(u"ANA"), Text(u"1"), Long(0)}), E_INVALIDARG);

  ASSERT_EQ(status("Set_PhonebookEntry", {Short(5), Text(u"ANA"), Text(longest), Long(-1)}), S_OK);
  EXPECT_EQ(okText("get_PhonebookEntryNumber", {Short(5)}), longest);
  EXPECT_EQ(okText("get_PhonebookEntryName", {Short(5)}), u"ANA");
  EXPECT_EQ(okNumber("get_PhonebookEntrySecret", {Short(5)}), 1);
  EXPECT_EQ(okNumber("get_IsPhonebookEntryUnused", {Short(5)}), 0);
  commit();
  const std::string entry = "NV_UI_PHONE_BOOK[5].ui_nv_phone_book_entry_type.";
  EXPECT_EQ(utValue(entry + "hdr.flags.international"), 1);
  EXPECT_EQ(utValue(entry + "hdr.digits_index"), 32);
  EXPECT_EQ(utValue(entry + "nibble[16].nibble[0]"), 0x12);
}

TEST_F(SettingsMembersTest, CleaningThePhoneBookLeavesNoEntryInUse) {
  EXPECT_EQ(okNumber("get_IsPhonebookEntryUnused", {Short(1)}), 0);
  EXPECT_EQ(okText("get_PhonebookEntryNumber", {Short(1)}), u"5551234");
  ASSERT_EQ(status("CleanEntirePhonebook"), S_OK);
  EXPECT_EQ(okNumber("get_IsPhonebookEntryUnused", {Short(1)}), 1);
  EXPECT_EQ(okNumber("get_IsPhonebookEntryUnused", {Short(2)}), 1);
}

TEST_F(SettingsMembersTest, LastDialledNumberKeepsPlusAndName) {
  EXPECT_EQ(status("SetLastCallDialedDigits", {Text(u"NAME"), Text(u"1+2")}), E_INVALIDARG);
  EXPECT_EQ(status("SetLastCallDialedDigits", {Text(u"THIRTEEN CHRS"), Text(u"12")}), E_INVALIDARG);
  ASSERT_EQ(status("SetLastCallDialedDigits", {Text(u"OFFICE"), Text(u"*")}), S_OK);
  ASSERT_EQ(status("SetLastCallDialedDigits", {Text(u"HOME"), Text(u"+49-30")}), S_OK);
  EXPECT_EQ(okText("get_LastCallDialedDigitsNumber"), u"+49-30");
  EXPECT_EQ(okText("get_LastCallDialedDigitsText"), u"HOME");
  commit();
  EXPECT_EQ(utValue("NV_UI_LAST_DIALED.ui_nv_last_dialed_type.digits.hyphen"), 1);
  EXPECT_EQ(utValue("NV_UI_LAST_DIALED.ui_nv_last_dialed_type.digits.international"), 1);
}

TEST_F(SettingsMembersTest, EmergencyNumbersReadBackAsDigitsOnly) {
  ASSERT_EQ(status("put_SPEmergencyNumber", {Short(3), Text(u"+44-999")}), S_OK);
  ASSERT_EQ(status("put_UserEmergencyNumber", {Short(2), Text(u"+4930")}), S_OK);
  EXPECT_EQ(okText("get_SPEmergencyNumber", {Short(3)}), u"44-999");
  EXPECT_EQ(okText("get_UserEmergencyNumber", {Short(2)}), u"4930");
  commit();
  EXPECT_EQ(utValue("NV_UI_SP_EMERGENCY_LIST[2].ui_digits_type.international"), 1);
  EXPECT_EQ(utValue("NV_UI_USER_EMERGENCY_LIST[1].ui_digits_type.international"), 1);
}

TEST_F(SettingsMembersTest, LanguageFiveIsTakenWhenTheUtListsItsLanguages) {
  // The simulated UT offers Russian and Chinese.
  ASSERT_EQ(status("put_Language", {Long(5)}), S_OK);
  EXPECT_EQ(okNumber("get_Language"), 5);
  EXPECT_EQ(status("put_Language", {Long(6)}), E_INVALIDARG);
}

TEST_F(SettingsMembersTest, ClearingACallTimerClearsItsCounterToo) {
  EXPECT_EQ(okNumber("get_RoamingCallsHours"), 2);
  EXPECT_EQ(okNumber("get_RoamingCallsNumber"), 234);
  ASSERT_EQ(status("RoamingCallsClear"), S_OK);
  EXPECT_EQ(okNumber("get_RoamingCallsNumber"), 0);
  EXPECT_EQ(okNumber("get_RoamingCallsSeconds"), 0);
  EXPECT_EQ(okNumber("get_AllCallsNumber"), 1234);
}

// --- fixed-unit settings -------------------------------------------------------------------------------

TEST_F(SettingsMembersTest, ToneGroupsAnswerTheFirstRowTheyMatch) {
  EXPECT_EQ(okNumber("GetToneGroup"), 3);  // the UT's own indexes
  ASSERT_EQ(status("SetToneGroup", {Short(4)}), S_OK);
  EXPECT_EQ(okNumber("GetToneGroup"), 3);
  ASSERT_EQ(status("SetToneGroup", {Short(2)}), S_OK);
  EXPECT_EQ(okNumber("GetToneGroup"), 1);
  ASSERT_EQ(status("SetToneGroup", {Short(7)}), S_OK);
  EXPECT_EQ(okNumber("GetToneGroup"), 7);
  EXPECT_EQ(okNumber("get_Selector", {Short(2)}), 4);  // selector 2 is the busy tone
  ASSERT_EQ(status("put_Selector", {Short(0), Long(9)}), S_OK);
  EXPECT_EQ(okNumber("GetToneGroup"), -1);
  EXPECT_EQ(status("SetToneGroup", {Short(8)}), E_INVALIDARG);
  EXPECT_EQ(status("put_Selector", {Short(12), Long(1)}), E_INVALIDARG);
  EXPECT_EQ(status("put_Selector", {Short(1), Long(256)}), E_INVALIDARG);

  ASSERT_EQ(status("SetToneGroup", {Short(5)}), S_OK);
  commit();
  EXPECT_EQ(utValue("NV_SND_BUSY_TONE_INDEX.T_UCHAR"), 2);
  EXPECT_EQ(utValue("NV_SND_CALL_WAITING_TONE_INDEX.T_UCHAR"), 1);  // never written
}

TEST_F(SettingsMembersTest, CustomDescriptorsAreSixteenOrTwentyNumbers) {
  const std::u16string tone = u"440,500,-1,20,3,4,5,6,7,8,9,10,11,12,13,14";
  EXPECT_EQ(status("put_CustomDescriptor", {Short(2), Text(u"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15")}), E_INVALIDARG);
  EXPECT_EQ(status("put_CustomDescriptor", {Short(2), Text(tone + u",15")}), E_INVALIDARG);
  EXPECT_EQ(status("put_CustomDescriptor", {Short(2), Text(u"1,,3,4,5,6,7,8,9,10,11,12,13,14,15,16")}),
            E_INVALIDARG);
  EXPECT_EQ(status("put_CustomDescriptor", {Short(12), Text(tone)}), E_INVALIDARG);
  ASSERT_EQ(status("put_CustomDescriptor", {Short(2), Text(tone)}), S_OK);
  EXPECT_EQ(okText("get_CustomDescriptor", {Short(2)}), u"440,500,65535,20,3,4,5,6,7,8,9,10,11,12,13,14");
  EXPECT_EQ(okText("get_CustomDTMFDescriptor"),
            u"1209,697,1209,697,1209,697,1209,697,1209,697,1209,697,1209,697,1209,697,1209,697,1209,697");
  EXPECT_EQ(status("put_CustomDTMFDescriptor", {Text(tone)}), E_INVALIDARG);
  commit();
  EXPECT_EQ(utValue("NV_SND_CUSTOM_BUSY_TONE[1].snd_type.tone"), 0xFFFF);
  EXPECT_EQ(utValue("NV_SND_CUSTOM_BUSY_TONE[1].snd_type.duration_ms"), 20);
}

// --- a module UT ---------------------------------------------------------------------------------------

class ModuleMembersTest : public ScriptMembersTest {
 protected:
  kmx::sim::CatalogueVariant variant() const override {
    kmx::sim::CatalogueVariant module;
    module.mainModel = kmx::sim::main_model::kModule;
    return module;
  }
};

TEST_F(ModuleMembersTest, ModuleRefusesUiMembersWithoutAskingTheUt) {
  const uint32_t frames = sim->counters().framesReceived;
  for (const auto& [name, args] : std::vector<std::pair<std::string, std::vector<Value>>>{
           {"get_Banner", {}},
           {"put_Banner", {Text(u"HELLO")}},
           {"put_EarpieceVolume", {Long(5)}},
           {"Set_PhonebookEntry", {Short(3), Text(u"ANA"), Text(u"123"), Long(0)}},
           {"get_PhonebookEntryName", {Short(1)}},
           {"SetLastCallDialedDigits", {Text(u"ANA"), Text(u"123")}},
           {"put_Language", {Long(1)}},
           {"RoamingCallsClear", {}},
           {"get_PacketDataPreferredMode", {Short(2)}}}) {
    EXPECT_EQ(status(name, args), VEX_E_NO_DATA) << name;
    EXPECT_EQ(object->lastError().message, Message::SettingFailed) << name;
  }
  EXPECT_EQ(sim->counters().framesReceived, frames);
  // Arguments are checked first; members that are not M still work.
  EXPECT_EQ(status("put_EarpieceVolume", {Long(0)}), E_INVALIDARG);
  EXPECT_EQ(okNumber("get_DataServicesReceivedBytes"), 65536);
  EXPECT_EQ(okNumber("get_OB_ACCOLC"), 12);
}

}  // namespace
}  // namespace vx::script::testing
