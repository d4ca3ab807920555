// The NV item catalogue as the host side will read it: symbol information in
// its record grammar, the two item tables, item paths, enumeration constants
// and the variants of the UT software.
#include <gtest/gtest.h>
#include <zlib.h>

#include <set>
#include <sstream>

#include "kmx/proto/byte_order.h"
#include "kmx/sim/nv_catalogue.h"
#include "kmx/sim/ut_model.h"
#include "symbol_grammar.h"

namespace kmx::sim::testing {
namespace {

std::shared_ptr<const NvCatalogue> build(const CatalogueVariant& variant = {}) {
  std::string error;
  auto catalogue = NvCatalogue::build(variant, error);
  EXPECT_TRUE(catalogue) << error;
  return catalogue;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

std::string gunzip(const std::vector<uint8_t>& blob) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
  std::string out(1 << 20, '\0');
  stream.next_in = const_cast<Bytef*>(blob.data());
  stream.avail_in = static_cast<uInt>(blob.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int result = inflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  EXPECT_EQ(result, Z_STREAM_END);
  return out;
}

NvNode locate(const NvCatalogue& catalogue, const std::string& path) {
  std::string error;
  auto node = catalogue.locate(path, error);
  EXPECT_TRUE(node) << path << ": " << error;
  return node.value_or(NvNode{});
}

bool resolves(const NvCatalogue& catalogue, const std::string& path) {
  std::string error;
  return catalogue.locate(path, error).has_value();
}

TEST(CatalogueSymbols, TheTextReadsInTheRecordGrammarAndEveryReferenceResolves) {
  auto catalogue = build();
  std::string error;
  auto file = readSymbolText(catalogue->symbolText(), error);
  ASSERT_TRUE(file) << error;
  EXPECT_GE(file->skipped, 2u) << "records that readers skip";
  std::set<char> kinds;
  for (const auto& type : file->types) {
    kinds.insert(type.kind);
    for (const auto& field : type.fields) {
      const GrammarType* fieldType = file->type(field.type);
      ASSERT_TRUE(fieldType) << type.name << "." << field.name;
      if (field.bitfield) {
        EXPECT_EQ(fieldType->kind, 0) << "bitfields have base types";
        EXPECT_LE(field.width + field.position, 32) << type.name << "." << field.name;
        EXPECT_LE(static_cast<unsigned long>(field.offset) + fieldType->size, type.size);
        continue;
      }
      unsigned long extent = (field.function || field.pointers) ? 4 : fieldType->size;
      for (uint32_t d : field.dims) extent *= d;
      EXPECT_LE(static_cast<unsigned long>(field.offset) + extent, type.size) << type.name << "." << field.name;
    }
  }
  EXPECT_EQ(kinds, (std::set<char>{0, 'e', 's', 'u'}));
  for (const auto& item : catalogue->items()) {
    const GrammarType* type = file->typeNamed(item.typeName);
    ASSERT_TRUE(type) << item.name;
    EXPECT_EQ(type->size, item.size) << item.name;
  }

  const GrammarSymbol* names = file->symbol("NVitems_item_name_table");
  const GrammarSymbol* descriptors = file->symbol("NVitems_desc_table");
  ASSERT_TRUE(names && descriptors);
  EXPECT_EQ(names->address, NvCatalogue::kNameTableAddress);
  EXPECT_EQ(names->size, catalogue->nameTable().size() + 1) << "the text and its NUL";
  EXPECT_EQ(descriptors->address, NvCatalogue::kDescriptorTableAddress);
  EXPECT_EQ(descriptors->size, catalogue->descriptorTable().size() + 1);
  const GrammarSymbol* function = file->symbol("nv_read_item");
  ASSERT_TRUE(function);
  EXPECT_TRUE(function->function);
  EXPECT_EQ(function->size, 4u);
}

TEST(CatalogueSymbols, TheBlobIsTheTextCompressedWithGzip) {
  auto catalogue = build();
  const auto& blob = catalogue->compressedSymbolText();
  ASSERT_GT(blob.size(), 18u);
  EXPECT_EQ(blob[0], 0x1F);
  EXPECT_EQ(blob[1], 0x8B);
  EXPECT_EQ(gunzip(blob), catalogue->symbolText());
  EXPECT_LT(blob.size(), catalogue->symbolText().size());
}

TEST(CatalogueTables, NamesAndDescriptorsFollowTheItemList) {
  auto catalogue = build();
  const auto& items = catalogue->items();
  auto names = split(catalogue->nameTable(), ',');
  ASSERT_EQ(names.size(), items.size());
  auto fields = split(catalogue->descriptorTable(), ',');
  ASSERT_EQ(fields.size(), 4 * items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].number, i);
    EXPECT_EQ(names[i], items[i].name);
    EXPECT_EQ(fields[4 * i], items[i].descriptor);
    EXPECT_EQ(fields[4 * i + 1], items[i].typeName);
    EXPECT_EQ(fields[4 * i + 2], std::to_string(items[i].presence));
    EXPECT_EQ(fields[4 * i + 3], std::to_string(items[i].flags));
    EXPECT_TRUE(items[i].described);
  }
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "names are unique";
}

TEST(CatalogueTables, AShortDescriptorTableEndsInsideARecord) {
  CatalogueVariant variant;
  variant.shortDescriptorTable = true;
  auto catalogue = build(variant);
  const auto& items = catalogue->items();
  auto fields = split(catalogue->descriptorTable(), ',');
  EXPECT_EQ(fields.size(), 4 * (items.size() - kShortTableMissing) + 2);
  EXPECT_EQ(split(catalogue->nameTable(), ',').size(), items.size()) << "the name table is whole";
  auto entries = catalogue->entryNames();
  for (std::size_t i = 0; i < items.size(); ++i) {
    bool described = i < items.size() - kShortTableMissing;
    EXPECT_EQ(items[i].described, described) << items[i].name;
    if (!described) {
      EXPECT_EQ(std::count(entries.begin(), entries.end(), items[i].name), 0);
    }
  }
  EXPECT_LT(entries.size(), build()->entryNames().size());
}

TEST(CatalogueItems, ItemsTheLinkLayersUseKeepTheirNumbersSizesAndStates) {
  auto catalogue = build();
  const auto& items = catalogue->items();
  ASSERT_GT(items.size(), 11u);
  EXPECT_EQ(items[0].name, "NV_VER_NO_I");
  EXPECT_EQ(items[0].size, 4u);
  EXPECT_EQ(items[1].size, 4u);
  EXPECT_EQ(items[1].listDimension, 0);
  EXPECT_EQ(items[2].size, 32u);
  EXPECT_EQ(items[2].listDimension, 0);
  EXPECT_EQ(items[3].size, 1u);
  EXPECT_EQ(items[10].size, 16u);
  EXPECT_EQ(items[10].listDimension, 3);
  EXPECT_EQ(items[11].size, 8u);

  UtModel model;
  std::vector<uint8_t> bytes;
  EXPECT_EQ(model.nv.read(1, 0, bytes), NvStatus::Done);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(model.nv.read(10, 2, bytes), NvStatus::NotActive);
  EXPECT_EQ(model.nv.read(11, 0, bytes), NvStatus::NotActive);
}

TEST(CatalogueItems, TheStoreHoldsEveryElementAtItsInitialValue) {
  UtModel model;
  auto catalogue = model.catalogue;
  ASSERT_TRUE(catalogue);
  std::size_t inactive = 0;
  for (const auto& item : catalogue->items()) {
    uint16_t dimension = 0xFFFF;
    ASSERT_EQ(model.nv.listDimension(item.number, dimension), NvStatus::Done) << item.name;
    EXPECT_EQ(dimension, item.listDimension) << item.name;
    for (uint16_t k = 0; k < std::max<uint16_t>(item.listDimension, 1); ++k) {
      std::vector<uint8_t> bytes;
      NvStatus status = model.nv.read(item.number, k, bytes);
      if (status == NvStatus::NotActive) {
        ++inactive;
        continue;
      }
      ASSERT_EQ(status, NvStatus::Done) << item.name << "[" << k << "]";
      EXPECT_EQ(bytes.size(), item.size) << item.name;
    }
  }
  EXPECT_GE(inactive, 5u);

  std::vector<uint8_t> entry;
  uint16_t table = catalogue->find("NV_UI_SP_TABLE")->number;
  ASSERT_EQ(model.nv.read(table, 5, entry), NvStatus::Done);
  NvNode mcc = locate(*catalogue, "NV_UI_SP_TABLE[5].ui_sp_table_entry_type.sp_id.mcc");
  NvNode mnc = locate(*catalogue, "NV_UI_SP_TABLE[5].ui_sp_table_entry_type.sp_id.mnc");
  EXPECT_EQ(NvCatalogue::readValue(mcc, entry), 0xFFF) << "an unused entry";
  EXPECT_EQ(NvCatalogue::readValue(mnc, entry), 0xFFF);
  ASSERT_EQ(model.nv.read(table, 0, entry), NvStatus::Done);
  EXPECT_EQ(NvCatalogue::readValue(mcc, entry), 0x310);
}

// Paths that the connection, configuration and script layers build.
TEST(CataloguePaths, EveryPathTheUpperLayersUseIsALeaf) {
  auto catalogue = build();
  const std::vector<std::string> paths = {
      "NV_VER_NO_I.T_ULONG",
      "NV_NR_VER_NO_I.T_USHORT",
      "NV_SCM_I.T_UCHAR",
      "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[4]",
      "NV_UI_SERVICE_PROG_DATE.ui_nv_service_prog_date_type.Milliseconds",
      "NV_SMS_MSGS_2_0[0].sms_dm_msg_type.nv_msg_hdr.status",
      "NV_SMS_MSGS_1_0.sms_dm_msg_type.sms_msg.user_data[80].user_data[0]",
      "NV_UI_DIR_NUMBER_I[2].ui_nv_dir_number_type.dir_number[10].dir_number[9]",
      "NV_UI_NAM_NAME_I[1].ui_nv_name_nam_type.name[12].name[11]",
      "NV_UI_SP_MOBILE_DIALED_NUM.ui_digits_type.digits[32].digits[31]",
      "NV_UI_DIRECTORY_NUMBER_I[0].ui_nv_phone_book_entry_type.hdr.flags.alpha_valid",
      "NV_AUTO_NAM_I.T_UCHAR",
      "NV_TIME_TILL_SLEEP.T_ULONG",
      "NV_DEEP_SLEEP_DURATION.T_ULONG",
      "NV_BOOT_NAM.T_UCHAR",
      "NV_SLOT_CYCLE_INDEX_I.T_UCHAR",
      "NV_UI_SP_EMERGENCY_LIST[9].ui_digits_type.hyphen",
      "NV_UI_USER_EMERGENCY_LIST[0].ui_digits_type.digits_index",
      "NV_OBNET_LOCK_ORDER_REASON.T_UCHAR",
      "NV_OBNET_MAINTENANCE_ORDER_REASON.T_UCHAR",
      "NV_LCKRSN_P_I.nv_lckrsn_type.lock_reason",
      "NV_MAINTRSN_I.nv_maintrsn_type.maint_order",
      "NV_UI_SERVICE_ALERT.ui_on_off_display_type",
      "NV_UI_FADE_ALERT.ui_on_off_display_type",
      "NV_UI_MINUTE_ALERT.ui_on_off_display_type",
      "NV_UI_RESTRICTED.ui_yes_no_type",
      "NV_UI_LOCKED.ui_lock_display_type",
      "NV_UI_FIELD_SERVICE_LOCK_CODE[5].T_UCHAR",
      "NV_UI_LOCK_CODE[0].T_UCHAR",
      "NV_UI_SYSTEM_LOCK_CODE[3].T_UCHAR",
      "NV_UI_SP_TABLE[66].ui_sp_table_entry_type.sp_name.mnc_name[12].mnc_name[11]",
      "NV_UI_SP_TABLE[0].ui_sp_table_entry_type.is_prohibited",
      "NV_UI_SP_TABLE_DIRTY.T_UCHAR",
      "NV_TX_DISABLE_TRANSMITTER.T_UCHAR",
      "NV_SLEEP_DURATION_AMID_DZ_SCANS.T_USHORT",
      "NV_UI_BAUD_RATE.sio_baudrate_type",
      "NV_SCI.T_UCHAR",
      "NV_GCP_SLOTTED_MODE.T_UCHAR",
      "NV_UI_SMS_MESSAGE_ALERT.ui_enable_disable_sms_alert_chirp_type",
      "NV_AUTH_IMSI_P.SM_imsi_type.imsi_type",
      "NV_AUTH_IMSI_P.SM_imsi_type.imsi[8].imsi[7]",
      "NV_LOSS_OF_COVERAGE_TIMER.T_USHORT",
      "NV_GCP_REG_GW.T_LONG",
      "NV_GCP_REG_SP.GCP_sp_reg_type.digit_tmode",
      "NV_HOME_GATEWAY_INFO.grr_home_gateway_info_type.gateway",
      "NV_HOME_SP.GCP_sp_id_type.mnc",
      "NV_AUTH_ACCOLC_P.T_USHORT",
      "NV_ACQUISITION_CHANNEL_LIST.grr_acquisition_info_type.channel[32].channel[12]",
      "NV_UI_SMS_TIME_STAMP_ADJ_MODE_CONTROL.ui_sms_time_stamp_adj_mode_control_type.cell_nam_1_adjust",
      "NV_PPP_PREFERENCE[2].ui_ppp_preference_type",
      "NV_IMSI_MCC_I[2].nv_imsi_mcc_type.imsi_mcc",
      "NV_IMSI_11_12_I[0].nv_imsi_11_12_type.imsi_11_12",
      "NV_MIN2_I[1].nv_min2_type.min2[2].min2[1]",
      "NV_MIN1_I[1].nv_min1_type.min1[2].min1[0]",
      "NV_CDMA_PREF_SERV_I[0].nv_pref_serv_type.sys",
      "NV_ANALOG_PREF_SERV_I[1].nv_pref_serv_type.sys",
      "NV_UI_MODE_ALLOW[2].ui_mode_allow_type",
      "NV_PREF_MODE_I[0].nv_pref_mode_type.mode",
      "NV_MODE_PREFERENCE[1].mc_mode_preference_type",
      "NV_PCDMACH_I[2].nv_cdmach_type.channel_b",
      "NV_SCDMACH_I[0].nv_cdmach_type.channel_a",
      "NV_SID_NID_I[2].nv_sid_nid_type.pair[1].pair[4].pair[3].nid",
      "NV_SID_NID_LIST_I.nv_sid_nid_list_type.band_class",
      "NV_SID_NID_LIST_I.nv_sid_nid_list_type.block_or_sys",
      "NV_ANALOG_HOME_SID_I[2].nv_sid_type.sid",
      "NV_CDMA_SID_LOCK_I[1].nv_sid_lock_type.sid[6].sid[5]",
      "NV_ANALOG_SID_LOCK_I[0].nv_sid_lock_type.sid[6].sid[0]",
      "NV_MOB_TERM_HOME_I[0].nv_mob_term_type.enabled[2].enabled[1]",
      "NV_MOB_TERM_FOR_SID_I[1].nv_mob_term_type.enabled[2].enabled[1]",
      "NV_MOB_TERM_FOR_NID_I[2].nv_mob_term_type.enabled[2].enabled[1]",
      "NV_ACCOLC_I[0].nv_accolc_type.class[2].class[1]",
      "NV_ANALOG_REG_I[2].nv_analog_reg_type.kind",
      "NV_ANALOG_FIRSTCHP_I[1].nv_firstchp_type.channel",
      "NV_ANALOG_FIRSTCHD_A_I[0].nv_firstchd_type.channel",
      "NV_ANALOG_FIRSTCHD_B_I[2].nv_firstchd_type.channel",
      "NV_UI_SEND_PIN[1].ui_send_pin_type",
      "NV_UI_PIN[2].ui_nv_pin_type.pin[4].pin[3]",
      "NV_UI_USER_SPEC_CELL_PREFERENCE[0].ui_cell_preference_user_control",
      "NV_PREF_VOICE_SO_I[2].nv_pref_voice_so_type.evrc_capability_enabled",
      "NV_PREF_VOICE_SO_I[0].nv_pref_voice_so_type.roam_orig_voice_so",
      "NV_UI_PHONE_BOOK[99].ui_nv_phone_book_entry_type.hdr.flags.international",
      "NV_UI_PHONE_BOOK[0].ui_nv_phone_book_entry_type.alpha[12].alpha[0]",
      "NV_UI_PHONE_BOOK[1].ui_nv_phone_book_entry_type.nibble[16].nibble[15]",
      "NV_UI_PHONE_BOOK[1].ui_nv_phone_book_entry_type.hdr.digits_index",
      "NV_UI_AUTOANSWER.ui_autoanswer_display_type",
      "NV_UI_EARPIECE_VOLUME.ui_volume_display_type",
      "NV_UI_KEYBEEP_VOLUME.ui_volume_display_type",
      "NV_UI_RINGER_VOLUME.ui_volume_display_type",
      "NV_CKIT_HANDSET_VOLUME.ckit_volume_control_type",
      "NV_CKIT_HANDSFREE_VOLUME.ckit_volume_control_type",
      "NV_UI_RINGER_STYLE.ui_ringertype_type",
      "NV_UI_KEYBEEP_SOUND.ui_tone_click_display_type",
      "NV_UI_KEYBEEP_LENGTH.ui_normal_long_type",
      "NV_UI_ONE_TOUCH_ENABLED.ui_enable_disable_type",
      "NV_UI_ANYKEYANSWER_ENABLED.ui_on_off_display_type",
      "NV_UI_AUTORETRY.ui_autoretry_display_type",
      "NV_UI_TIMEZONE.T_USHORT",
      "NV_UI_SHOWTIME.ui_showtime_type",
      "NV_UI_BACKLIGHT.ui_backlight_display_type",
      "NV_UI_AUTOHYPHEN.ui_on_off_display_type",
      "NV_UI_ROOT_MENU_BANNER[13].T_USHORT",
      "NV_UI_SP_SPLASH_NAME[0].T_USHORT",
      "NV_UI_TIME_ALLCALLS.ui_time_type.sec",
      "NV_UI_NUM_ALLCALLS.T_ULONG",
      "NV_UI_TIME_HOMECALLS.ui_time_type.hr",
      "NV_UI_NUM_HOMECALLS.T_ULONG",
      "NV_UI_TIME_ROAMCALLS.ui_time_type.min",
      "NV_UI_NUM_ROAMCALLS.T_ULONG",
      "NV_UI_TIME_RECENTCALLS.ui_time_type.min",
      "NV_UI_NUM_RECENTCALLS.T_ULONG",
      "NV_UI_TIME_LASTCALL.ui_time_type.sec",
      "NV_UI_TIME_DATACALLS.ui_time_type.hr",
      "NV_UI_NUM_RX_DATACALLS.T_ULONG",
      "NV_UI_NUM_TX_DATACALLS.T_ULONG",
      "NV_UI_LANGUAGE.ui_language_type",
      "NV_UI_LAST_DIALED.ui_nv_last_dialed_type.digits.digits[32].digits[31]",
      "NV_UI_LAST_DIALED.ui_nv_last_dialed_type.alpha[12].alpha[11]",
      "NV_UI_LAST_DIALED.ui_nv_last_dialed_type.secret",
      "NV_UI_SORT_BOOK.ui_sort_book_display_type",
      "NV_UI_NO_DIGITS_TIMEOUT.T_UCHAR",
      "NV_UI_END_DIALING_TIMEOUT.T_UCHAR",
      "NV_SND_MESSAGE_WAITING_DIAL_TONE_INDEX.T_UCHAR",
      "NV_SND_CUSTOM_ABRV_REORDER_TONE[7].snd_type.duration_ms",
      "NV_SND_CUSTOM_DTMF_TABLE[9].snd_custom_dtmf_type.index_lo",
      "NV_UI_ENDCALL_WINK_DURATION.T_USHORT",
  };
  for (const auto& path : paths) EXPECT_TRUE(locate(*catalogue, path).isLeaf()) << path;
  for (const char* tone : {"NORMAL_ALERT", "DIAL", "RINGBACK", "INTERCEPT", "ABRV_INTERCEPT", "REORDER",
                           "ABRV_REORDER", "BUSY", "CONFIRM", "ANSWER", "CALL_WAITING", "COMFORT",
                           "MESSAGE_WAITING_DIAL"}) {
    EXPECT_TRUE(resolves(*catalogue, std::string("NV_SND_") + tone + "_TONE_INDEX.T_UCHAR")) << tone;
    EXPECT_TRUE(resolves(*catalogue, std::string("NV_SND_CUSTOM_") + tone + "_TONE[0].snd_type.tone")) << tone;
  }
}

TEST(CataloguePaths, NodesFollowTheTreeRules) {
  auto catalogue = build();
  NvNode code = locate(*catalogue, "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5]");
  EXPECT_FALSE(code.isLeaf());
  EXPECT_EQ(code.size, 5u);
  NvNode digit = locate(*catalogue, "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[3]");
  EXPECT_EQ(digit.offset, 3u);
  EXPECT_EQ(digit.kind, NvNode::Kind::Unsigned);
  EXPECT_FALSE(resolves(*catalogue, "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[5]"));
  EXPECT_FALSE(resolves(*catalogue, "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[0]"))
      << "an element is reached through its array node";

  // pair[2,4] at offset 2, four bytes a pair: rows, then the remaining bound.
  NvNode nid = locate(*catalogue, "NV_SID_NID_I[1].nv_sid_nid_type.pair[1].pair[4].pair[2].nid");
  EXPECT_EQ(nid.element, 1);
  EXPECT_EQ(nid.offset, 2u + (1 * 4 + 2) * 4 + 2);
  EXPECT_EQ(locate(*catalogue, "NV_SID_NID_I[1].nv_sid_nid_type.pair[1]").size, 16u);
  EXPECT_FALSE(resolves(*catalogue, "NV_SID_NID_I[1].nv_sid_nid_type.pair[2,4]"));

  NvNode international = locate(*catalogue, "NV_UI_PHONE_BOOK[1].ui_nv_phone_book_entry_type.hdr.flags.international");
  EXPECT_EQ(international.kind, NvNode::Kind::UnsignedBitfield);
  EXPECT_EQ(international.offset, 1u);
  EXPECT_EQ(international.bitPosition, 3);
  EXPECT_EQ(international.bitWidth, 1);
  NvNode sign = locate(*catalogue, "NV_UI_SMS_TIME_STAMP_ADJ_MODE_CONTROL.ui_sms_time_stamp_adj_mode_control_type.adjust_sign");
  EXPECT_EQ(sign.kind, NvNode::Kind::SignedBitfield);
  EXPECT_EQ(sign.bitPosition, 31);

  EXPECT_EQ(locate(*catalogue, "NV_RUNTIME_HOOKS_I.nv_runtime_hooks_type.init").kind, NvNode::Kind::Pointer);
  EXPECT_EQ(locate(*catalogue, "NV_RUNTIME_HOOKS_I.nv_runtime_hooks_type.context*").kind, NvNode::Kind::Pointer);
  EXPECT_EQ(locate(*catalogue, "NV_RUNTIME_HOOKS_I.nv_runtime_hooks_type.table**").offset, 8u);
  EXPECT_FALSE(resolves(*catalogue, "NV_RUNTIME_HOOKS_I.nv_runtime_hooks_type.table"));
  NvNode rate = locate(*catalogue, "NV_UI_BAUD_RATE.sio_baudrate_type");
  EXPECT_EQ(rate.kind, NvNode::Kind::Enum);
  EXPECT_EQ(rate.size, 4u);
  EXPECT_EQ(locate(*catalogue, "NV_MODE_PREFERENCE[0].mc_mode_preference_type").size, 2u);
  EXPECT_EQ(locate(*catalogue, "NV_ERR_LOG_I.nv_err_log_type.where.file_id").offset, 4u) << "union members share";

  // A list of one element keeps the plain name; longer lists are reached by [k].
  EXPECT_TRUE(resolves(*catalogue, "NV_SMS_MSGS_1_0.sms_dm_msg_type.nv_msg_hdr.status"));
  EXPECT_FALSE(resolves(*catalogue, "NV_SMS_MSGS_1_0[0].sms_dm_msg_type.nv_msg_hdr.status"));
  EXPECT_FALSE(resolves(*catalogue, "NV_SMS_MSGS_2_0.sms_dm_msg_type.nv_msg_hdr.status"));
  EXPECT_TRUE(resolves(*catalogue, "NV_SMS_MSGS_2_0[3].sms_dm_msg_type.nv_msg_hdr.status"));
  EXPECT_FALSE(resolves(*catalogue, "NV_UI_PHONE_BOOK[100].ui_nv_phone_book_entry_type.hdr.digits_index"));
  EXPECT_FALSE(resolves(*catalogue, "NV_UI_PHONE_BOOK[01].ui_nv_phone_book_entry_type.hdr.digits_index"));
  EXPECT_FALSE(resolves(*catalogue, "NV_VER_NO_I.T_ULONG.more"));
}

TEST(CataloguePaths, EntriesAndLeavesAreListedInTreeOrder) {
  auto catalogue = build();
  auto entries = catalogue->entryNames();
  auto count = [&](const std::string& name) { return std::count(entries.begin(), entries.end(), name); };
  EXPECT_EQ(count("NV_UI_OWNER_NAME_I"), 1) << "held none, presence 1";
  EXPECT_EQ(count("NV_FACTORY_TEST_FLAG_I"), 0) << "held none, presence 0";
  EXPECT_EQ(count("NV_SMS_MSGS_5_0"), 1);
  EXPECT_EQ(count("NV_SMS_MSGS_1_0"), 1);
  EXPECT_EQ(count("NV_UI_SP_TABLE[66]"), 1);
  EXPECT_EQ(count("NV_UI_SP_TABLE[67]"), 0);
  EXPECT_EQ(count("NV_UI_SP_TABLE"), 0);

  auto leaves = catalogue->leafPaths("NV_UI_DIRECTORY_NUMBER_I[1]");
  ASSERT_EQ(leaves.size(), 1u + 5 + 16 + 12);
  EXPECT_EQ(leaves[0], "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.hdr.digits_index");
  EXPECT_EQ(leaves[1], "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.hdr.flags.valid");
  EXPECT_EQ(leaves[5], "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.hdr.flags.reserve");
  EXPECT_EQ(leaves[6], "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.nibble[16].nibble[0]");
  EXPECT_EQ(leaves.back(), "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.alpha[12].alpha[11]");
  // The satellite number: 32 characters, then international, hyphen, digits_index.
  auto dialled = catalogue->leafPaths("NV_UI_SP_MOBILE_DIALED_NUM");
  ASSERT_EQ(dialled.size(), 35u);
  EXPECT_EQ(dialled[34], "NV_UI_SP_MOBILE_DIALED_NUM.ui_digits_type.digits_index");
  EXPECT_EQ(catalogue->leafPaths("NV_VER_NO_I"), std::vector<std::string>{"NV_VER_NO_I.T_ULONG"});
  for (const auto& path : leaves) EXPECT_TRUE(locate(*catalogue, path).isLeaf()) << path;
  EXPECT_TRUE(catalogue->leafPaths("NV_UI_SP_TABLE").empty());
}

TEST(CatalogueValues, LeavesReadAndWriteAsTheHostDoes) {
  std::vector<uint8_t> word = {0x0F, 0xAA, 0x00, 0x80};
  NvNode field;
  field.kind = NvNode::Kind::UnsignedBitfield;
  field.size = 4;
  field.bitPosition = 4;
  field.bitWidth = 4;
  NvCatalogue::writeValue(field, word, 0x1FF);
  EXPECT_EQ(word, (std::vector<uint8_t>{0xFF, 0xAA, 0x00, 0x80})) << "only the field's bits change";
  EXPECT_EQ(NvCatalogue::readValue(field, word), 0xF);
  field.kind = NvNode::Kind::SignedBitfield;
  EXPECT_EQ(NvCatalogue::readValue(field, word), 0xF) << "positive unless the field holds bit 31";
  field.bitPosition = 31;
  field.bitWidth = 1;
  EXPECT_EQ(NvCatalogue::readValue(field, word), -1);

  NvNode signedByte;
  signedByte.kind = NvNode::Kind::Signed;
  signedByte.size = 1;
  signedByte.offset = 1;
  EXPECT_EQ(NvCatalogue::readValue(signedByte, word), -86);
  NvNode beyond;
  beyond.kind = NvNode::Kind::Unsigned;
  beyond.size = 4;
  beyond.offset = 2;
  EXPECT_EQ(NvCatalogue::readValue(beyond, word), 0x8000) << "bytes past the end read as 0";
  NvCatalogue::writeValue(beyond, word, 0x11223344);
  EXPECT_EQ(word.size(), 4u);
  EXPECT_EQ(word[2], 0x44);
  EXPECT_EQ(word[3], 0x33);
}

std::set<std::string> constantNames(const NvCatalogue& catalogue, const std::string& type) {
  std::set<std::string> names;
  for (const auto& [name, value] : catalogue.enumConstants(type)) names.insert(name);
  return names;
}

bool holdsValues(const NvCatalogue& catalogue, const std::string& type, int32_t from, int32_t to) {
  auto constants = catalogue.enumConstants(type);
  for (int32_t v = from; v <= to; ++v) {
    if (std::none_of(constants.begin(), constants.end(), [&](const auto& c) { return c.second == v; })) return false;
  }
  return true;
}

TEST(CatalogueEnums, ConstantsCoverTheNamesAndNumbersTheSettingsUse) {
  auto catalogue = build();
  auto has = [&](const std::string& type, std::initializer_list<const char*> names) {
    auto all = constantNames(*catalogue, type);
    for (const char* name : names) EXPECT_TRUE(all.count(name)) << type << " lacks " << name;
  };
  has("ui_on_off_display_type", {"UI_ON_OFF_DISPLAY_FIRST", "UI_OFF_DISPLAY", "UI_ON_DISPLAY"});
  has("ui_yes_no_type", {"UI_YES_NO_DISPLAY_FIRST", "UI_NO_DISPLAY", "UI_YES_DISPLAY"});
  has("ui_send_pin_type", {"UI_SEND_PIN_DISPLAY_FIRST", "UI_NEVER_DISPLAY", "UI_PROMPT_DISPLAY"});
  has("ui_cell_preference_user_control", {"UI_CELL_PREFERENCE_FIRST", "UI_CELL_PREFERENCE_NOT_USER_CONTROLLABLE",
                                          "UI_CELL_PREFERENCE_USER_CONTROLLABLE"});
  has("sio_baudrate_type", {"BAUDRATE_9600", "BAUDRATE_19200", "BAUDRATE_38400", "BAUDRATE_57600", "BAUDRATE_115200"});
  has("ui_language_type", {"UI_LANGUAGE_ENGLISH", "UI_LANGUAGE_SPANISH_LATIN", "UI_LANGUAGE_PORTUGESE_LATIN",
                           "UI_LANGUAGE_FRENCH_CANADIAN", "UI_LANGUAGE_RUSSIAN", "UI_LANGUAGE_CHINESE_SIMPLIFIED"});
  has("ui_volume_display_type", {"UI_VOLUME_DISPLAY_MAX"});
  has("ckit_volume_control_type", {"CKIT_VC_VOLUME_MUTE", "CKIT_VC_VOLUME_LEVEL_LO", "CKIT_VC_VOLUME_LEVEL_0",
                                   "CKIT_VC_VOLUME_LEVEL_9", "CKIT_VC_VOLUME_LEVEL_HI"});
  has("ui_ringertype_type", {"UI_RINGER_TYPE_STANDARD", "UI_RINGER_TYPE_OPTION1", "UI_RINGER_TYPE_OPTION4",
                             "UI_RINGER_TYPE_STAR_SPANGLED", "UI_RINGER_TYPE_MARSEILLAISE", "UI_RINGER_TYPE_BACH__JESU"});
  has("ui_tone_click_display_type", {"UI_TONE_DISPLAY", "UI_CLICK_DISPLAY"});
  has("ui_normal_long_type", {"UI_NORMAL_DISPLAY", "UI_LONG_DISPLAY"});
  has("ui_autoanswer_display_type", {"UI_AUTOANSWER_OFF_DISPLAY", "UI_AUTOANSWER_1RING_DISPLAY",
                                     "UI_AUTOANSWER_2RING_DISPLAY", "UI_AUTOANSWER_CARKIT_ONLY_AFTER_1_RING",
                                     "UI_AUTOANSWER_CARKIT_ONLY_AFTER_2_RINGS"});
  has("ui_enable_disable_type", {"UI_ENABLE_DISABLE_FIRST", "UI_ENABLE_DISPLAY", "UI_DISABLE_DISPLAY"});
  has("ui_autoretry_display_type", {"UI_AUTORETRY_OFF_DISPLAY", "UI_AUTORETRY_10SEC_DISPLAY",
                                    "UI_AUTORETRY_30SEC_DISPLAY", "UI_AUTORETRY_60SEC_DISPLAY"});
  has("ui_showtime_type", {"UI_SHOWTIME_OFF", "UI_SHOWTIME_12HR", "UI_SHOWTIME_24HR", "UI_SHOWTIME_UTC_ONLY"});
  has("ui_backlight_display_type", {"UI_ALWAYS_OFF_DISPLAY", "UI_7SECONDS_DISPLAY", "UI_15SECONDS_DISPLAY",
                                    "UI_30SECONDS_DISPLAY", "UI_ALWAYS_ON_DISPLAY"});
  has("ui_sort_book_display_type", {"UI_ALPHABETIC_DISPLAY", "UI_LOCATION_DISPLAY"});
  has("ui_lock_display_type", {"UI_LOCK_NEVER_DISPLAY", "UI_LOCK_ONPOWERUP_DISPLAY", "UI_LOCK_NOW_DISPLAY"});
  has("ui_enable_disable_sms_alert_chirp_type", {"UI_DISABLE_SMS_ALERT", "UI_ENABLE_SINGLE_SMS_ALERT",
                                                 "UI_ENABLE_PERIODIC_SMS_ALERT"});
  has("ui_ppp_preference_type", {"UI_AUTO_PPP_NONE", "UI_AUTO_PPP_CURRENT", "UI_AUTO_PPP_DIG_ONLY",
                                 "UI_AUTO_PPP_OBNET_ONLY"});
  has("nv_whereabouts_type", {"NV_WHEREABOUTS_KNOWN"});
  has("SM_imsi_class_type", {"OB_TRUE_IMSI", "OB_MIN_BASED_IMSI", "OB_UNPROGRAMMED_IMSI"});

  // Every number a script's put may pass is a constant of its enumeration.
  EXPECT_TRUE(holdsValues(*catalogue, "ui_lock_display_type", 4, 6));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_enable_disable_sms_alert_chirp_type", 4, 6));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_ppp_preference_type", 4, 7));
  EXPECT_TRUE(holdsValues(*catalogue, "mc_mode_preference_type", 0, 3));
  EXPECT_TRUE(holdsValues(*catalogue, "nv_mode_enum_type", 0, 3));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_mode_allow_type", 4, 6));
  EXPECT_TRUE(holdsValues(*catalogue, "nv_sys_pref_enum_type", 0, 5));
  EXPECT_TRUE(holdsValues(*catalogue, "nv_whereabouts_type", 0, 2));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_language_type", 0, 5));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_volume_display_type", 0, 9));
  EXPECT_TRUE(holdsValues(*catalogue, "ckit_volume_control_type", 0, 9));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_tone_click_display_type", 4, 5));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_normal_long_type", 4, 5));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_ringertype_type", 4, 11));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_autoanswer_display_type", 0, 4));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_autoretry_display_type", 0, 3));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_showtime_type", 4, 7));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_backlight_display_type", 4, 8));
  EXPECT_TRUE(holdsValues(*catalogue, "ui_sort_book_display_type", 4, 5));
  EXPECT_FALSE(holdsValues(*catalogue, "ui_showtime_type", 3, 7)) << "the check can fail";
}

TEST(CatalogueVariants, EachSwitchChangesWhatItMust) {
  auto plain = build();
  CatalogueVariant variant;
  variant.unicodePhoneBookNames = true;
  auto unicode = build(variant);
  const std::string entry = "NV_UI_PHONE_BOOK[4].ui_nv_phone_book_entry_type.";
  EXPECT_TRUE(resolves(*unicode, entry + "unicode_alpha[12].unicode_alpha[0]"));
  EXPECT_FALSE(resolves(*unicode, entry + "alpha[12].alpha[0]")) << "how a host tells a Unicode UT";
  EXPECT_TRUE(resolves(*plain, entry + "alpha[12].alpha[0]"));
  EXPECT_EQ(unicode->find("NV_UI_PHONE_BOOK")->size, plain->find("NV_UI_PHONE_BOOK")->size + 12);
  EXPECT_TRUE(resolves(*unicode, "NV_UI_LAST_DIALED.ui_nv_last_dialed_type.unicode_alpha[12].unicode_alpha[11]"));
  EXPECT_EQ(locate(*unicode, "NV_UI_SP_TABLE[0].ui_sp_table_entry_type.sp_name.mcc_name[12].mcc_name[1]").size, 2u);

  variant = {};
  variant.nameArrayLength = 33;
  auto longNames = build(variant);
  EXPECT_TRUE(resolves(*longNames, "NV_UI_SP_TABLE[3].ui_sp_table_entry_type.sp_name.mnc_name[33].mnc_name[32]"));
  EXPECT_FALSE(resolves(*longNames, "NV_UI_SP_TABLE[3].ui_sp_table_entry_type.sp_name.mnc_name[12].mnc_name[0]"));

  variant = {};
  variant.oldSmsLayout = true;
  auto oldSms = build(variant);
  EXPECT_EQ(oldSms->find("NV_SMS_MSGS_2_0")->typeName, "smsi_msg_type");
  EXPECT_FALSE(resolves(*oldSms, "NV_SMS_MSGS_2_0[0].sms_dm_msg_type.nv_msg_hdr.status"));
  EXPECT_FALSE(resolves(*oldSms, "NV_SMS_MSGS_2_0.sms_dm_msg_type.nv_msg_hdr.status"));
  EXPECT_TRUE(resolves(*oldSms, "NV_SMS_MSGS_2_0[1].smsi_msg_type.user_data[80].user_data[79]"));
  EXPECT_EQ(oldSms->items().size(), plain->items().size()) << "same items, other layout";

  variant = {};
  variant.oldDirectoryNumber = true;
  auto oldDirectory = build(variant);
  const CatalogueItem* copy = oldDirectory->find("NV_UI_DIRECTORY_NUMBER_I");
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->listDimension, 0);
  EXPECT_EQ(copy->presence, 0);
  EXPECT_EQ(copy->number, plain->find("NV_UI_DIRECTORY_NUMBER_I")->number);
  auto entries = oldDirectory->entryNames();
  EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                          [](const std::string& e) { return e.rfind("NV_UI_DIRECTORY_NUMBER", 0) == 0; }), 0);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "NV_UI_DIR_NUMBER_I[2]"), 1);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "NV_UI_NAM_NAME_I[0]"), 1);

  variant = {};
  variant.emptySymbolInformation = true;
  variant.mainModel = main_model::kModule;
  UtModel model;
  build(variant)->install(model);
  auto block = model.versionBlock();
  EXPECT_EQ(proto::loadLe32(&block[35]), 0u);
  EXPECT_EQ(model.status.answer(0x39), std::vector<uint8_t>{main_model::kModule});
  EXPECT_EQ(model.catalogue->variant(), variant);
  build()->install(model);
  block = model.versionBlock();
  EXPECT_EQ(proto::loadLe32(&block[35]), plain->compressedSymbolText().size());
  EXPECT_EQ(model.status.answer(0x39), std::vector<uint8_t>{main_model::kTrimodePortable});

  variant = {};
  variant.nameArrayLength = 0;
  std::string error;
  EXPECT_FALSE(NvCatalogue::build(variant, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace kmx::sim::testing
