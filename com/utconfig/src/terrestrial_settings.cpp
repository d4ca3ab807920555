// ITerrestrialSettings to ITerrestrialSettings_1_5.
#include "settings_table.h"
#include "shapes_basic.h"
#include "shapes_numbers.h"
#include "shapes_records.h"
#include "ut_config.h"

namespace vx::utconfig {

HRESULT CUTConfig::CellularIMSI(GetSetType gstType, int32_t nIndex, cellular_imsi_type* pImsi) {
  return CellularImsiShape(nv(), rows::CellularIMSI, gstType, nIndex, pImsi);
}
HRESULT CUTConfig::CDMAPrefServingSystem(GetSetType gstType, int32_t bCDMA, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                         uint32_t* pulResult, LPWSTR* ppszResult) {
  const Row& row = rows::CDMAPrefServingSystem;
  return EnumShape(nv(), row, bCDMA != 0 ? row.path : row.path2, gstType, nNAM, szSet, ulSet, pulResult, ppszResult);
}
HRESULT CUTConfig::AllowedCellularModes(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                        uint32_t* pulResult, LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::AllowedCellularModes, rows::AllowedCellularModes.path, gstType, nNAM, szSet, ulSet,
                   pulResult, ppszResult);
}
HRESULT CUTConfig::PreferredCellularMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                         uint32_t* pulResult, LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::PreferredCellularMode, rows::PreferredCellularMode.path, gstType, nNAM, szSet, ulSet,
                   pulResult, ppszResult);
}
HRESULT CUTConfig::PreferredMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                 LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::PreferredMode, rows::PreferredMode.path, gstType, nNAM, szSet, ulSet, pulResult,
                   ppszResult);
}
HRESULT CUTConfig::CDMAChannels(GetSetType gstType, int32_t nNAM, cdma_channels_type* pChannels) {
  return CdmaChannelsShape(nv(), rows::CDMAChannels, gstType, nNAM, pChannels);
}
HRESULT CUTConfig::SIDNIDPairs(GetSetType gstType, int32_t nNAM, nv_sid_nid_type* pPairs) {
  return SidNidPairsShape(nv(), rows::SIDNIDPairs, gstType, nNAM, pPairs);
}
HRESULT CUTConfig::ResetSIDNIDList() { return ResetSidNidListAction(nv(), rows::ResetSIDNIDList); }
HRESULT CUTConfig::AmpsMIN(GetSetType gstType, int32_t nIndex, amps_min_type* pMin) {
  return AmpsMinShape(nv(), rows::AmpsMIN, gstType, nIndex, pMin);
}
HRESULT CUTConfig::NAMName(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) {
  return NamNameShape(nv(), rows::NAMName, gstType, nIndex, szSet, ppszResult);
}
HRESULT CUTConfig::AmpsHomeSID(GetSetType gstType, int32_t nIndex, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::AmpsHomeSID, gstType, nIndex, usSet, pusRetrieve);
}
HRESULT CUTConfig::CDMALockSIDList(GetSetType gstType, int32_t bCDMA, int32_t nIndex, lock_sid_list_type* pList) {
  return SidLockShape(nv(), rows::CDMALockSIDList, gstType, bCDMA, nIndex, pList);
}
HRESULT CUTConfig::CDMATermRegistration(GetSetType gstType, int32_t nIndex, term_registration_type* pReg) {
  return TermRegistrationShape(nv(), rows::CDMATermRegistration, gstType, nIndex, pReg);
}
HRESULT CUTConfig::ACCOLC(GetSetType gstType, int32_t nIndex, int32_t bCDMA, uint8_t ucSet, uint8_t* pucRetrieve) {
  return AccolcShape(nv(), rows::ACCOLC, gstType, nIndex, bCDMA, ucSet, pucRetrieve);
}
HRESULT CUTConfig::AMPSAutoReg(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                               LPWSTR* ppszResult) {
  return OptionalEnumShape(nv(), rows::AMPSAutoReg, gstType, nNAM, szSet, ulSet, pulResult, ppszResult);
}
HRESULT CUTConfig::AmpsFirstPagingChannel(GetSetType gstType, int32_t nIndex, uint16_t usSet, uint16_t* pusRetrieve) {
  return OptionalChannelShape(nv(), rows::AmpsFirstPagingChannel, gstType, nIndex, usSet, pusRetrieve);
}
HRESULT CUTConfig::AmpsControlChannels(GetSetType gstType, int32_t nNAM, amps_first_control_channel_type* pChannels) {
  return ControlChannelsShape(nv(), rows::AmpsControlChannels, gstType, nNAM, pChannels);
}
HRESULT CUTConfig::AmpsSendPIN(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::AmpsSendPIN, gstType, nNAM, bSet, pbRetrieve);
}
HRESULT CUTConfig::AmpsAutoPIN(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) {
  return CharRowShape(nv(), rows::AmpsAutoPIN, gstType, nIndex, szSet, ppszResult);
}
HRESULT CUTConfig::AllowUserToModCellPrefs(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::AllowUserToModCellPrefs, gstType, nNAM, bSet, pbRetrieve);
}
HRESULT CUTConfig::CDMA_SMSTimeStampAdjust(GetSetType gstType, int32_t bSet, int32_t nNAM, int32_t* pbRetrieve) {
  const Row& row = rows::CDMA_SMSTimeStampAdjust;
  return NumericFlagShape(nv(), row, nNAM == 1 ? row.path2 : row.path, gstType, nNAM, bSet, pbRetrieve);
}
HRESULT CUTConfig::EVRCEnabled(GetSetType gstType, int32_t nNAM, int32_t bSet, int32_t* pbRetrieve) {
  return NumericFlagShape(nv(), rows::EVRCEnabled, rows::EVRCEnabled.path, gstType, nNAM, bSet, pbRetrieve);
}
HRESULT CUTConfig::EVRCHomePage(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::EVRCHomePage, gstType, nNAM, usSet, pusRetrieve);
}
HRESULT CUTConfig::EVRCHomeOrigination(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::EVRCHomeOrigination, gstType, nNAM, usSet, pusRetrieve);
}
HRESULT CUTConfig::EVRCRoamOrigination(GetSetType gstType, int32_t nNAM, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::EVRCRoamOrigination, gstType, nNAM, usSet, pusRetrieve);
}
HRESULT CUTConfig::CDMA_PacketDataPreferredMode(GetSetType gstType, int32_t nNAM, LPWSTR szSet, uint32_t ulSet,
                                                uint32_t* pulResult, LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::CDMA_PacketDataPreferredMode, rows::CDMA_PacketDataPreferredMode.path, gstType, nNAM,
                   szSet, ulSet, pulResult, ppszResult);
}

}  // namespace vx::utconfig
