// CUTConfig: the UT configuration object. It holds the attached connection
// object and its IVexParams1, nothing else: no cache, no copy of a setting.
// Every settings method is one call into a shape (shapes_*.h) with its row
// of the settings table (settings_table.h).
#pragma once

#include "vx/com/object.h"
#include "vxconnect.h"
#include "vxutconfig.h"

namespace vx::utconfig {

class CUTConfig final
    : public vx::com::Implements<IGeneralSettings_1_4, IOrbitnetSettings_1_5, ITerrestrialSettings_1_5, IUISettings_1_5,
                                 IAFUTSettings_1_3, IUTConfigAttach> {
 public:
  CUTConfig() = default;
  ~CUTConfig() override;

  // IUTConfigAttach
  HRESULT AttachConnection(IUnknown* connection) override;
  HRESULT DetachConnection() override;
  HRESULT IsConnectionAttached(int32_t* attached) override;

  // IGeneralSettings
  HRESULT AutoNAM(GetSetType gstType, int32_t lSet, int32_t* plRetrieve) override;
  HRESULT NoServiceTimeUntilSleep(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) override;
  HRESULT SetServiceProgDateAsCurrent() override;
  HRESULT DeepSleepDuration(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) override;
  HRESULT CurrentNAM(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT CDMASlotCycleIndex(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT SPEmergencyNumber(GetSetType gstType, int32_t nIndex, emergency_pnumber_type* pNumber) override;
  HRESULT UserEmergencyNumber(GetSetType gstType, int32_t nIndex, emergency_pnumber_type* pNumber) override;
  HRESULT OBLockOrderReason(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT OBMaintOrderReason(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT CDMALockOrderReason(GetSetType gstType, uint8_t* pucLockOrder, uint8_t* pucLockReason) override;
  HRESULT CDMAMaintOrderReason(GetSetType gstType, uint8_t* pucMaintOrder, uint8_t* pucMaintReason) override;
  HRESULT ServiceAlert(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT CallFade(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT MinuteAlert(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT RestrictUT(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT LockMode(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult) override;
  HRESULT FieldServiceHiddenCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT UserLockCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT SystemHiddenMenuCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT KnownSPEntry(GetSetType gstType, int32_t nIndex, knownsp_entry_type* pEntry) override;
  HRESULT TransmitDisable(GetSetType gstType, int32_t lSet, int32_t* plRetrieve) override;

  // IGeneralSettings_1_1
  HRESULT IncrementWDC() override;

  // IGeneralSettings_1_2
  HRESULT SleepServiceScanInterval(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT DataServicesBaudRate(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                               LPWSTR* ppszResult) override;

  // IGeneralSettings_1_3
  HRESULT OrbitnetSlotCycleIndex(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT OrbitnetSlottedMode(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT KnownSPEntryUnicode(GetSetType gstType, int32_t nIndex, knownsp_entry_unicode_type* pEntry) override;

  // IGeneralSettings_1_4
  HRESULT SMSMessageAlert(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                          LPWSTR* ppszResult) override;

  // IOrbitnetSettings
  HRESULT DirectoryNumber(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT OBIMSI(GetSetType gstType, orbitnet_imsi_type* pImsi) override;
  HRESULT LossOfCoverageTimer(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT LastGWRegistration(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) override;
  HRESULT LastSPRegistration(GetSetType gstType, last_sp_reg_type* pReg) override;
  HRESULT HomeGatewayInfo(GetSetType gstType, int16_t* psChannel, int32_t* plGateway) override;
  HRESULT HomeSP(GetSetType gstType, last_sp_reg_type* pSp) override;
  HRESULT OBACCOLC(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT ACList(GetSetType gstType, aclist_type* pList) override;
  HRESULT OB_SMSTimeStampAdjust(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) override;

  // IOrbitnetSettings_1_5
  HRESULT OB_PacketDataPreferredMode(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                     LPWSTR* ppszResult) override;

  // ITerrestrialSettings
  HRESULT CellularIMSI(GetSetType gstType, int32_t nIndex, cellular_imsi_type* pImsi) override;
  HRESULT CDMAPrefServingSystem(GetSetType gstType, int32_t bCDMA, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                uint32_t* pulResult, LPWSTR* ppszResult) override;
  HRESULT AllowedCellularModes(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                               LPWSTR* ppszResult) override;
  HRESULT PreferredCellularMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                LPWSTR* ppszResult) override;
  HRESULT PreferredMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                        LPWSTR* ppszResult) override;
  HRESULT CDMAChannels(GetSetType gstType, int32_t nNAM, cdma_channels_type* pChannels) override;
  HRESULT SIDNIDPairs(GetSetType gstType, int32_t nNAM, nv_sid_nid_type* pPairs) override;
  HRESULT ResetSIDNIDList() override;
  HRESULT AmpsMIN(GetSetType gstType, int32_t nIndex, amps_min_type* pMin) override;
  HRESULT NAMName(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT AmpsHomeSID(GetSetType gstType, int32_t nIndex, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT CDMALockSIDList(GetSetType gstType, int32_t bCDMA, int32_t nIndex, lock_sid_list_type* pList) override;
  HRESULT CDMATermRegistration(GetSetType gstType, int32_t nIndex, term_registration_type* pReg) override;
  HRESULT ACCOLC(GetSetType gstType, int32_t nIndex, int32_t bCDMA, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT AMPSAutoReg(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                      LPWSTR* ppszResult) override;
  HRESULT AmpsFirstPagingChannel(GetSetType gstType, int32_t nIndex, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT AmpsControlChannels(GetSetType gstType, int32_t nNAM, amps_first_control_channel_type* pChannels) override;
  HRESULT AmpsSendPIN(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT AmpsAutoPIN(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT AllowUserToModCellPrefs(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT CDMA_SMSTimeStampAdjust(GetSetType gstType, int32_t bSet, int32_t nNAM, int32_t* pbRetrieve) override;

  // ITerrestrialSettings_1_3
  HRESULT EVRCEnabled(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT EVRCHomePage(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT EVRCHomeOrigination(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT EVRCRoamOrigination(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) override;

  // ITerrestrialSettings_1_5
  HRESULT CDMA_PacketDataPreferredMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                       uint32_t* pulResult, LPWSTR* ppszResult) override;

  // IUISettings
  HRESULT IsValidPB(int32_t* pbIsValid) override;
  HRESULT AutoAnswer(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                     LPWSTR* ppszResult) override;
  HRESULT EarPieceVolume(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                         LPWSTR* ppszResult) override;
  HRESULT KeyBeepVolume(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                        LPWSTR* ppszResult) override;
  HRESULT RingerVolume(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                       LPWSTR* ppszResult) override;
  HRESULT CarkitHandset(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                        LPWSTR* ppszResult) override;
  HRESULT CarkitHandsfree(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                          LPWSTR* ppszResult) override;
  HRESULT RingerType(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                     LPWSTR* ppszResult) override;
  HRESULT KeyBeepSound(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                       LPWSTR* ppszResult) override;
  HRESULT KeyBeepLength(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                        LPWSTR* ppszResult) override;
  HRESULT OneTouchDial(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                       LPWSTR* ppszResult) override;
  HRESULT AnyKeyAnswer(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT AutoRetry(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult) override;
  HRESULT Timezone(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) override;
  HRESULT ShowTime(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult) override;
  HRESULT Backlight(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult) override;
  HRESULT AutoHyphen(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) override;
  HRESULT Banner(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT SplashBanner(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) override;
  HRESULT PhoneBookEntry(GetSetType gstType, int32_t nIndex, phonebook_entry_type* pEntry) override;
  HRESULT AllCallsTime(GetSetType gstType, nv_calltime_type* pTime) override;
  HRESULT AllCallsCount(GetSetType gstType, uint32_t* pulCount) override;
  HRESULT HomeCallsTime(GetSetType gstType, nv_calltime_type* pTime) override;
  HRESULT HomeCallsCount(GetSetType gstType, uint32_t* pulCount) override;
  HRESULT RoamCallsTime(GetSetType gstType, nv_calltime_type* pTime) override;
  HRESULT RoamCallsCount(GetSetType gstType, uint32_t* pulCount) override;
  HRESULT RecentCallsTime(GetSetType gstType, nv_calltime_type* pTime) override;
  HRESULT RecentCallsCount(GetSetType gstType, uint32_t* pulCount) override;
  HRESULT LastCallTime(GetSetType gstType, nv_calltime_type* pTime) override;

  // IUISettings_1_1
  HRESULT Language(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult) override;
  HRESULT LastCallDialedDigits(GetSetType gstType, last_dialed_digits_type* pDigits) override;

  // IUISettings_1_2
  HRESULT DataCallsTime(GetSetType gstType, nv_calltime_type* pTime) override;
  HRESULT DataCallsRXCount(GetSetType gstType, uint32_t* pulCount) override;
  HRESULT DataCallsTXCount(GetSetType gstType, uint32_t* pulCount) override;

  // IUISettings_1_3
  HRESULT IsLanguage(int16_t* szLanguage, int32_t* bResult) override;
  HRESULT IsPhoneUnicode(int32_t* pbResult) override;
  HRESULT PhoneBookEntryUnicode(GetSetType gstType, int32_t nIndex, phonebook_entry_unicode_type* pEntry) override;
  HRESULT LastCallDialedDigitsUnicode(GetSetType gstType, last_dialed_digits_unicode_type* pDigits) override;

  // IUISettings_1_5
  HRESULT SortPhonebook(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                        LPWSTR* ppszResult) override;

  // IAFUTSettings
  HRESULT NoDialedDigitsTimeout(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT DialingEndTimeout(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) override;
  HRESULT ToneIndex(GetSetType gstType, AFUTToneIDs toneType, uint8_t* pData) override;
  HRESULT CustomTone(GetSetType gstType, nv_afut_custom_tone_type* pTone) override;
  HRESULT CustomDTMF(GetSetType gstType, nv_afut_custom_dtmf_tone_type* pDtmf) override;

  // IAFUTSettings_1_3
  HRESULT EndCallWink(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) override;

 private:
  // The attached IVexParams1, or null.
  IVexParams1* nv() const { return params_; }

  IUnknown* connection_ = nullptr;
  IVexParams1* params_ = nullptr;
};

}  // namespace vx::utconfig
