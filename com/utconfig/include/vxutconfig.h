// The UT configuration object of libvxutconfig.so: typed settings of the UT
// (phone book, service providers, NAM data, sounds, locks, timers), each
// mapped onto NV item paths of a connection object.
//
// Create it with CoCreateInstance(CLSID_UTConfig) (ProgID
// "UTVEX_UTConfig.UTVEX_UTConfig"), hand it a finished connection object
// through IUTConfigAttach, then call the settings methods. Changes are only
// staged in the connection object's item cache; committing them
// (IVexParams1::CommitChanges) is the caller's business.
//
// Every interface lists its methods in virtual-table order and every record
// its fields in declaration order, so C++ code outside the suite can use the
// object through this header alone. `long` and `int` of the records are
// signed 32-bit. Strings returned through LPWSTR* are task-allocated: the
// caller frees them with CoTaskMemFree.
#pragma once

#include "vxcom.h"

// --- enumerations -------------------------------------------------------------------

enum GetSetType : int32_t {
  GET_PARAM = 1,
  SET_PARAM = 2,
};

enum OBIMSIType : int32_t {
  OB_TRUE_IMSI = 0,
  OB_MIN_BASED_IMSI = 1,
  OB_UNPROGRAMMED_IMSI = 255,
};

enum AFUTToneIDs : int32_t {
  AFUT_RING = 0,
  AFUT_DIAL = 1,
  AFUT_RINGBACK = 2,
  AFUT_INTERCEPT = 3,
  AFUT_ABRV_INTERCEPT = 4,
  AFUT_REORDER = 5,
  AFUT_ABRV_REORDER = 6,
  AFUT_BUSY = 7,
  AFUT_CONFIRM = 8,
  AFUT_ANSWER = 9,
  AFUT_CALL_WAITING = 10,
  AFUT_COMFORT = 11,
  AFUT_MSGWAITING = 12,
  AFUT_END_OF_ENUMS = 13,
};

// --- records ------------------------------------------------------------------------

struct emergency_pnumber_type {
  int32_t international;
  int32_t hyphen;
  uint8_t digits[32];
  int32_t digits_index;  // used characters, 0..32
};

struct last_dialed_digits_type {
  emergency_pnumber_type number_stuff;
  uint8_t alpha[12];
};

struct last_dialed_digits_unicode_type {
  emergency_pnumber_type number_stuff;
  int16_t unicode_alpha[12];
};

struct phonebook_entry_type {
  int32_t allocated;  // the entry exists in the UT
  int32_t valid;
  int32_t international;
  int32_t secret;
  int32_t digits_index;  // 0..32
  int32_t pb_position;   // echoed back on get
  uint8_t digits[32];    // blank-padded with spaces
  uint8_t alpha[12];
};

struct phonebook_entry_unicode_type {
  int32_t allocated;
  int32_t valid;
  int32_t international;
  int32_t secret;
  int32_t digits_index;
  int32_t pb_position;
  uint8_t digits[32];
  int16_t unicode_alpha[12];
};

struct knownsp_entry_type {
  int32_t valid;
  int32_t ksp_position;
  char mcc[3];
  char mnc[3];
  char mcc_name[12];
  char mnc_name[12];
  uint8_t pos_in_pref_list;
  uint8_t is_prohibited;
};

struct knownsp_entry_unicode_type {
  int32_t valid;
  int32_t ksp_position;
  char mcc[3];
  char mnc[3];
  int16_t u_mcc_name[12];
  int16_t u_mnc_name[12];
  uint8_t pos_in_pref_list;
  uint8_t is_prohibited;
};

struct orbitnet_imsi_type {
  int32_t valid;
  OBIMSIType imsi_type;
  char mcc[3];
  char mnc[3];
  char msin[10];
};

struct last_sp_reg_type {
  int32_t valid;
  char mcc[3];
  char mnc[3];
  uint8_t digit_tmode;
};

struct aclist_type {
  int32_t valid;
  int16_t acl[13];
};

struct cellular_imsi_type {
  int32_t valid;
  char mcc[3];
  char i11_12[2];
  char min2[3];
  char min1[7];
};

struct amps_min_type {
  int32_t valid;
  char min2[3];
  char min1[7];
};

struct cdma_channels_type {
  int32_t valid;
  uint16_t primary_a;
  uint16_t primary_b;
  uint16_t secondary_a;
  uint16_t secondary_b;
};

struct nv_sid_nid_pair {
  uint16_t sid;
  uint16_t nid;
};

struct nv_sid_nid_type {
  int32_t valid;
  nv_sid_nid_pair pair[2][4];
};

struct lock_sid_list_type {
  int32_t valid;
  uint16_t sid[6];
};

struct term_registration_type {
  int32_t valid;
  int32_t bHomeSIDTerm;
  int32_t bForeignSIDTerm;
  int32_t bForeignNIDTerm;
};

struct amps_first_control_channel_type {
  int32_t valid;
  uint16_t usChannelBandA;
  uint16_t usChannelBandB;
};

struct nv_calltime_type {
  int32_t valid;
  uint16_t usHours;
  uint8_t ucMinutes;
  uint8_t ucSeconds;
};

struct nv_afut_custom_tone_type {
  int32_t valid;
  AFUTToneIDs toneType;
  uint16_t tone[8];
  uint16_t duration_ms[8];
};

struct nv_afut_custom_dtmf_tone_type {
  int32_t valid;
  uint16_t index_hi[10];
  uint16_t index_lo[10];
};

// --- result codes -------------------------------------------------------------------

// Success: the directory number's two copies disagreed in reachability; one
// of them could not be read or written, the other could.
inline constexpr HRESULT UTC_S_ONE_COPY_ONLY = vx::com::detail::hr(0x00040329u);
inline constexpr HRESULT UTC_E_NOT_ATTACHED = vx::com::detail::hr(0x80040301u);
inline constexpr HRESULT UTC_E_WRONG_TYPE = vx::com::detail::hr(0x80040322u);
inline constexpr HRESULT UTC_E_UNEXPECTED_MEMBER = vx::com::detail::hr(0x80040325u);
inline constexpr HRESULT UTC_E_TONE_TYPE = vx::com::detail::hr(0x80040326u);

// --- interfaces ---------------------------------------------------------------------

// Hands the object the connection object it works through.
struct IUTConfigAttach : IUnknown {
  VX_COM_INTERFACE(IUTConfigAttach, IUnknown, "{0F0F3207-EEB4-11D2-8916-00805F9B5A6C}")
  virtual HRESULT AttachConnection(IUnknown* connection) = 0;
  virtual HRESULT DetachConnection() = 0;
  virtual HRESULT IsConnectionAttached(int32_t* attached) = 0;
};

struct IGeneralSettings : IUnknown {
  VX_COM_INTERFACE(IGeneralSettings, IUnknown, "{E4163DAC-CB3B-11D2-8901-00805F9B5A6C}")
  virtual HRESULT AutoNAM(GetSetType gstType, int32_t lSet, int32_t* plRetrieve) = 0;
  virtual HRESULT NoServiceTimeUntilSleep(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) = 0;
  virtual HRESULT SetServiceProgDateAsCurrent() = 0;
  virtual HRESULT DeepSleepDuration(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) = 0;
  virtual HRESULT CurrentNAM(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT CDMASlotCycleIndex(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT SPEmergencyNumber(GetSetType gstType, int32_t nIndex, emergency_pnumber_type* pNumber) = 0;
  virtual HRESULT UserEmergencyNumber(GetSetType gstType, int32_t nIndex, emergency_pnumber_type* pNumber) = 0;
  virtual HRESULT OBLockOrderReason(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT OBMaintOrderReason(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT CDMALockOrderReason(GetSetType gstType, uint8_t* pucLockOrder, uint8_t* pucLockReason) = 0;
  virtual HRESULT CDMAMaintOrderReason(GetSetType gstType, uint8_t* pucMaintOrder, uint8_t* pucMaintReason) = 0;
  virtual HRESULT ServiceAlert(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT CallFade(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT MinuteAlert(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT RestrictUT(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT LockMode(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                           LPWSTR* ppszResult) = 0;
  virtual HRESULT FieldServiceHiddenCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT UserLockCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT SystemHiddenMenuCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT KnownSPEntry(GetSetType gstType, int32_t nIndex, knownsp_entry_type* pEntry) = 0;
  virtual HRESULT TransmitDisable(GetSetType gstType, int32_t lSet, int32_t* plRetrieve) = 0;
};

struct IGeneralSettings_1_1 : IGeneralSettings {
  VX_COM_INTERFACE(IGeneralSettings_1_1, IGeneralSettings, "{79BB81E1-872C-11D3-8947-00805F9B5A6C}")
  virtual HRESULT IncrementWDC() = 0;
};

struct IGeneralSettings_1_2 : IGeneralSettings_1_1 {
  VX_COM_INTERFACE(IGeneralSettings_1_2, IGeneralSettings_1_1, "{604E497A-C849-11D3-8878-00805F9B5A6C}")
  virtual HRESULT SleepServiceScanInterval(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT DataServicesBaudRate(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                       LPWSTR* ppszResult) = 0;
};

struct IGeneralSettings_1_3 : IGeneralSettings_1_2 {
  VX_COM_INTERFACE(IGeneralSettings_1_3, IGeneralSettings_1_2, "{B6B9ECA6-146B-11D4-887B-00805F9B5A6C}")
  virtual HRESULT OrbitnetSlotCycleIndex(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT OrbitnetSlottedMode(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT KnownSPEntryUnicode(GetSetType gstType, int32_t nIndex, knownsp_entry_unicode_type* pEntry) = 0;
};

struct IGeneralSettings_1_4 : IGeneralSettings_1_3 {
  VX_COM_INTERFACE(IGeneralSettings_1_4, IGeneralSettings_1_3, "{9BEFEE75-4390-11D4-8895-00805F9B5A6C}")
  virtual HRESULT SMSMessageAlert(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                  LPWSTR* ppszResult) = 0;
};

struct IOrbitnetSettings : IUnknown {
  VX_COM_INTERFACE(IOrbitnetSettings, IUnknown, "{45AAF695-CB44-11D2-8902-00805F9B5A6C}")
  virtual HRESULT DirectoryNumber(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT OBIMSI(GetSetType gstType, orbitnet_imsi_type* pImsi) = 0;
  virtual HRESULT LossOfCoverageTimer(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT LastGWRegistration(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) = 0;
  virtual HRESULT LastSPRegistration(GetSetType gstType, last_sp_reg_type* pReg) = 0;
  virtual HRESULT HomeGatewayInfo(GetSetType gstType, int16_t* psChannel, int32_t* plGateway) = 0;
  virtual HRESULT HomeSP(GetSetType gstType, last_sp_reg_type* pSp) = 0;
  virtual HRESULT OBACCOLC(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT ACList(GetSetType gstType, aclist_type* pList) = 0;
  virtual HRESULT OB_SMSTimeStampAdjust(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) = 0;
};

struct IOrbitnetSettings_1_5 : IOrbitnetSettings {
  VX_COM_INTERFACE(IOrbitnetSettings_1_5, IOrbitnetSettings, "{B37270A1-73A1-11D4-88A1-00805F9B5A6C}")
  virtual HRESULT OB_PacketDataPreferredMode(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                             LPWSTR* ppszResult) = 0;
};

struct ITerrestrialSettings : IUnknown {
  VX_COM_INTERFACE(ITerrestrialSettings, IUnknown, "{45AAF696-CB44-11D2-8902-00805F9B5A6C}")
  virtual HRESULT CellularIMSI(GetSetType gstType, int32_t nIndex, cellular_imsi_type* pImsi) = 0;
  virtual HRESULT CDMAPrefServingSystem(GetSetType gstType, int32_t bCDMA, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                        uint32_t* pulResult, LPWSTR* ppszResult) = 0;
  virtual HRESULT AllowedCellularModes(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                       uint32_t* pulResult, LPWSTR* ppszResult) = 0;
  virtual HRESULT PreferredCellularMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                        uint32_t* pulResult, LPWSTR* ppszResult) = 0;
  virtual HRESULT PreferredMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                LPWSTR* ppszResult) = 0;
  virtual HRESULT CDMAChannels(GetSetType gstType, int32_t nNAM, cdma_channels_type* pChannels) = 0;
  virtual HRESULT SIDNIDPairs(GetSetType gstType, int32_t nNAM, nv_sid_nid_type* pPairs) = 0;
  virtual HRESULT ResetSIDNIDList() = 0;
  virtual HRESULT AmpsMIN(GetSetType gstType, int32_t nIndex, amps_min_type* pMin) = 0;
  virtual HRESULT NAMName(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT AmpsHomeSID(GetSetType gstType, int32_t nIndex, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT CDMALockSIDList(GetSetType gstType, int32_t bCDMA, int32_t nIndex, lock_sid_list_type* pList) = 0;
  virtual HRESULT CDMATermRegistration(GetSetType gstType, int32_t nIndex, term_registration_type* pReg) = 0;
  virtual HRESULT ACCOLC(GetSetType gstType, int32_t nIndex, int32_t bCDMA, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT AMPSAutoReg(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                              LPWSTR* ppszResult) = 0;
  virtual HRESULT AmpsFirstPagingChannel(GetSetType gstType, int32_t nIndex, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT AmpsControlChannels(GetSetType gstType, int32_t nNAM, amps_first_control_channel_type* pChannels) = 0;
  virtual HRESULT AmpsSendPIN(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT AmpsAutoPIN(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT AllowUserToModCellPrefs(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT CDMA_SMSTimeStampAdjust(GetSetType gstType, int32_t bSet, int32_t nNAM, int32_t* pbRetrieve) = 0;
};

struct ITerrestrialSettings_1_3 : ITerrestrialSettings {
  VX_COM_INTERFACE(ITerrestrialSettings_1_3, ITerrestrialSettings, "{BA28AD2C-1605-11D4-887C-00805F9B5A6C}")
  virtual HRESULT EVRCEnabled(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT EVRCHomePage(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT EVRCHomeOrigination(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT EVRCRoamOrigination(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) = 0;
};

struct ITerrestrialSettings_1_5 : ITerrestrialSettings_1_3 {
  VX_COM_INTERFACE(ITerrestrialSettings_1_5, ITerrestrialSettings_1_3, "{AFBD098A-73AD-11D4-88A2-00805F9B5A6C}")
  virtual HRESULT CDMA_PacketDataPreferredMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                               uint32_t* pulResult, LPWSTR* ppszResult) = 0;
};

struct IUISettings : IUnknown {
  VX_COM_INTERFACE(IUISettings, IUnknown, "{45AAF697-CB44-11D2-8902-00805F9B5A6C}")
  virtual HRESULT IsValidPB(int32_t* pbIsValid) = 0;
  virtual HRESULT AutoAnswer(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                             LPWSTR* ppszResult) = 0;
  virtual HRESULT EarPieceVolume(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                 LPWSTR* ppszResult) = 0;
  virtual HRESULT KeyBeepVolume(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                LPWSTR* ppszResult) = 0;
  virtual HRESULT RingerVolume(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                               LPWSTR* ppszResult) = 0;
  virtual HRESULT CarkitHandset(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                LPWSTR* ppszResult) = 0;
  virtual HRESULT CarkitHandsfree(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                  LPWSTR* ppszResult) = 0;
  virtual HRESULT RingerType(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                             LPWSTR* ppszResult) = 0;
  virtual HRESULT KeyBeepSound(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                               LPWSTR* ppszResult) = 0;
  virtual HRESULT KeyBeepLength(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                LPWSTR* ppszResult) = 0;
  virtual HRESULT OneTouchDial(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                               LPWSTR* ppszResult) = 0;
  virtual HRESULT AnyKeyAnswer(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT AutoRetry(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                            LPWSTR* ppszResult) = 0;
  virtual HRESULT Timezone(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) = 0;
  virtual HRESULT ShowTime(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                           LPWSTR* ppszResult) = 0;
  virtual HRESULT Backlight(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                            LPWSTR* ppszResult) = 0;
  virtual HRESULT AutoHyphen(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) = 0;
  virtual HRESULT Banner(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT SplashBanner(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) = 0;
  virtual HRESULT PhoneBookEntry(GetSetType gstType, int32_t nIndex, phonebook_entry_type* pEntry) = 0;
  virtual HRESULT AllCallsTime(GetSetType gstType, nv_calltime_type* pTime) = 0;
  virtual HRESULT AllCallsCount(GetSetType gstType, uint32_t* pulCount) = 0;
  virtual HRESULT HomeCallsTime(GetSetType gstType, nv_calltime_type* pTime) = 0;
  virtual HRESULT HomeCallsCount(GetSetType gstType, uint32_t* pulCount) = 0;
  virtual HRESULT RoamCallsTime(GetSetType gstType, nv_calltime_type* pTime) = 0;
  virtual HRESULT RoamCallsCount(GetSetType gstType, uint32_t* pulCount) = 0;
  virtual HRESULT RecentCallsTime(GetSetType gstType, nv_calltime_type* pTime) = 0;
  virtual HRESULT RecentCallsCount(GetSetType gstType, uint32_t* pulCount) = 0;
  virtual HRESULT LastCallTime(GetSetType gstType, nv_calltime_type* pTime) = 0;
};

struct IUISettings_1_1 : IUISettings {
  VX_COM_INTERFACE(IUISettings_1_1, IUISettings, "{1F437D18-8186-11D3-8947-00805F9B5A6C}")
  virtual HRESULT Language(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                           LPWSTR* ppszResult) = 0;
  virtual HRESULT LastCallDialedDigits(GetSetType gstType, last_dialed_digits_type* pDigits) = 0;
};

struct IUISettings_1_2 : IUISettings_1_1 {
  VX_COM_INTERFACE(IUISettings_1_2, IUISettings_1_1, "{083082A5-D50A-11D3-886F-00805F9B5A6C}")
  virtual HRESULT DataCallsTime(GetSetType gstType, nv_calltime_type* pTime) = 0;
  virtual HRESULT DataCallsRXCount(GetSetType gstType, uint32_t* pulCount) = 0;
  virtual HRESULT DataCallsTXCount(GetSetType gstType, uint32_t* pulCount) = 0;
};

struct IUISettings_1_3 : IUISettings_1_2 {
  VX_COM_INTERFACE(IUISettings_1_3, IUISettings_1_2, "{96C2E5D5-21DD-11D4-8880-00805F9B5A6C}")
  // szLanguage: a NUL-terminated UTF-16 text.
  virtual HRESULT IsLanguage(int16_t* szLanguage, int32_t* bResult) = 0;
  virtual HRESULT IsPhoneUnicode(int32_t* pbResult) = 0;
  virtual HRESULT PhoneBookEntryUnicode(GetSetType gstType, int32_t nIndex, phonebook_entry_unicode_type* pEntry) = 0;
  virtual HRESULT LastCallDialedDigitsUnicode(GetSetType gstType, last_dialed_digits_unicode_type* pDigits) = 0;
};

struct IUISettings_1_5 : IUISettings_1_3 {
  VX_COM_INTERFACE(IUISettings_1_5, IUISettings_1_3, "{B372709D-73A1-11D4-88A1-00805F9B5A6C}")
  virtual HRESULT SortPhonebook(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                LPWSTR* ppszResult) = 0;
};

struct IAFUTSettings : IUnknown {
  VX_COM_INTERFACE(IAFUTSettings, IUnknown, "{45AAF698-CB44-11D2-8902-00805F9B5A6C}")
  virtual HRESULT NoDialedDigitsTimeout(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT DialingEndTimeout(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) = 0;
  virtual HRESULT ToneIndex(GetSetType gstType, AFUTToneIDs toneType, uint8_t* pData) = 0;
  virtual HRESULT CustomTone(GetSetType gstType, nv_afut_custom_tone_type* pTone) = 0;
  virtual HRESULT CustomDTMF(GetSetType gstType, nv_afut_custom_dtmf_tone_type* pDtmf) = 0;
};

struct IAFUTSettings_1_3 : IAFUTSettings {
  VX_COM_INTERFACE(IAFUTSettings_1_3, IAFUTSettings, "{AD1A6A1D-2DA0-11D4-888A-00805F9B5A6C}")
  virtual HRESULT EndCallWink(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) = 0;
};

// --- classes ------------------------------------------------------------------------

inline constexpr CLSID CLSID_UTConfig = vx::com::MakeGuid("{E4163DAD-CB3B-11D2-8901-00805F9B5A6C}");
inline constexpr GUID LIBID_VXUTCONFIGLib = vx::com::MakeGuid("{E4163D9D-CB3B-11D2-8901-00805F9B5A6C}");
