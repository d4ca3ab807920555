// IGeneralSettings to IGeneralSettings_1_4.
#include "settings_table.h"
#include "shapes_basic.h"
#include "shapes_numbers.h"
#include "shapes_records.h"
#include "ut_config.h"

namespace vx::utconfig {

HRESULT CUTConfig::AutoNAM(GetSetType gstType, int32_t lSet, int32_t* plRetrieve) {
  return ScalarShape(nv(), rows::AutoNAM, gstType, 0, lSet, plRetrieve);
}
HRESULT CUTConfig::NoServiceTimeUntilSleep(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) {
  return ScalarShape(nv(), rows::NoServiceTimeUntilSleep, gstType, 0, ulSet, pulRetrieve);
}
HRESULT CUTConfig::SetServiceProgDateAsCurrent() { return ProgDateNowAction(nv(), rows::SetServiceProgDateAsCurrent); }
HRESULT CUTConfig::DeepSleepDuration(GetSetType gstType, uint32_t ulSet, uint32_t* pulRetrieve) {
  return ScalarShape(nv(), rows::DeepSleepDuration, gstType, 0, ulSet, pulRetrieve);
}
HRESULT CUTConfig::CurrentNAM(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::CurrentNAM, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::CDMASlotCycleIndex(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::CDMASlotCycleIndex, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::SPEmergencyNumber(GetSetType gstType, int32_t nIndex, emergency_pnumber_type* pNumber) {
  return DigitListShape(nv(), rows::SPEmergencyNumber, gstType, nIndex, pNumber);
}
HRESULT CUTConfig::UserEmergencyNumber(GetSetType gstType, int32_t nIndex, emergency_pnumber_type* pNumber) {
  return DigitListShape(nv(), rows::UserEmergencyNumber, gstType, nIndex, pNumber);
}
HRESULT CUTConfig::OBLockOrderReason(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::OBLockOrderReason, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::OBMaintOrderReason(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::OBMaintOrderReason, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::CDMALockOrderReason(GetSetType gstType, uint8_t* pucLockOrder, uint8_t* pucLockReason) {
  return OrderReasonShape(nv(), rows::CDMALockOrderReason, gstType, pucLockOrder, pucLockReason);
}
HRESULT CUTConfig::CDMAMaintOrderReason(GetSetType gstType, uint8_t* pucMaintOrder, uint8_t* pucMaintReason) {
  return OrderReasonShape(nv(), rows::CDMAMaintOrderReason, gstType, pucMaintOrder, pucMaintReason);
}
HRESULT CUTConfig::ServiceAlert(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::ServiceAlert, gstType, 0, bSet, pbRetrieve);
}
HRESULT CUTConfig::CallFade(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::CallFade, gstType, 0, bSet, pbRetrieve);
}
HRESULT CUTConfig::MinuteAlert(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::MinuteAlert, gstType, 0, bSet, pbRetrieve);
}
HRESULT CUTConfig::RestrictUT(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::RestrictUT, gstType, 0, bSet, pbRetrieve);
}
HRESULT CUTConfig::LockMode(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::LockMode, rows::LockMode.path, gstType, 0, szSet, ulSet, pulResult, ppszResult);
}
HRESULT CUTConfig::FieldServiceHiddenCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) {
  return CharRowShape(nv(), rows::FieldServiceHiddenCode, gstType, 0, szSet, ppszResult);
}
HRESULT CUTConfig::UserLockCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) {
  return CharRowShape(nv(), rows::UserLockCode, gstType, 0, szSet, ppszResult);
}
HRESULT CUTConfig::SystemHiddenMenuCode(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) {
  return CharRowShape(nv(), rows::SystemHiddenMenuCode, gstType, 0, szSet, ppszResult);
}
HRESULT CUTConfig::KnownSPEntry(GetSetType gstType, int32_t nIndex, knownsp_entry_type* pEntry) {
  return SpEntryShape(nv(), rows::KnownSPEntry, gstType, nIndex, pEntry);
}
HRESULT CUTConfig::TransmitDisable(GetSetType gstType, int32_t lSet, int32_t* plRetrieve) {
  return ScalarShape(nv(), rows::TransmitDisable, gstType, 0, lSet, plRetrieve);
}
HRESULT CUTConfig::IncrementWDC() { return IncrementWdcAction(nv(), rows::IncrementWDC); }
HRESULT CUTConfig::SleepServiceScanInterval(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::SleepServiceScanInterval, gstType, 0, usSet, pusRetrieve);
}
HRESULT CUTConfig::DataServicesBaudRate(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                        LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::DataServicesBaudRate, rows::DataServicesBaudRate.path, gstType, 0, szSet, ulSet,
                   pulResult, ppszResult);
}
HRESULT CUTConfig::OrbitnetSlotCycleIndex(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::OrbitnetSlotCycleIndex, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::OrbitnetSlottedMode(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::OrbitnetSlottedMode, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::KnownSPEntryUnicode(GetSetType gstType, int32_t nIndex, knownsp_entry_unicode_type* pEntry) {
  return SpEntryShape(nv(), rows::KnownSPEntryUnicode, gstType, nIndex, pEntry);
}
HRESULT CUTConfig::SMSMessageAlert(GetSetType gstType, LPWSTR szSet, uint32_t ulSet, uint32_t* pulResult,
                                   LPWSTR* ppszResult) {
  return EnumShape(nv(), rows::SMSMessageAlert, rows::SMSMessageAlert.path, gstType, 0, szSet, ulSet, pulResult,
                   ppszResult);
}

}  // namespace vx::utconfig
