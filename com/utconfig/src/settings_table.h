// Every settings method's NV item paths, one row a method, in the order of
// the interfaces' virtual tables. The shape algorithms (shapes_*.h) are
// driven by these rows; leaf names that belong to a shape (the phone-book
// entry's flags, the SP entry's fields, ...) are written in that shape.
//
// In a path, {n} is the NAM or entry index, {k} a character or element
// index, {r} a row index, {t} a tone name (nv_path.h).
#pragma once

#include "vxconnect.h"

namespace vx::utconfig {

enum class Shape {
  Scalar,       // one leaf, with the row's type check
  Boolean,      // an on/off flag kept as a three-member display enum
  NumericFlag,  // a numeric leaf read as 0 or 1
  Enum,         // an enum leaf by name or number
  Text,         // one character per leaf
  Record,       // several leaves into one record
  Action,       // a fixed write sequence
};

// The indexes a method accepts for its nIndex / nNAM argument.
struct IndexRange {
  int first;
  int last;
  constexpr bool contains(int index) const { return index >= first && index <= last; }
};
inline constexpr IndexRange kNoIndex{0, 0};
inline constexpr IndexRange kNam{0, 2};
inline constexpr IndexRange kSatelliteOrNam{-1, 2};
inline constexpr IndexRange kEmergencyEntry{0, 9};
inline constexpr IndexRange kPhoneBookEntry{1, 99};
inline constexpr IndexRange kSpEntry{0, 66};

struct Row {
  const char* method;
  Shape shape;
  const char* path;
  NVNodeDataType type = NV_UNKNOWN;  // what a get expects; NV_UNKNOWN: no check
  IndexRange index = kNoIndex;
  int count = 0;                // characters or elements
  const char* path2 = nullptr;  // further items of the same method
  const char* path3 = nullptr;
  const char* path4 = nullptr;
};

namespace rows {

// --- IGeneralSettings, _1_1 .. _1_4 ---
inline constexpr Row AutoNAM{"AutoNAM", Shape::Scalar, "NV_AUTO_NAM_I.T_UCHAR", NV_UCHAR};
inline constexpr Row NoServiceTimeUntilSleep{"NoServiceTimeUntilSleep", Shape::Scalar, "NV_TIME_TILL_SLEEP.T_ULONG",
                                             NV_ULONG};
inline constexpr Row SetServiceProgDateAsCurrent{"SetServiceProgDateAsCurrent", Shape::Action,
                                                 "NV_UI_SERVICE_PROG_DATE.ui_nv_service_prog_date_type"};
inline constexpr Row DeepSleepDuration{"DeepSleepDuration", Shape::Scalar, "NV_DEEP_SLEEP_DURATION.T_ULONG", NV_ULONG};
inline constexpr Row CurrentNAM{"CurrentNAM", Shape::Scalar, "NV_BOOT_NAM.T_UCHAR", NV_UCHAR};
inline constexpr Row CDMASlotCycleIndex{"CDMASlotCycleIndex", Shape::Scalar, "NV_SLOT_CYCLE_INDEX_I.T_UCHAR", NV_UCHAR};
inline constexpr Row SPEmergencyNumber{
    "SPEmergencyNumber", Shape::Record, "NV_UI_SP_EMERGENCY_LIST[{n}].ui_digits_type", NV_UNKNOWN, kEmergencyEntry, 32};
inline constexpr Row UserEmergencyNumber{"UserEmergencyNumber",
                                         Shape::Record,
                                         "NV_UI_USER_EMERGENCY_LIST[{n}].ui_digits_type",
                                         NV_UNKNOWN,
                                         kEmergencyEntry,
                                         32};
inline constexpr Row OBLockOrderReason{"OBLockOrderReason", Shape::Scalar, "NV_OBNET_LOCK_ORDER_REASON.T_UCHAR",
                                       NV_UCHAR};
inline constexpr Row OBMaintOrderReason{"OBMaintOrderReason", Shape::Scalar,
                                        "NV_OBNET_MAINTENANCE_ORDER_REASON.T_UCHAR", NV_UCHAR};
inline constexpr Row CDMALockOrderReason{"CDMALockOrderReason",
                                         Shape::Record,
                                         "NV_LCKRSN_P_I.nv_lckrsn_type.lock_order",
                                         NV_UCHAR,
                                         kNoIndex,
                                         0,
                                         "NV_LCKRSN_P_I.nv_lckrsn_type.lock_reason"};
inline constexpr Row CDMAMaintOrderReason{"CDMAMaintOrderReason",
                                          Shape::Record,
                                          "NV_MAINTRSN_I.nv_maintrsn_type.maint_order",
                                          NV_UCHAR,
                                          kNoIndex,
                                          0,
                                          "NV_MAINTRSN_I.nv_maintrsn_type.maint_reason"};
inline constexpr Row ServiceAlert{"ServiceAlert", Shape::Boolean, "NV_UI_SERVICE_ALERT.ui_on_off_display_type"};
inline constexpr Row CallFade{"CallFade", Shape::Boolean, "NV_UI_FADE_ALERT.ui_on_off_display_type"};
inline constexpr Row MinuteAlert{"MinuteAlert", Shape::Boolean, "NV_UI_MINUTE_ALERT.ui_on_off_display_type"};
inline constexpr Row RestrictUT{"RestrictUT", Shape::Boolean, "NV_UI_RESTRICTED.ui_yes_no_type"};
inline constexpr Row LockMode{"LockMode", Shape::Enum, "NV_UI_LOCKED.ui_lock_display_type"};
inline constexpr Row FieldServiceHiddenCode{
    "FieldServiceHiddenCode", Shape::Text, "NV_UI_FIELD_SERVICE_LOCK_CODE[{k}].T_UCHAR", NV_UNKNOWN, kNoIndex, 6};
inline constexpr Row UserLockCode{"UserLockCode", Shape::Text, "NV_UI_LOCK_CODE[{k}].T_UCHAR", NV_UNKNOWN, kNoIndex, 6};
inline constexpr Row SystemHiddenMenuCode{
    "SystemHiddenMenuCode", Shape::Text, "NV_UI_SYSTEM_LOCK_CODE[{k}].T_UCHAR", NV_UNKNOWN, kNoIndex, 6};
inline constexpr Row KnownSPEntry{"KnownSPEntry",
                                  Shape::Record,
                                  "NV_UI_SP_TABLE[{n}].ui_sp_table_entry_type",
                                  NV_UNKNOWN,
                                  kSpEntry,
                                  12,
                                  "NV_UI_SP_TABLE_DIRTY.T_UCHAR"};
inline constexpr Row TransmitDisable{"TransmitDisable", Shape::Scalar, "NV_TX_DISABLE_TRANSMITTER.T_UCHAR", NV_UCHAR};
inline constexpr Row IncrementWDC{"IncrementWDC", Shape::Action,
                                  "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[4]"};
inline constexpr Row SleepServiceScanInterval{"SleepServiceScanInterval", Shape::Scalar,
                                              "NV_SLEEP_DURATION_AMID_DZ_SCANS.T_USHORT"};  // no type check
inline constexpr Row DataServicesBaudRate{"DataServicesBaudRate", Shape::Enum, "NV_UI_BAUD_RATE.sio_baudrate_type"};
inline constexpr Row OrbitnetSlotCycleIndex{"OrbitnetSlotCycleIndex", Shape::Scalar, "NV_SCI.T_UCHAR", NV_UCHAR};
inline constexpr Row OrbitnetSlottedMode{"OrbitnetSlottedMode", Shape::Scalar, "NV_GCP_SLOTTED_MODE.T_UCHAR", NV_UCHAR};
inline constexpr Row KnownSPEntryUnicode{
    "KnownSPEntryUnicode", Shape::Record, KnownSPEntry.path, NV_UNKNOWN, kSpEntry, 12, KnownSPEntry.path2};
inline constexpr Row SMSMessageAlert{"SMSMessageAlert", Shape::Enum,
                                     "NV_UI_SMS_MESSAGE_ALERT.ui_enable_disable_sms_alert_chirp_type"};

// --- IOrbitnetSettings, _1_5 ---
// Proper number of the satellite (index -1) and of NAM n, then the display copies.
inline constexpr Row DirectoryNumber{"DirectoryNumber",
                                     Shape::Text,
                                     "NV_UI_SP_MOBILE_DIALED_NUM.ui_digits_type.digits[32].digits[{k}]",
                                     NV_UNKNOWN,
                                     kSatelliteOrNam,
                                     10,
                                     "NV_UI_DIR_NUMBER_I[{n}].ui_nv_dir_number_type.dir_number[10].dir_number[{k}]",
                                     "NV_UI_DIRECTORY_NUMBER_I.ui_nv_phone_book_entry_type",
                                     "NV_UI_DIRECTORY_NUMBER_I[{n}].ui_nv_phone_book_entry_type"};
inline constexpr Row OBIMSI{"OBIMSI",
                            Shape::Record,
                            "NV_AUTH_IMSI_P.SM_imsi_type.imsi_type",
                            NV_UNKNOWN,
                            kNoIndex,
                            8,
                            "NV_AUTH_IMSI_P.SM_imsi_type.imsi[8].imsi[{k}]"};
inline constexpr Row LossOfCoverageTimer{"LossOfCoverageTimer", Shape::Scalar, "NV_LOSS_OF_COVERAGE_TIMER.T_USHORT",
                                         NV_USHORT};
inline constexpr Row LastGWRegistration{"LastGWRegistration", Shape::Scalar, "NV_GCP_REG_GW.T_LONG", NV_LONG};
inline constexpr Row LastSPRegistration{"LastSPRegistration",
                                        Shape::Record,
                                        "NV_GCP_REG_SP.GCP_sp_reg_type.mcc",
                                        NV_UNKNOWN,
                                        kNoIndex,
                                        0,
                                        "NV_GCP_REG_SP.GCP_sp_reg_type.mnc",
                                        "NV_GCP_REG_SP.GCP_sp_reg_type.digit_tmode"};
// Channel (type 3) and gateway (type 5).
inline constexpr Row HomeGatewayInfo{"HomeGatewayInfo",
                                     Shape::Record,
                                     "NV_HOME_GATEWAY_INFO.grr_home_gateway_info_type.channel",
                                     NV_SHORT,
                                     kNoIndex,
                                     0,
                                     "NV_HOME_GATEWAY_INFO.grr_home_gateway_info_type.gateway"};
inline constexpr Row HomeSP{
    "HomeSP", Shape::Record, "NV_HOME_SP.GCP_sp_id_type.mcc", NV_UNKNOWN, kNoIndex, 0, "NV_HOME_SP.GCP_sp_id_type.mnc"};
inline constexpr Row OBACCOLC{"OBACCOLC", Shape::Scalar, "NV_AUTH_ACCOLC_P.T_USHORT", NV_USHORT};
inline constexpr Row ACList{
    "ACList",   Shape::Record, "NV_ACQUISITION_CHANNEL_LIST.grr_acquisition_info_type.channel[32].channel[{k}]",
    NV_UNKNOWN, kNoIndex,      13};
inline constexpr Row OB_SMSTimeStampAdjust{
    "OB_SMSTimeStampAdjust", Shape::NumericFlag,
    "NV_UI_SMS_TIME_STAMP_ADJ_MODE_CONTROL.ui_sms_time_stamp_adj_mode_control_type.obnet_nam_adjust"};
inline constexpr Row OB_PacketDataPreferredMode{"OB_PacketDataPreferredMode", Shape::Enum,
                                                "NV_PPP_PREFERENCE[2].ui_ppp_preference_type"};

// --- ITerrestrialSettings, _1_3, _1_5 ---
inline constexpr Row CellularIMSI{"CellularIMSI",
                                  Shape::Record,
                                  "NV_IMSI_MCC_I[{n}].nv_imsi_mcc_type.imsi_mcc",
                                  NV_UNKNOWN,
                                  kNam,
                                  0,
                                  "NV_IMSI_11_12_I[{n}].nv_imsi_11_12_type.imsi_11_12",
                                  "NV_MIN2_I[{n}].nv_min2_type.min2[2].min2[1]",
                                  "NV_MIN1_I[{n}].nv_min1_type.min1[2].min1[1]"};
// CDMA (bCDMA != 0), then AMPS.
inline constexpr Row CDMAPrefServingSystem{"CDMAPrefServingSystem",
                                           Shape::Enum,
                                           "NV_CDMA_PREF_SERV_I[{n}].nv_pref_serv_type.sys",
                                           NV_UNKNOWN,
                                           kNam,
                                           0,
                                           "NV_ANALOG_PREF_SERV_I[{n}].nv_pref_serv_type.sys"};
inline constexpr Row AllowedCellularModes{"AllowedCellularModes", Shape::Enum,
                                          "NV_UI_MODE_ALLOW[{n}].ui_mode_allow_type", NV_UNKNOWN, kNam};
inline constexpr Row PreferredCellularMode{"PreferredCellularMode", Shape::Enum,
                                           "NV_PREF_MODE_I[{n}].nv_pref_mode_type.mode", NV_UNKNOWN, kNam};
inline constexpr Row PreferredMode{"PreferredMode", Shape::Enum, "NV_MODE_PREFERENCE[{n}].mc_mode_preference_type",
                                   NV_UNKNOWN, kNam};
inline constexpr Row CDMAChannels{"CDMAChannels",
                                  Shape::Record,
                                  "NV_PCDMACH_I[{n}].nv_cdmach_type.channel_a",
                                  NV_UNKNOWN,
                                  kNam,
                                  0,
                                  "NV_PCDMACH_I[{n}].nv_cdmach_type.channel_b",
                                  "NV_SCDMACH_I[{n}].nv_cdmach_type.channel_a",
                                  "NV_SCDMACH_I[{n}].nv_cdmach_type.channel_b"};
inline constexpr Row SIDNIDPairs{"SIDNIDPairs",
                                 Shape::Record,
                                 "NV_SID_NID_I[{n}].nv_sid_nid_type.pair[{r}].pair[4].pair[{k}].sid",
                                 NV_UNKNOWN,
                                 kNam,
                                 4,
                                 "NV_SID_NID_I[{n}].nv_sid_nid_type.pair[{r}].pair[4].pair[{k}].nid"};
inline constexpr Row ResetSIDNIDList{"ResetSIDNIDList",
                                     Shape::Action,
                                     "NV_SID_NID_LIST_I.nv_sid_nid_list_type.sid",
                                     NV_UNKNOWN,
                                     kNoIndex,
                                     0,
                                     "NV_SID_NID_LIST_I.nv_sid_nid_list_type.nid",
                                     "NV_SID_NID_LIST_I.nv_sid_nid_list_type.block_or_sys",
                                     "NV_SID_NID_LIST_I.nv_sid_nid_list_type.band_class"};
inline constexpr Row AmpsMIN{"AmpsMIN",
                             Shape::Record,
                             "NV_MIN2_I[{n}].nv_min2_type.min2[2].min2[0]",
                             NV_UNKNOWN,
                             kNam,
                             0,
                             "NV_MIN1_I[{n}].nv_min1_type.min1[2].min1[0]"};
// The NAM name, then its mirror in the directory number's display copy.
inline constexpr Row NAMName{
    "NAMName",       Shape::Text, "NV_UI_NAM_NAME_I[{n}].ui_nv_name_nam_type.name[12].name[{k}]", NV_UNKNOWN,
    kSatelliteOrNam, 12,          "NV_UI_DIRECTORY_NUMBER_I[{n}].ui_nv_phone_book_entry_type"};
inline constexpr Row AmpsHomeSID{"AmpsHomeSID", Shape::Scalar, "NV_ANALOG_HOME_SID_I[{n}].nv_sid_type.sid", NV_USHORT,
                                 kSatelliteOrNam};
// CDMA list, AMPS list, then the items whose allocation is checked.
inline constexpr Row CDMALockSIDList{"CDMALockSIDList",
                                     Shape::Record,
                                     "NV_CDMA_SID_LOCK_I[{n}].nv_sid_lock_type.sid[6].sid[{k}]",
                                     NV_UNKNOWN,
                                     kSatelliteOrNam,
                                     6,
                                     "NV_ANALOG_SID_LOCK_I[{n}].nv_sid_lock_type.sid[6].sid[{k}]",
                                     "NV_CDMA_SID_LOCK_I[{n}]",
                                     "NV_ANALOG_SID_LOCK_I[{n}]"};
inline constexpr Row CDMATermRegistration{"CDMATermRegistration",
                                          Shape::Record,
                                          "NV_MOB_TERM_HOME_I[{n}].nv_mob_term_type.enabled[2].enabled[1]",
                                          NV_UNKNOWN,
                                          kSatelliteOrNam,
                                          0,
                                          "NV_MOB_TERM_FOR_SID_I[{n}].nv_mob_term_type.enabled[2].enabled[1]",
                                          "NV_MOB_TERM_FOR_NID_I[{n}].nv_mob_term_type.enabled[2].enabled[1]"};
// {k}: the class element, bCDMA clamped to 0..1.
inline constexpr Row ACCOLC{"ACCOLC",          Shape::Scalar,   "NV_ACCOLC_I[{n}].nv_accolc_type.class[2].class[{k}]",
                            NV_UCHAR,          kSatelliteOrNam, 0,
                            "NV_ACCOLC_I[{n}]"};
inline constexpr Row AMPSAutoReg{
    "AMPSAutoReg",         Shape::Enum, "NV_ANALOG_REG_I[{n}].nv_analog_reg_type.kind", NV_UNKNOWN, kNam, 0,
    "NV_ANALOG_REG_I[{n}]"};
inline constexpr Row AmpsFirstPagingChannel{"AmpsFirstPagingChannel",
                                            Shape::Scalar,
                                            "NV_ANALOG_FIRSTCHP_I[{n}].nv_firstchp_type.channel",
                                            NV_USHORT,
                                            kSatelliteOrNam,
                                            0,
                                            "NV_ANALOG_FIRSTCHP_I[{n}]"};
inline constexpr Row AmpsControlChannels{"AmpsControlChannels",
                                         Shape::Record,
                                         "NV_ANALOG_FIRSTCHD_A_I[{n}].nv_firstchd_type.channel",
                                         NV_UNKNOWN,
                                         kNam,
                                         0,
                                         "NV_ANALOG_FIRSTCHD_B_I[{n}].nv_firstchd_type.channel"};
inline constexpr Row AmpsSendPIN{"AmpsSendPIN", Shape::Boolean, "NV_UI_SEND_PIN[{n}].ui_send_pin_type", NV_UNKNOWN,
                                 kNam};
inline constexpr Row AmpsAutoPIN{"AmpsAutoPIN", Shape::Text,     "NV_UI_PIN[{n}].ui_nv_pin_type.pin[4].pin[{k}]",
                                 NV_UNKNOWN,    kSatelliteOrNam, 4};
inline constexpr Row AllowUserToModCellPrefs{"AllowUserToModCellPrefs", Shape::Boolean,
                                             "NV_UI_USER_SPEC_CELL_PREFERENCE[{n}].ui_cell_preference_user_control",
                                             NV_UNKNOWN, kNam};
// NAM 0, then NAM 1.
inline constexpr Row CDMA_SMSTimeStampAdjust{
    "CDMA_SMSTimeStampAdjust",
    Shape::NumericFlag,
    "NV_UI_SMS_TIME_STAMP_ADJ_MODE_CONTROL.ui_sms_time_stamp_adj_mode_control_type.cell_nam_0_adjust",
    NV_UNKNOWN,
    IndexRange{0, 1},
    0,
    "NV_UI_SMS_TIME_STAMP_ADJ_MODE_CONTROL.ui_sms_time_stamp_adj_mode_control_type.cell_nam_1_adjust"};
inline constexpr Row EVRCEnabled{"EVRCEnabled", Shape::NumericFlag,
                                 "NV_PREF_VOICE_SO_I[{n}].nv_pref_voice_so_type.evrc_capability_enabled", NV_UNKNOWN,
                                 kNam};
inline constexpr Row EVRCHomePage{"EVRCHomePage", Shape::Scalar,
                                  "NV_PREF_VOICE_SO_I[{n}].nv_pref_voice_so_type.home_page_voice_so", NV_USHORT, kNam};
inline constexpr Row EVRCHomeOrigination{"EVRCHomeOrigination", Shape::Scalar,
                                         "NV_PREF_VOICE_SO_I[{n}].nv_pref_voice_so_type.home_orig_voice_so", NV_USHORT,
                                         kNam};
inline constexpr Row EVRCRoamOrigination{"EVRCRoamOrigination", Shape::Scalar,
                                         "NV_PREF_VOICE_SO_I[{n}].nv_pref_voice_so_type.roam_orig_voice_so", NV_USHORT,
                                         kNam};
// NAM 0 and 1 only: element n of the item.
inline constexpr Row CDMA_PacketDataPreferredMode{"CDMA_PacketDataPreferredMode", Shape::Enum,
                                                  "NV_PPP_PREFERENCE[{n}].ui_ppp_preference_type", NV_UNKNOWN,
                                                  IndexRange{0, 1}};

// --- IUISettings, _1_1, _1_2, _1_3, _1_5 ---
inline constexpr Row IsValidPB{"IsValidPB", Shape::Record,
                               "NV_UI_PHONE_BOOK[0].ui_nv_phone_book_entry_type.hdr.flags.international"};
inline constexpr Row AutoAnswer{"AutoAnswer", Shape::Enum, "NV_UI_AUTOANSWER.ui_autoanswer_display_type"};
inline constexpr Row EarPieceVolume{"EarPieceVolume", Shape::Enum, "NV_UI_EARPIECE_VOLUME.ui_volume_display_type"};
inline constexpr Row KeyBeepVolume{"KeyBeepVolume", Shape::Enum, "NV_UI_KEYBEEP_VOLUME.ui_volume_display_type"};
inline constexpr Row RingerVolume{"RingerVolume", Shape::Enum, "NV_UI_RINGER_VOLUME.ui_volume_display_type"};
inline constexpr Row CarkitHandset{"CarkitHandset", Shape::Enum, "NV_CKIT_HANDSET_VOLUME.ckit_volume_control_type"};
inline constexpr Row CarkitHandsfree{"CarkitHandsfree", Shape::Enum,
                                     "NV_CKIT_HANDSFREE_VOLUME.ckit_volume_control_type"};
inline constexpr Row RingerType{"RingerType", Shape::Enum, "NV_UI_RINGER_STYLE.ui_ringertype_type"};
inline constexpr Row KeyBeepSound{"KeyBeepSound", Shape::Enum, "NV_UI_KEYBEEP_SOUND.ui_tone_click_display_type"};
inline constexpr Row KeyBeepLength{"KeyBeepLength", Shape::Enum, "NV_UI_KEYBEEP_LENGTH.ui_normal_long_type"};
inline constexpr Row OneTouchDial{"OneTouchDial", Shape::Enum, "NV_UI_ONE_TOUCH_ENABLED.ui_enable_disable_type"};
inline constexpr Row AnyKeyAnswer{"AnyKeyAnswer", Shape::Boolean, "NV_UI_ANYKEYANSWER_ENABLED.ui_on_off_display_type"};
inline constexpr Row AutoRetry{"AutoRetry", Shape::Enum, "NV_UI_AUTORETRY.ui_autoretry_display_type"};
inline constexpr Row Timezone{"Timezone", Shape::Scalar, "NV_UI_TIMEZONE.T_USHORT", NV_USHORT};
inline constexpr Row ShowTime{"ShowTime", Shape::Enum, "NV_UI_SHOWTIME.ui_showtime_type"};
inline constexpr Row Backlight{"Backlight", Shape::Enum, "NV_UI_BACKLIGHT.ui_backlight_display_type"};
inline constexpr Row AutoHyphen{"AutoHyphen", Shape::Boolean, "NV_UI_AUTOHYPHEN.ui_on_off_display_type"};
inline constexpr Row Banner{"Banner", Shape::Text, "NV_UI_ROOT_MENU_BANNER[{k}].T_USHORT", NV_UNKNOWN, kNoIndex, 14};
inline constexpr Row SplashBanner{"SplashBanner", Shape::Text, "NV_UI_SP_SPLASH_NAME[{k}].T_USHORT",
                                  NV_UNKNOWN,     kNoIndex,    14};
inline constexpr Row PhoneBookEntry{"PhoneBookEntry",
                                    Shape::Record,
                                    "NV_UI_PHONE_BOOK[{n}].ui_nv_phone_book_entry_type",
                                    NV_UNKNOWN,
                                    kPhoneBookEntry,
                                    32,
                                    "NV_UI_PHONE_BOOK[{n}]"};
inline constexpr Row AllCallsTime{"AllCallsTime", Shape::Record, "NV_UI_TIME_ALLCALLS.ui_time_type"};
inline constexpr Row AllCallsCount{"AllCallsCount", Shape::Scalar, "NV_UI_NUM_ALLCALLS.T_ULONG", NV_ULONG};
inline constexpr Row HomeCallsTime{"HomeCallsTime", Shape::Record, "NV_UI_TIME_HOMECALLS.ui_time_type"};
inline constexpr Row HomeCallsCount{"HomeCallsCount", Shape::Scalar, "NV_UI_NUM_HOMECALLS.T_ULONG", NV_ULONG};
inline constexpr Row RoamCallsTime{"RoamCallsTime", Shape::Record, "NV_UI_TIME_ROAMCALLS.ui_time_type"};
inline constexpr Row RoamCallsCount{"RoamCallsCount", Shape::Scalar, "NV_UI_NUM_ROAMCALLS.T_ULONG", NV_ULONG};
inline constexpr Row RecentCallsTime{"RecentCallsTime", Shape::Record, "NV_UI_TIME_RECENTCALLS.ui_time_type"};
inline constexpr Row RecentCallsCount{"RecentCallsCount", Shape::Scalar, "NV_UI_NUM_RECENTCALLS.T_ULONG", NV_ULONG};
inline constexpr Row LastCallTime{"LastCallTime", Shape::Record, "NV_UI_TIME_LASTCALL.ui_time_type"};
inline constexpr Row Language{"Language", Shape::Enum, "NV_UI_LANGUAGE.ui_language_type"};
inline constexpr Row LastCallDialedDigits{
    "LastCallDialedDigits", Shape::Record, "NV_UI_LAST_DIALED.ui_nv_last_dialed_type", NV_UNKNOWN, kNoIndex, 32};
inline constexpr Row DataCallsTime{"DataCallsTime", Shape::Record, "NV_UI_TIME_DATACALLS.ui_time_type"};
inline constexpr Row DataCallsRXCount{"DataCallsRXCount", Shape::Scalar, "NV_UI_NUM_RX_DATACALLS.T_ULONG", NV_ULONG};
inline constexpr Row DataCallsTXCount{"DataCallsTXCount", Shape::Scalar, "NV_UI_NUM_TX_DATACALLS.T_ULONG", NV_ULONG};
inline constexpr Row IsLanguage{"IsLanguage", Shape::Record, "NV_UI_LANGUAGE.ui_language_type"};
inline constexpr Row IsPhoneUnicode{"IsPhoneUnicode", Shape::Record,
                                    "NV_UI_PHONE_BOOK[0].ui_nv_phone_book_entry_type.alpha[12].alpha[0]"};
inline constexpr Row PhoneBookEntryUnicode{
    "PhoneBookEntryUnicode", Shape::Record, PhoneBookEntry.path, NV_UNKNOWN, kPhoneBookEntry, 32, PhoneBookEntry.path2};
inline constexpr Row LastCallDialedDigitsUnicode{
    "LastCallDialedDigitsUnicode", Shape::Record, LastCallDialedDigits.path, NV_UNKNOWN, kNoIndex, 32};
inline constexpr Row SortPhonebook{"SortPhonebook", Shape::Enum, "NV_UI_SORT_BOOK.ui_sort_book_display_type"};

// --- IAFUTSettings, _1_3 ---
inline constexpr Row NoDialedDigitsTimeout{"NoDialedDigitsTimeout", Shape::Scalar, "NV_UI_NO_DIGITS_TIMEOUT.T_UCHAR",
                                           NV_UCHAR};
inline constexpr Row DialingEndTimeout{"DialingEndTimeout", Shape::Scalar, "NV_UI_END_DIALING_TIMEOUT.T_UCHAR",
                                       NV_UCHAR};
// {t}: the tone part of the item name, from kToneNames.
inline constexpr Row ToneIndex{"ToneIndex", Shape::Scalar, "NV_SND_{t}_TONE_INDEX.T_UCHAR", NV_UCHAR};
inline constexpr Row CustomTone{"CustomTone",
                                Shape::Record,
                                "NV_SND_CUSTOM_{t}_TONE[{k}].snd_type.tone",
                                NV_UNKNOWN,
                                kNoIndex,
                                8,
                                "NV_SND_CUSTOM_{t}_TONE[{k}].snd_type.duration_ms"};
inline constexpr Row CustomDTMF{"CustomDTMF",
                                Shape::Record,
                                "NV_SND_CUSTOM_DTMF_TABLE[{k}].snd_custom_dtmf_type.index_hi",
                                NV_UNKNOWN,
                                kNoIndex,
                                10,
                                "NV_SND_CUSTOM_DTMF_TABLE[{k}].snd_custom_dtmf_type.index_lo"};
inline constexpr Row EndCallWink{"EndCallWink", Shape::Scalar, "NV_UI_ENDCALL_WINK_DURATION.T_USHORT", NV_USHORT};

// The <tone> part of the tone items, by AFUTToneIDs 0..12.
inline constexpr const char* kToneNames[] = {
    "NORMAL_ALERT", "DIAL",   "RINGBACK",     "INTERCEPT", "ABRV_INTERCEPT",      "REORDER", "ABRV_REORDER", "BUSY",
    "CONFIRM",      "ANSWER", "CALL_WAITING", "COMFORT",   "MESSAGE_WAITING_DIAL"};

}  // namespace rows
}  // namespace vx::utconfig
