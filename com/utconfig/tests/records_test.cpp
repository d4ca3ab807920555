// Records: the SP table in both name layouts, the satellite and cellular
// identities, per-NAM records and the optional per-NAM items.
#include <cstring>

#include "ut_config_fixture.h"

namespace vx::utconfig::testing {
namespace {

std::string spLeaf(int i, const std::string& leaf) {
  return "NV_UI_SP_TABLE[" + std::to_string(i) + "].ui_sp_table_entry_type." + leaf;
}

TEST_F(UTConfigTest, KnownSpEntriesReadTheirDigitsAndNames) {
  connect();
  knownsp_entry_type entry{};
  EXPECT_EQ(general->KnownSPEntry(GET_PARAM, 67, &entry), E_INVALIDARG);
  EXPECT_EQ(general->KnownSPEntry(GET_PARAM, -1, &entry), E_INVALIDARG);
  ASSERT_EQ(general->KnownSPEntry(GET_PARAM, 0, &entry), S_OK);
  EXPECT_EQ(entry.valid, 1);
  EXPECT_EQ(std::string(entry.mcc, 3), "310");
  EXPECT_EQ(std::string(entry.mnc, 3), "26 ");
  EXPECT_EQ(std::string(entry.mnc_name, 7), "SKYLINK");
  ASSERT_EQ(general->KnownSPEntry(GET_PARAM, 66, &entry), S_OK);
  EXPECT_EQ(entry.is_prohibited, 1);
  EXPECT_EQ(entry.ksp_position, 66);
  ASSERT_EQ(general->KnownSPEntry(GET_PARAM, 5, &entry), S_OK);
  EXPECT_EQ(entry.valid, 0);
  EXPECT_EQ(entry.ksp_position, 5);
  EXPECT_EQ(entry.mcc[0], 0);
}

TEST_F(UTConfigTest, ClearingAnSpEntryMarksItUnusedAndTheTableChanged) {
  connect();
  knownsp_entry_type entry{};
  entry.valid = 0;
  entry.pos_in_pref_list = 3;
  ASSERT_EQ(general->KnownSPEntry(SET_PARAM, 1, &entry), S_OK);
  knownsp_entry_type added{};
  added.valid = 1;
  std::memcpy(added.mcc, "234", 3);
  std::memcpy(added.mnc, "15 ", 3);
  std::memcpy(added.mcc_name, "UK          ", 12);
  std::memcpy(added.mnc_name, "HOMELINK    ", 12);
  added.pos_in_pref_list = 2;
  ASSERT_EQ(general->KnownSPEntry(SET_PARAM, 10, &added), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue(spLeaf(1, "pos_in_pref_list")), 0xFF);
  EXPECT_EQ(utValue(spLeaf(1, "sp_id.mcc")), 0xFFF);
  EXPECT_EQ(utValue(spLeaf(1, "sp_id.mnc")), 0xFFF);
  EXPECT_EQ(utValue(spLeaf(1, "sp_name.mcc_name[12].mcc_name[0]")), ' ');
  EXPECT_EQ(utValue("NV_UI_SP_TABLE_DIRTY.T_UCHAR"), 1);
  EXPECT_EQ(utValue(spLeaf(10, "sp_id.mcc")), 0x234);
  EXPECT_EQ(utValue(spLeaf(10, "sp_id.mnc")), 0x15F);
  knownsp_entry_type back{};
  ASSERT_EQ(general->KnownSPEntry(GET_PARAM, 1, &back), S_OK);
  EXPECT_EQ(back.valid, 0);
  ASSERT_EQ(general->KnownSPEntry(GET_PARAM, 10, &back), S_OK);
  EXPECT_EQ(back.valid, 1);
  EXPECT_EQ(back.pos_in_pref_list, 2);
  EXPECT_EQ(std::string(back.mnc_name, 12), "HOMELINK    ");
}

class WideSpNamesUtTest : public UTConfigTest {
 protected:
  kmx::sim::CatalogueVariant variant() const override {
    kmx::sim::CatalogueVariant wide;
    wide.nameArrayLength = 33;
    wide.unicodePhoneBookNames = true;
    return wide;
  }
};

TEST_F(WideSpNamesUtTest, ThirtyThreeCharacterNamesCarryTwelve) {
  connect();
  knownsp_entry_unicode_type entry{};
  ASSERT_EQ(general->KnownSPEntryUnicode(GET_PARAM, 1, &entry), S_OK);
  EXPECT_EQ(entry.u_mcc_name[0], 'G');
  EXPECT_EQ(entry.u_mnc_name[6], 'L');
  entry.u_mnc_name[0] = 0x00D6;  // O with diaeresis
  ASSERT_EQ(general->KnownSPEntryUnicode(SET_PARAM, 1, &entry), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue(spLeaf(1, "sp_name.mnc_name[33].mnc_name[0]")), 0x00D6);
  EXPECT_EQ(utValue(spLeaf(1, "sp_name.mnc_name[33].mnc_name[12]")), 0);  // beyond the 12 written
  EXPECT_EQ(utValue("NV_UI_SP_TABLE_DIRTY.T_UCHAR"), 1);
}

TEST_F(UTConfigTest, SatelliteIdentityAndRegistrations) {
  connect();
  orbitnet_imsi_type imsi{};
  ASSERT_EQ(orbitnet->OBIMSI(GET_PARAM, &imsi), S_OK);
  EXPECT_EQ(imsi.valid, 1);
  EXPECT_EQ(imsi.imsi_type, OB_TRUE_IMSI);
  EXPECT_EQ(std::string(imsi.mcc, 3) + std::string(imsi.mnc, 3) + std::string(imsi.msin, 10), "9010312345678901");
  std::memcpy(imsi.msin, "00000042  ", 10);
  imsi.imsi_type = OB_MIN_BASED_IMSI;
  ASSERT_EQ(orbitnet->OBIMSI(SET_PARAM, &imsi), S_OK);

  last_sp_reg_type reg{};
  ASSERT_EQ(orbitnet->LastSPRegistration(GET_PARAM, &reg), S_OK);
  EXPECT_EQ(reg.valid, 1);
  EXPECT_EQ(std::string(reg.mnc, 3), "26 ");
  EXPECT_EQ(reg.digit_tmode, 1);
  ASSERT_EQ(orbitnet->LastSPRegistration(SET_PARAM, nullptr), S_OK);  // clears

  last_sp_reg_type home{};
  home.valid = 1;
  std::memcpy(home.mcc, "262", 3);
  std::memcpy(home.mnc, "01 ", 3);
  ASSERT_EQ(orbitnet->HomeSP(SET_PARAM, &home), S_OK);
  int16_t channel = 17;
  int32_t gateway = -5;
  ASSERT_EQ(orbitnet->HomeGatewayInfo(SET_PARAM, &channel, &gateway), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_AUTH_IMSI_P.SM_imsi_type.imsi[8].imsi[7]"), 0xFF);
  EXPECT_EQ(utValue("NV_AUTH_IMSI_P.SM_imsi_type.imsi_type"), 1);
  EXPECT_EQ(utValue("NV_GCP_REG_SP.GCP_sp_reg_type.mcc"), 0xFFF);
  EXPECT_EQ(utValue("NV_HOME_SP.GCP_sp_id_type.mnc"), 0x01F);
  ASSERT_EQ(orbitnet->LastSPRegistration(GET_PARAM, &reg), S_OK);
  EXPECT_EQ(reg.valid, 0);
  ASSERT_EQ(orbitnet->HomeSP(GET_PARAM, &home), S_OK);
  EXPECT_EQ(std::string(home.mcc, 3), "262");
  channel = 0;
  gateway = 0;
  ASSERT_EQ(orbitnet->HomeGatewayInfo(GET_PARAM, &channel, &gateway), S_OK);
  EXPECT_EQ(channel, 17);
  EXPECT_EQ(gateway, -5);
  ASSERT_EQ(orbitnet->OBIMSI(GET_PARAM, &imsi), S_OK);
  EXPECT_EQ(std::string(imsi.msin, 10), "00000042  ");
}

TEST_F(UTConfigTest, AcquisitionListHasThirteenChannels) {
  connect();
  aclist_type list{};
  ASSERT_EQ(orbitnet->ACList(GET_PARAM, &list), S_OK);
  EXPECT_EQ(list.valid, 1);
  EXPECT_EQ(list.acl[2], 124);
  EXPECT_EQ(list.acl[12], 0);
  for (int k = 0; k < 13; ++k) list.acl[k] = static_cast<int16_t>(100 + k);
  ASSERT_EQ(orbitnet->ACList(SET_PARAM, &list), S_OK);
  commitAndReconnect();
  const std::string channels = "NV_ACQUISITION_CHANNEL_LIST.grr_acquisition_info_type.channel[32].channel[";
  EXPECT_EQ(utValue(channels + "12]"), 112);
  EXPECT_EQ(utValue(channels + "13]"), 0);
  EXPECT_EQ(utValue("NV_ACQUISITION_CHANNEL_LIST.grr_acquisition_info_type.num_channels"), 3);
}

TEST_F(UTConfigTest, CellularImsiAndMinRoundTripWithZeroDigits) {
  connect();
  cellular_imsi_type imsi{};
  std::memcpy(imsi.mcc, "302", 3);
  std::memcpy(imsi.i11_12, "20", 2);
  std::memcpy(imsi.min2, "408", 3);
  std::memcpy(imsi.min1, "2030405", 7);
  ASSERT_EQ(terrestrial->CellularIMSI(SET_PARAM, 1, &imsi), S_OK);
  amps_min_type min{};
  std::memcpy(min.min2, "000", 3);
  std::memcpy(min.min1, "0000000", 7);
  ASSERT_EQ(terrestrial->AmpsMIN(SET_PARAM, 2, &min), S_OK);
  EXPECT_EQ(terrestrial->CellularIMSI(GET_PARAM, 3, &imsi), E_INVALIDARG);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_IMSI_MCC_I[1].nv_imsi_mcc_type.imsi_mcc"), 291);
  EXPECT_EQ(utValue("NV_IMSI_11_12_I[1].nv_imsi_11_12_type.imsi_11_12"), 19);
  EXPECT_EQ(utValue("NV_MIN2_I[1].nv_min2_type.min2[2].min2[1]"), 397);
  EXPECT_EQ(utValue("NV_MIN1_I[1].nv_min1_type.min1[2].min1[1]"), (192 << 14) | (10 << 10) | 394);
  EXPECT_EQ(utValue("NV_MIN2_I[1].nv_min2_type.min2[2].min2[0]"), 508);  // the AMPS MIN stays
  EXPECT_EQ(utValue("NV_MIN2_I[2].nv_min2_type.min2[2].min2[0]"), 999);

  cellular_imsi_type back;
  std::memset(&back, 'x', sizeof back);
  ASSERT_EQ(terrestrial->CellularIMSI(GET_PARAM, 1, &back), S_OK);
  EXPECT_EQ(back.valid, 0);
  EXPECT_EQ(
      std::string(back.mcc, 3) + std::string(back.i11_12, 2) + std::string(back.min2, 3) + std::string(back.min1, 7),
      "302204082030405");
  amps_min_type minBack{};
  ASSERT_EQ(terrestrial->AmpsMIN(GET_PARAM, 2, &minBack), S_OK);
  EXPECT_EQ(std::string(minBack.min2, 3) + std::string(minBack.min1, 7), "0000000000");
}

TEST_F(UTConfigTest, PerNamRecordsRoundTrip) {
  connect();
  cdma_channels_type channels{};
  ASSERT_EQ(terrestrial->CDMAChannels(GET_PARAM, 0, &channels), S_OK);
  EXPECT_EQ(channels.primary_a, 283);
  EXPECT_EQ(channels.secondary_b, 777);
  channels = {0, 1, 2, 3, 4};
  ASSERT_EQ(terrestrial->CDMAChannels(SET_PARAM, 2, &channels), S_OK);

  nv_sid_nid_type pairs{};
  ASSERT_EQ(terrestrial->SIDNIDPairs(GET_PARAM, 0, &pairs), S_OK);
  EXPECT_EQ(pairs.pair[1][0].sid, 4145);
  EXPECT_EQ(pairs.pair[1][1].nid, 1);
  pairs.pair[0][3] = {77, 88};
  ASSERT_EQ(terrestrial->SIDNIDPairs(SET_PARAM, 1, &pairs), S_OK);

  term_registration_type term{};
  ASSERT_EQ(terrestrial->CDMATermRegistration(GET_PARAM, 0, &term), S_OK);
  EXPECT_EQ(term.bHomeSIDTerm, 1);
  EXPECT_EQ(term.bForeignSIDTerm, 0);
  term.bForeignNIDTerm = 1;
  ASSERT_EQ(terrestrial->CDMATermRegistration(SET_PARAM, 0, &term), S_OK);

  amps_first_control_channel_type control{0, 21, 22};
  ASSERT_EQ(terrestrial->AmpsControlChannels(SET_PARAM, 1, &control), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_SCDMACH_I[2].nv_cdmach_type.channel_b"), 4);
  EXPECT_EQ(utValue("NV_PCDMACH_I[2].nv_cdmach_type.channel_a"), 1);
  EXPECT_EQ(utValue("NV_SID_NID_I[1].nv_sid_nid_type.pair[0].pair[4].pair[3].nid"), 88);
  EXPECT_EQ(utValue("NV_MOB_TERM_FOR_NID_I[0].nv_mob_term_type.enabled[2].enabled[1]"), 1);
  EXPECT_EQ(utValue("NV_ANALOG_FIRSTCHD_B_I[1].nv_firstchd_type.channel"), 22);
  ASSERT_EQ(terrestrial->SIDNIDPairs(GET_PARAM, 1, &pairs), S_OK);
  EXPECT_EQ(pairs.pair[0][3].sid, 77);
}

TEST_F(UTConfigTest, OptionalPerNamItemsAbsentReadAsDefaults) {
  setUtValue("NV_ACCOLC_I[0].nv_accolc_type.class[2].class[1]", 7);
  deactivate("NV_CDMA_SID_LOCK_I", 2);
  connect();
  uint8_t accolc = 9;
  ASSERT_EQ(terrestrial->ACCOLC(GET_PARAM, 2, 1, 0, &accolc), S_OK);  // element 2 holds no value
  EXPECT_EQ(accolc, 0);
  ASSERT_EQ(terrestrial->ACCOLC(GET_PARAM, 0, 5, 0, &accolc), S_OK);
  EXPECT_EQ(accolc, 7);
  ASSERT_EQ(terrestrial->ACCOLC(GET_PARAM, 0, -3, 0, &accolc), S_OK);
  EXPECT_EQ(accolc, 6);

  uint32_t value = 9;
  LPWSTR name = nullptr;
  ASSERT_EQ(terrestrial->AMPSAutoReg(GET_PARAM, 1, nullptr, 0, &value, &name), S_OK);
  EXPECT_EQ(take(name), u"NV_WHEREABOUTS_KNOWN");
  ASSERT_EQ(terrestrial->AMPSAutoReg(GET_PARAM, 0, nullptr, 0, &value, &name), S_OK);
  EXPECT_EQ(take(name), u"NV_WHEREABOUTS_UNKNOWN");

  uint16_t channel = 9;
  ASSERT_EQ(terrestrial->AmpsFirstPagingChannel(GET_PARAM, 2, 0, &channel), S_OK);
  EXPECT_EQ(channel, 0);
  ASSERT_EQ(terrestrial->AmpsFirstPagingChannel(GET_PARAM, 0, 0, &channel), S_OK);
  EXPECT_EQ(channel, 333);

  lock_sid_list_type list;
  std::memset(&list, 0x5A, sizeof list);
  ASSERT_EQ(terrestrial->CDMALockSIDList(GET_PARAM, 1, 2, &list), S_OK);
  const lock_sid_list_type zero{};
  EXPECT_EQ(std::memcmp(&list, &zero, sizeof list), 0);
  ASSERT_EQ(terrestrial->CDMALockSIDList(GET_PARAM, 1, 0, &list), S_OK);
  EXPECT_EQ(list.valid, 0);
  EXPECT_EQ(list.sid[2], 8);

  // A set writes without the check.
  ASSERT_EQ(terrestrial->ACCOLC(SET_PARAM, 1, 0, 3, nullptr), S_OK);
  list.sid[5] = 99;
  ASSERT_EQ(terrestrial->CDMALockSIDList(SET_PARAM, 0, 0, &list), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_ACCOLC_I[1].nv_accolc_type.class[2].class[0]"), 3);
  EXPECT_EQ(utValue("NV_ANALOG_SID_LOCK_I[0].nv_sid_lock_type.sid[6].sid[5]"), 99);
}

}  // namespace
}  // namespace vx::utconfig::testing
