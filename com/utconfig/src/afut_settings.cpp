// IAFUTSettings and IAFUTSettings_1_3.
#include "settings_table.h"
#include "shapes_basic.h"
#include "shapes_records.h"
#include "ut_config.h"

namespace vx::utconfig {

HRESULT CUTConfig::NoDialedDigitsTimeout(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::NoDialedDigitsTimeout, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::DialingEndTimeout(GetSetType gstType, uint8_t ucSet, uint8_t* pucRetrieve) {
  return ScalarShape(nv(), rows::DialingEndTimeout, gstType, 0, ucSet, pucRetrieve);
}
HRESULT CUTConfig::ToneIndex(GetSetType gstType, AFUTToneIDs toneType, uint8_t* pData) {
  return ToneIndexShape(nv(), rows::ToneIndex, gstType, toneType, pData);
}
HRESULT CUTConfig::CustomTone(GetSetType gstType, nv_afut_custom_tone_type* pTone) {
  return CustomToneShape(nv(), rows::CustomTone, gstType, pTone);
}
HRESULT CUTConfig::CustomDTMF(GetSetType gstType, nv_afut_custom_dtmf_tone_type* pDtmf) {
  return CustomDtmfShape(nv(), rows::CustomDTMF, gstType, pDtmf);
}
HRESULT CUTConfig::EndCallWink(GetSetType gstType, uint16_t usSet, uint16_t* pusRetrieve) {
  return ScalarShape(nv(), rows::EndCallWink, gstType, 0, usSet, pusRetrieve);
}

}  // namespace vx::utconfig
