// IUISettings to IUISettings_1_5.
#include "settings_table.h"
#include "shapes_basic.h"
#include "shapes_numbers.h"
#include "shapes_records.h"
#include "ut_config.h"

namespace vx::utconfig {

namespace {
HRESULT uiEnum(IVexParams1* params, const Row& row, GetSetType gstType, LPWSTR szSet, uint32_t ulSet,
               uint32_t* pulResult, LPWSTR* ppszResult) {
  return EnumShape(params, row, row.path, gstType, 0, szSet, ulSet, pulResult, ppszResult);
}
}  // namespace

HRESULT CUTConfig::IsValidPB(int32_t* pbIsValid) { return ReadProbeShape(nv(), rows::IsValidPB, 1, pbIsValid); }
HRESULT CUTConfig::AutoAnswer(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::AutoAnswer, g, s, u, pu, ps);
}
HRESULT CUTConfig::EarPieceVolume(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::EarPieceVolume, g, s, u, pu, ps);
}
HRESULT CUTConfig::KeyBeepVolume(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::KeyBeepVolume, g, s, u, pu, ps);
}
HRESULT CUTConfig::RingerVolume(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::RingerVolume, g, s, u, pu, ps);
}
HRESULT CUTConfig::CarkitHandset(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::CarkitHandset, g, s, u, pu, ps);
}
HRESULT CUTConfig::CarkitHandsfree(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::CarkitHandsfree, g, s, u, pu, ps);
}
HRESULT CUTConfig::RingerType(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::RingerType, g, s, u, pu, ps);
}
HRESULT CUTConfig::KeyBeepSound(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::KeyBeepSound, g, s, u, pu, ps);
}
HRESULT CUTConfig::KeyBeepLength(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::KeyBeepLength, g, s, u, pu, ps);
}
HRESULT CUTConfig::OneTouchDial(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::OneTouchDial, g, s, u, pu, ps);
}
HRESULT CUTConfig::AnyKeyAnswer(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::AnyKeyAnswer, gstType, 0, bSet, pbRetrieve);
}
HRESULT CUTConfig::AutoRetry(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::AutoRetry, g, s, u, pu, ps);
}
HRESULT CUTConfig::Timezone(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::Timezone, gstType, 0, usSet, pusRetrieve);
}
HRESULT CUTConfig::ShowTime(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::ShowTime, g, s, u, pu, ps);
}
HRESULT CUTConfig::Backlight(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::Backlight, g, s, u, pu, ps);
}
HRESULT CUTConfig::AutoHyphen(GetSetType gstType, int32_t bSet, int32_t* pbRetrieve) {
  return EnumFlagShape(nv(), rows::AutoHyphen, gstType, 0, bSet, pbRetrieve);
}
HRESULT CUTConfig::Banner(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) {
  return CharRowShape(nv(), rows::Banner, gstType, 0, szSet, ppszResult);
}
HRESULT CUTConfig::SplashBanner(GetSetType gstType, LPWSTR szSet, LPWSTR* ppszResult) {
  return CharRowShape(nv(), rows::SplashBanner, gstType, 0, szSet, ppszResult);
}
HRESULT CUTConfig::PhoneBookEntry(GetSetType gstType, int32_t nIndex, phonebook_entry_type* pEntry) {
  return PhoneBookShape(nv(), rows::PhoneBookEntry, gstType, nIndex, pEntry);
}
HRESULT CUTConfig::AllCallsTime(GetSetType gstType, nv_calltime_type* pTime) {
  return CallTimeShape(nv(), rows::AllCallsTime, gstType, pTime);
}
HRESULT CUTConfig::AllCallsCount(GetSetType gstType, uint32_t* pulCount) {
  return CallCountShape(nv(), rows::AllCallsCount, gstType, pulCount);
}
HRESULT CUTConfig::HomeCallsTime(GetSetType gstType, nv_calltime_type* pTime) {
  return CallTimeShape(nv(), rows::HomeCallsTime, gstType, pTime);
}
HRESULT CUTConfig::HomeCallsCount(GetSetType gstType, uint32_t* pulCount) {
  return CallCountShape(nv(), rows::HomeCallsCount, gstType, pulCount);
}
HRESULT CUTConfig::RoamCallsTime(GetSetType gstType, nv_calltime_type* pTime) {
  return CallTimeShape(nv(), rows::RoamCallsTime, gstType, pTime);
}
HRESULT CUTConfig::RoamCallsCount(GetSetType gstType, uint32_t* pulCount) {
  return CallCountShape(nv(), rows::RoamCallsCount, gstType, pulCount);
}
HRESULT CUTConfig::RecentCallsTime(GetSetType gstType, nv_calltime_type* pTime) {
  return CallTimeShape(nv(), rows::RecentCallsTime, gstType, pTime);
}
HRESULT CUTConfig::RecentCallsCount(GetSetType gstType, uint32_t* pulCount) {
  return CallCountShape(nv(), rows::RecentCallsCount, gstType, pulCount);
}
HRESULT CUTConfig::LastCallTime(GetSetType gstType, nv_calltime_type* pTime) {
  return CallTimeShape(nv(), rows::LastCallTime, gstType, pTime);
}
HRESULT CUTConfig::Language(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::Language, g, s, u, pu, ps);
}
HRESULT CUTConfig::LastCallDialedDigits(GetSetType gstType, last_dialed_digits_type* pDigits) {
  return LastDialedShape(nv(), rows::LastCallDialedDigits, gstType, pDigits);
}
HRESULT CUTConfig::DataCallsTime(GetSetType gstType, nv_calltime_type* pTime) {
  return CallTimeShape(nv(), rows::DataCallsTime, gstType, pTime);
}
HRESULT CUTConfig::DataCallsRXCount(GetSetType gstType, uint32_t* pulCount) {
  return CallCountShape(nv(), rows::DataCallsRXCount, gstType, pulCount);
}
HRESULT CUTConfig::DataCallsTXCount(GetSetType gstType, uint32_t* pulCount) {
  return CallCountShape(nv(), rows::DataCallsTXCount, gstType, pulCount);
}
HRESULT CUTConfig::IsLanguage(int16_t* szLanguage, int32_t* bResult) {
  return IsLanguageShape(nv(), rows::IsLanguage, szLanguage, bResult);
}
HRESULT CUTConfig::IsPhoneUnicode(int32_t* pbResult) { return ReadProbeShape(nv(), rows::IsPhoneUnicode, 0, pbResult); }
HRESULT CUTConfig::PhoneBookEntryUnicode(GetSetType gstType, int32_t nIndex, phonebook_entry_unicode_type* pEntry) {
  return PhoneBookShape(nv(), rows::PhoneBookEntryUnicode, gstType, nIndex, pEntry);
}
HRESULT CUTConfig::LastCallDialedDigitsUnicode(GetSetType gstType, last_dialed_digits_unicode_type* pDigits) {
  return LastDialedShape(nv(), rows::LastCallDialedDigitsUnicode, gstType, pDigits);
}
HRESULT CUTConfig::SortPhonebook(GetSetType g, LPWSTR s, uint32_t u, uint32_t* pu, LPWSTR* ps) {
  return uiEnum(nv(), rows::SortPhonebook, g, s, u, pu, ps);
}

}  // namespace vx::utconfig
