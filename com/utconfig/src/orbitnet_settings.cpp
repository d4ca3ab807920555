// IOrbitnetSettings and IOrbitnetSettings_1_5.
#include "settings_table.h"
#include "shapes_basic.h"
#include "shapes_numbers.h"
#include "shapes_records.h"
#include "ut_config.h"

namespace vx::utconfig {

HRESULT CUTConfig::DirectoryNumber(GetSetType gstType, int32_t nIndex, LPWSTR szSet, LPWSTR* ppszResult) {
  return DirectoryNumberShape(nv(), rows::DirectoryNumber, gstType, nIndex, szSet, ppszResult);
}
HRESULT CUTConfig::OBIMSI(GetSetType gstType, orbitnet_imsi_type* pImsi) {
  return SatelliteImsiShape(nv(), rows::OBIMSI, gstType, pImsi);
}
HRESULT CUTConfig::LossOfCoverageTimer(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::LossOfCoverageTimer, gstType, 0, usSet, pusRetrieve);
}
HRESULT CUTConfig::LastGWRegistration(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) {
  return ScalarShape(nv(), rows::LastGWRegistration, gstType, 0, ulSet, pulRetrieve);
}
HRESULT CUTConfig::LastSPRegistration(GetSetType gstType, last_sp_reg_type* pReg) {
  return SpRegistrationShape(nv(), rows::LastSPRegistration, gstType, pReg);
}
HRESULT CUTConfig::HomeGatewayInfo(GetSetType gstType, int16_t* psChannel, int32_t* plGateway) {
  return HomeGatewayShape(nv(), rows::HomeGatewayInfo, gstType, psChannel, plGateway);
}
HRESULT CUTConfig::HomeSP(GetSetType gstType, last_sp_reg_type* pSp) {
  return HomeSpShape(nv(), rows::HomeSP, gstType, pSp);
}
HRESULT CUTConfig::OBACCOLC(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::OBACCOLC, gstType, 0, usSet, pusRetrieve);
}
HRESULT CUTConfig::ACList(GetSetType gstType, aclist_type* pList) {
  return ChannelListShape(nv(), rows::ACList, gstType, pList);
}
HRESULT CUTConfig::OB_SMSTimeStampAdjust(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) {
  return NumericFlagShape(nv(), rows::OB_SMSTimeStampAdjust, rows::OB_SMSTimeStampAdjust.path, gstType, 0, bSet,
                          pbRetrieve);
}
HRESULT CUTConfig::OB_PacketDataPreferredMode(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                              LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::OB_PacketDataPreferredMode, rows::OB_PacketDataPreferredMode.path, gstType, 0, szSet,
                   ulSet, pulResult, ppszResult);
}

}  // namespace vx::utconfig
