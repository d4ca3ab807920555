// Scalars, booleans, enums, character rows, timers, tones and the actions:
// what reaches the UT, and what a fresh connection reads back.
#include "ut_config_fixture.h"

namespace vx::utconfig::testing {
namespace {

constexpr const char* kAnyKey = "NV_UI_ANYKEYANSWER_ENABLED.ui_on_off_display_type";
constexpr const char* kBanner = "NV_UI_ROOT_MENU_BANNER[%d].T_USHORT";

std::string bannerLeaf(int k) {
  char path[64];
  std::snprintf(path, sizeof path, kBanner, k);
  return path;
}

TEST_F(UTConfigTest, NothingReachesTheUtBeforeTheCallerCommits) {
  connect();
  ASSERT_EQ(ui->Timezone(SET_PARAM, 120, nullptr), S_OK);
  EXPECT_EQ(dirtyItems(), 1u);
  EXPECT_EQ(utValue("NV_UI_TIMEZONE.T_USHORT"), 60);
  uint16_t zone = 0;
  ASSERT_EQ(ui->Timezone(GET_PARAM, 0, &zone), S_OK);
  EXPECT_EQ(zone, 120);  // the staged value
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue("NV_UI_TIMEZONE.T_USHORT"), 120);
}

TEST_F(UTConfigTest, ScalarsRoundTripThroughTheUt) {
  connect();
  ASSERT_EQ(general->NoServiceTimeUntilSleep(SET_PARAM, 4321, nullptr), S_OK);
  ASSERT_EQ(general->CurrentNAM(SET_PARAM, 2, nullptr), S_OK);
  ASSERT_EQ(general->AutoNAM(SET_PARAM, 0, nullptr), S_OK);
  ASSERT_EQ(orbitnet->LastGWRegistration(SET_PARAM, 70000, nullptr), S_OK);
  ASSERT_EQ(terrestrial->EVRCHomePage(SET_PARAM, 1, 0x8011, nullptr), S_OK);
  ASSERT_EQ(afut->EndCallWink(SET_PARAM, 250, nullptr), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_TIME_TILL_SLEEP.T_ULONG"), 4321);
  EXPECT_EQ(utValue("NV_PREF_VOICE_SO_I[1].nv_pref_voice_so_type.home_page_voice_so"), 0x8011);
  EXPECT_EQ(utValue("NV_PREF_VOICE_SO_I[0].nv_pref_voice_so_type.home_page_voice_so"), 0x8000);

  uint32_t sleep = 0, gateway = 0;
  uint8_t nam = 9;
  int32_t autoNam = 9;
  uint16_t page = 0, wink = 0;
  EXPECT_EQ(general->NoServiceTimeUntilSleep(GET_PARAM, 0, &sleep), S_OK);
  EXPECT_EQ(general->CurrentNAM(GET_PARAM, 0, &nam), S_OK);
  EXPECT_EQ(general->AutoNAM(GET_PARAM, 0, &autoNam), S_OK);
  EXPECT_EQ(orbitnet->LastGWRegistration(GET_PARAM, 0, &gateway), S_OK);
  EXPECT_EQ(terrestrial->EVRCHomePage(GET_PARAM, 1, 0, &page), S_OK);
  EXPECT_EQ(afut->EndCallWink(GET_PARAM, 0, &wink), S_OK);
  EXPECT_EQ(sleep, 4321u);
  EXPECT_EQ(nam, 2);
  EXPECT_EQ(autoNam, 0);
  EXPECT_EQ(gateway, 70000u);
  EXPECT_EQ(page, 0x8011);
  EXPECT_EQ(wink, 250);
}

TEST_F(UTConfigTest, BooleansOverEnumsWriteOnOnlyForOne) {
  connect();
  int32_t flag = 7;
  ASSERT_EQ(ui->AnyKeyAnswer(GET_PARAM, 0, &flag), S_OK);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(ui->AnyKeyAnswer(SET_PARAM, 1, nullptr), S_OK);
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue(kAnyKey), 5);                             // UI_ON_DISPLAY
  ASSERT_EQ(ui->AnyKeyAnswer(SET_PARAM, -1, nullptr), S_OK);  // an automation true is not 1
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue(kAnyKey), 4);  // UI_OFF_DISPLAY

  ASSERT_EQ(general->MinuteAlert(GET_PARAM, 0, &flag), S_OK);  // the FIRST member reads as off
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(general->ServiceAlert(GET_PARAM, 0, &flag), S_OK);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(terrestrial->AmpsSendPIN(GET_PARAM, 1, 0, &flag), S_OK);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(terrestrial->AllowUserToModCellPrefs(SET_PARAM, 2, 0, nullptr), S_OK);
  ASSERT_EQ(general->RestrictUT(SET_PARAM, 1, nullptr), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_UI_USER_SPEC_CELL_PREFERENCE[2].ui_cell_preference_user_control"), 4);
  EXPECT_EQ(utValue("NV_UI_USER_SPEC_CELL_PREFERENCE[1].ui_cell_preference_user_control"), 5);
  ASSERT_EQ(general->RestrictUT(GET_PARAM, 0, &flag), S_OK);
  EXPECT_EQ(flag, 1);
}

TEST_F(UTConfigTest, AFlagEnumHoldingAnotherMemberReadsAsOnWithAWarning) {
  setUtValue("NV_UI_AUTOHYPHEN.ui_on_off_display_type", 9);
  connect();
  int32_t flag = 0;
  EXPECT_EQ(ui->AutoHyphen(GET_PARAM, 0, &flag), UTC_E_UNEXPECTED_MEMBER);
  EXPECT_EQ(flag, 1);
}

TEST_F(UTConfigTest, NumericFlagsReadAsZeroOrOne) {
  connect();
  int32_t flag = 7;
  ASSERT_EQ(orbitnet->OB_SMSTimeStampAdjust(GET_PARAM, 0, &flag), S_OK);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(terrestrial->CDMA_SMSTimeStampAdjust(GET_PARAM, 0, 0, &flag), S_OK);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(terrestrial->CDMA_SMSTimeStampAdjust(GET_PARAM, 0, 1, &flag), S_OK);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(terrestrial->CDMA_SMSTimeStampAdjust(SET_PARAM, 1, 0, nullptr), S_OK);
  ASSERT_EQ(terrestrial->EVRCEnabled(SET_PARAM, 2, 0, nullptr), S_OK);
  commitAndReconnect();
  const std::string control = "NV_UI_SMS_TIME_STAMP_ADJ_MODE_CONTROL.ui_sms_time_stamp_adj_mode_control_type.";
  EXPECT_EQ(utValue(control + "cell_nam_0_adjust"), 1);
  EXPECT_EQ(utValue(control + "obnet_nam_adjust"), 1);
  EXPECT_EQ(utValue("NV_PREF_VOICE_SO_I[2].nv_pref_voice_so_type.evrc_capability_enabled"), 0);
  ASSERT_EQ(terrestrial->EVRCEnabled(GET_PARAM, 1, 0, &flag), S_OK);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(terrestrial->EVRCEnabled(GET_PARAM, 2, 0, &flag), S_OK);
  EXPECT_EQ(flag, 0);
}

TEST_F(UTConfigTest, EnumsByNameAndByNumber) {
  connect();
  uint32_t value = 99;
  LPWSTR name = nullptr;
  ASSERT_EQ(ui->CarkitHandset(GET_PARAM, nullptr, 0, &value, &name), S_OK);
  EXPECT_EQ(take(name), u"CKIT_VC_VOLUME_MUTE");
  EXPECT_EQ(value, 0xFFFFFFFFu);
  ASSERT_EQ(general->LockMode(SET_PARAM, const_cast<LPWSTR>(u"UI_LOCK_NOW_DISPLAY"), 4, nullptr, nullptr), S_OK);
  ASSERT_EQ(general->DataServicesBaudRate(SET_PARAM, nullptr, 3, nullptr, nullptr), S_OK);
  EXPECT_TRUE(FAILED(ui->Backlight(SET_PARAM, const_cast<LPWSTR>(u"UI_NO_SUCH_MEMBER"), 0, nullptr, nullptr)));
  ASSERT_EQ(terrestrial->CDMAPrefServingSystem(SET_PARAM, 0, 1, nullptr, 0, nullptr, nullptr), S_OK);
  ASSERT_EQ(terrestrial->CDMA_PacketDataPreferredMode(SET_PARAM, 1, nullptr, 4, nullptr, nullptr), S_OK);
  ASSERT_EQ(orbitnet->OB_PacketDataPreferredMode(SET_PARAM, nullptr, 5, nullptr, nullptr), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_ANALOG_PREF_SERV_I[1].nv_pref_serv_type.sys"), 0);
  EXPECT_EQ(utValue("NV_CDMA_PREF_SERV_I[1].nv_pref_serv_type.sys"), 3);
  EXPECT_EQ(utValue("NV_PPP_PREFERENCE[1].ui_ppp_preference_type"), 4);
  EXPECT_EQ(utValue("NV_PPP_PREFERENCE[2].ui_ppp_preference_type"), 5);
  EXPECT_EQ(utValue("NV_UI_BACKLIGHT.ui_backlight_display_type"), 6);
  ASSERT_EQ(general->LockMode(GET_PARAM, nullptr, 0, &value, &name), S_OK);
  EXPECT_EQ(take(name), u"UI_LOCK_NOW_DISPLAY");
  EXPECT_EQ(value, 6u);
  ASSERT_EQ(general->DataServicesBaudRate(GET_PARAM, nullptr, 0, &value, &name), S_OK);
  EXPECT_EQ(take(name), u"BAUDRATE_9600");
  ASSERT_EQ(terrestrial->PreferredMode(GET_PARAM, 2, nullptr, 0, &value, &name), S_OK);
  EXPECT_EQ(take(name), u"MC_MODE_PREF_AUTOMATIC");
}

TEST_F(UTConfigTest, BannerIsPaddedWithSpacesAndCut) {
  connect();
  ASSERT_EQ(ui->Banner(SET_PARAM, const_cast<LPWSTR>(u"ABC"), nullptr), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue(bannerLeaf(0)), 'A');
  EXPECT_EQ(utValue(bannerLeaf(2)), 'C');
  for (int k = 3; k < 14; ++k) EXPECT_EQ(utValue(bannerLeaf(k)), ' ') << k;
  LPWSTR text = nullptr;
  ASSERT_EQ(ui->Banner(GET_PARAM, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"ABC           ");

  ASSERT_EQ(ui->Banner(SET_PARAM, const_cast<LPWSTR>(u"ABCDEFGHIJKLMNOPQRST"), nullptr), S_OK);
  ASSERT_EQ(ui->Banner(GET_PARAM, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"ABCDEFGHIJKLMN");
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue(bannerLeaf(13)), 'N');
}

TEST_F(UTConfigTest, LockCodesNamesAndPinsAreCharacterRows) {
  connect();
  LPWSTR text = nullptr;
  ASSERT_EQ(general->FieldServiceHiddenCode(GET_PARAM, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"123456");
  ASSERT_EQ(general->UserLockCode(SET_PARAM, const_cast<LPWSTR>(u"4321"), nullptr), S_OK);
  ASSERT_EQ(terrestrial->AmpsAutoPIN(SET_PARAM, 1, const_cast<LPWSTR>(u"97531"), nullptr), S_OK);
  ASSERT_EQ(terrestrial->NAMName(SET_PARAM, 1, const_cast<LPWSTR>(u"ROAMING"), nullptr), S_OK);
  commitAndReconnect();
  ASSERT_EQ(general->UserLockCode(GET_PARAM, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"4321  ");
  ASSERT_EQ(terrestrial->AmpsAutoPIN(GET_PARAM, 1, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"9753");
  ASSERT_EQ(terrestrial->NAMName(GET_PARAM, 1, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"ROAMING     ");
  // The display copy of NAM 1 carries the name as well.
  const std::string mirror = "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.";
  EXPECT_EQ(utValue(mirror + "alpha[12].alpha[0]"), 'R');
  EXPECT_EQ(utValue(mirror + "hdr.flags.alpha_valid"), 1);
}

TEST_F(UTConfigTest, TimersAndCountersReadAndClear) {
  connect();
  nv_calltime_type time{};
  time.valid = 5;
  ASSERT_EQ(ui->AllCallsTime(GET_PARAM, &time), S_OK);
  EXPECT_EQ(time.usHours, 12);
  EXPECT_EQ(time.ucMinutes, 34);
  EXPECT_EQ(time.ucSeconds, 56);
  uint32_t count = 0;
  ASSERT_EQ(ui->DataCallsRXCount(GET_PARAM, &count), S_OK);
  EXPECT_EQ(count, 65536u);
  ASSERT_EQ(ui->AllCallsTime(SET_PARAM, &time), S_OK);
  ASSERT_EQ(ui->RoamCallsCount(SET_PARAM, nullptr), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_UI_TIME_ALLCALLS.ui_time_type.hr"), 0);
  EXPECT_EQ(utValue("NV_UI_TIME_ALLCALLS.ui_time_type.sec"), 0);
  EXPECT_EQ(utValue("NV_UI_NUM_ROAMCALLS.T_ULONG"), 0);
  EXPECT_EQ(utValue("NV_UI_NUM_ALLCALLS.T_ULONG"), 1234);

  uint8_t order = 9, reason = 9;
  ASSERT_EQ(general->CDMALockOrderReason(GET_PARAM, &order, &reason), S_OK);
  EXPECT_EQ(order, 1);
  EXPECT_EQ(reason, 3);
  ASSERT_EQ(general->CDMALockOrderReason(SET_PARAM, nullptr, nullptr), S_OK);
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue("NV_LCKRSN_P_I.nv_lckrsn_type.lock_order"), 0);
  EXPECT_EQ(utValue("NV_LCKRSN_P_I.nv_lckrsn_type.lock_reason"), 0);
}

TEST_F(UTConfigTest, ToneIndexesAndCustomTones) {
  connect();
  uint8_t index = 0;
  EXPECT_EQ(afut->ToneIndex(GET_PARAM, AFUT_END_OF_ENUMS, &index), UTC_E_TONE_TYPE);
  EXPECT_EQ(afut->ToneIndex(GET_PARAM, static_cast<AFUTToneIDs>(-1), &index), UTC_E_TONE_TYPE);
  ASSERT_EQ(afut->ToneIndex(GET_PARAM, AFUT_BUSY, &index), S_OK);
  EXPECT_EQ(index, 3);
  index = 4;
  ASSERT_EQ(afut->ToneIndex(SET_PARAM, AFUT_MSGWAITING, &index), S_OK);

  nv_afut_custom_tone_type tone{};
  tone.toneType = AFUT_END_OF_ENUMS;
  EXPECT_EQ(afut->CustomTone(GET_PARAM, &tone), UTC_E_TONE_TYPE);
  tone.toneType = AFUT_RING;
  ASSERT_EQ(afut->CustomTone(GET_PARAM, &tone), S_OK);
  EXPECT_EQ(tone.tone[0], 440);
  EXPECT_EQ(tone.duration_ms[0], 500);
  tone.toneType = AFUT_CALL_WAITING;
  for (int k = 0; k < 8; ++k) {
    tone.tone[k] = static_cast<uint16_t>(300 + k);
    tone.duration_ms[k] = static_cast<uint16_t>(10 * k);
  }
  ASSERT_EQ(afut->CustomTone(SET_PARAM, &tone), S_OK);

  nv_afut_custom_dtmf_tone_type dtmf{};
  for (int k = 0; k < 10; ++k) {
    dtmf.index_hi[k] = static_cast<uint16_t>(1000 + k);
    dtmf.index_lo[k] = static_cast<uint16_t>(600 + k);
  }
  ASSERT_EQ(afut->CustomDTMF(SET_PARAM, &dtmf), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_SND_MESSAGE_WAITING_DIAL_TONE_INDEX.T_UCHAR"), 4);
  EXPECT_EQ(utValue("NV_SND_CUSTOM_CALL_WAITING_TONE[7].snd_type.tone"), 307);
  EXPECT_EQ(utValue("NV_SND_CUSTOM_CALL_WAITING_TONE[7].snd_type.duration_ms"), 70);
  EXPECT_EQ(utValue("NV_SND_CUSTOM_DTMF_TABLE[9].snd_custom_dtmf_type.index_lo"), 609);
  nv_afut_custom_dtmf_tone_type back{};
  ASSERT_EQ(afut->CustomDTMF(GET_PARAM, &back), S_OK);
  EXPECT_EQ(back.valid, 1);
  EXPECT_EQ(back.index_hi[0], 1000);
  EXPECT_EQ(back.index_hi[9], 1009);
}

TEST_F(UTConfigTest, WarrantyCountStopsAtNine) {
  const std::string swaps = "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[4]";
  connect();
  ASSERT_EQ(general->IncrementWDC(), S_OK);
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue(swaps), '5');
  closeConnection();
  setUtValue(swaps, '9');
  connect();
  EXPECT_EQ(general->IncrementWDC(), S_OK);
  EXPECT_EQ(dirtyItems(), 0u);
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue(swaps), '9');
}

TEST_F(UTConfigTest, ActionsWriteTheirFixedSequences) {
  connect();
  ASSERT_EQ(general->SetServiceProgDateAsCurrent(), S_OK);
  ASSERT_EQ(terrestrial->ResetSIDNIDList(), S_OK);
  commitAndReconnect();
  const std::string date = "NV_UI_SERVICE_PROG_DATE.ui_nv_service_prog_date_type.";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(utValue(date + "Year"), local.tm_year + 1900);
  EXPECT_EQ(utValue(date + "Month"), local.tm_mon + 1);
  EXPECT_EQ(utValue("NV_SID_NID_LIST_I.nv_sid_nid_list_type.sid"), 0);
  EXPECT_EQ(utValue("NV_SID_NID_LIST_I.nv_sid_nid_list_type.nid"), 0);
  EXPECT_EQ(utValue("NV_SID_NID_LIST_I.nv_sid_nid_list_type.band_class"), 0);
}

TEST_F(UTConfigTest, IsLanguageSearchesTheMemberList) {
  connect();
  int32_t found = 9;
  const int16_t french[] = {'F', 'R', 'E', 'N', 'C', 'H', 0};
  const int16_t klingon[] = {'K', 'L', 'I', 'N', 'G', 'O', 'N', 0};
  ASSERT_EQ(ui->IsLanguage(const_cast<int16_t*>(french), &found), S_OK);
  EXPECT_EQ(found, 1);
  ASSERT_EQ(ui->IsLanguage(const_cast<int16_t*>(klingon), &found), S_OK);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(ui->IsLanguage(nullptr, &found), E_INVALIDARG);
}

}  // namespace
}  // namespace vx::utconfig::testing
