// General settings: sleep timers, lock and maintenance orders, codes,
// emergency numbers, and the data services rate.
#include <array>

#include "dialled_number.h"
#include "member_shapes.h"
#include "member_table.h"

namespace vx::script {
namespace {

using namespace shapes;

// --- emergency numbers: sPosition 1..10 ----------------------------------------------------------

constexpr Range kEmergencyPosition{1, 10};

template <auto Method, bool RefusesModule>
HRESULT getEmergencyNumber(ScriptObject& object, const Args& args, Value& result) {
  const int32_t position = args.i32(0);
  if (!kEmergencyPosition.holds(position)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    emergency_pnumber_type number{};
    HRESULT hr = (settings.*Method)(GET_PARAM, position - 1, &number);
    // The digits only: `international` says what a leading '+' would.
    if (SUCCEEDED(hr)) result = numberText(number.digits, number.digits_index, false);
    return hr;
  });
}

template <auto Method, bool RefusesModule>
HRESULT putEmergencyNumber(ScriptObject& object, const Args& args, Value&) {
  const int32_t position = args.i32(0);
  const std::u16string_view text = args.text(1);
  if (!kEmergencyPosition.holds(position) || !isDialledNumber(text)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    emergency_pnumber_type number = toNumberRecord(text);
    return (settings.*Method)(SET_PARAM, position - 1, &number);
  });
}

// --- sleep times: the UT keeps seconds, scripts speak minutes -------------------------------------

template <auto Method>
HRESULT getMinutes(ScriptObject& object, const Args&, Value& result) {
  return object.settings<InterfaceOf<Method>>(AnyUt, [&](auto& settings) {
    uint32_t seconds = 0;
    HRESULT hr = (settings.*Method)(GET_PARAM, 0, &seconds);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(seconds / 60);
    return hr;
  });
}

template <auto Method>
HRESULT putMinutes(ScriptObject& object, const Args& args, Value&) {
  const int32_t minutes = args.i32(0);
  if (minutes != 0 && (minutes < 5 || minutes > 60)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(AnyUt, [&](auto& settings) {
    return (settings.*Method)(SET_PARAM, static_cast<uint32_t>(minutes) * 60, nullptr);
  });
}

// --- order and reason pairs -----------------------------------------------------------------------

template <auto Method>
HRESULT clearScalar(ScriptObject& object, const Args&, Value&) {
  return object.settings<InterfaceOf<Method>>(AnyUt,
                                              [&](auto& settings) { return (settings.*Method)(SET_PARAM, 0, nullptr); });
}

template <auto Method, bool First>
HRESULT getOrderReason(ScriptObject& object, const Args&, Value& result) {
  return object.settings<IGeneralSettings>(AnyUt, [&](IGeneralSettings& settings) {
    uint8_t order = 0;
    uint8_t reason = 0;
    HRESULT hr = (settings.*Method)(GET_PARAM, &order, &reason);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(First ? order : reason);
    return hr;
  });
}

template <auto Method>
HRESULT clearOrderReason(ScriptObject& object, const Args&, Value&) {
  return object.settings<IGeneralSettings>(AnyUt, [&](IGeneralSettings& settings) {
    uint8_t order = 0;
    uint8_t reason = 0;
    return (settings.*Method)(SET_PARAM, &order, &reason);
  });
}

// --- the data services rate: an enum by member name --------------------------------------------------

constexpr std::array<int32_t, 5> kDataRates{9600, 19200, 38400, 57600, 115200};

std::u16string rateMemberName(int32_t rate) { return u"BAUDRATE_" + vx::com::Utf8ToUtf16(std::to_string(rate)); }

HRESULT getDataServicesBaudRate(ScriptObject& object, const Args&, Value& result) {
  std::u16string name;
  HRESULT hr = object.settings<IGeneralSettings_1_2>(AnyUt, [&](IGeneralSettings_1_2& settings) {
    uint32_t number = 0;
    LPWSTR text = nullptr;
    HRESULT got = settings.DataServicesBaudRate(GET_PARAM, nullptr, 0, &number, &text);
    name = takeText(text);
    return got;
  });
  if (FAILED(hr)) return hr;
  for (int32_t rate : kDataRates) {
    if (name == rateMemberName(rate)) {
      result = rate;
      return S_OK;
    }
  }
  return object.report(Message::UnexpectedMember, UTC_E_UNEXPECTED_MEMBER);
}

HRESULT putDataServicesBaudRate(ScriptObject& object, const Args& args, Value&) {
  const int32_t rate = args.i32(0);
  if (std::find(kDataRates.begin(), kDataRates.end(), rate) == kDataRates.end()) return E_INVALIDARG;
  std::u16string name = rateMemberName(rate);
  return object.settings<IGeneralSettings_1_2>(AnyUt, [&](IGeneralSettings_1_2& settings) {
    return settings.DataServicesBaudRate(SET_PARAM, name.data(), 0, nullptr, nullptr);
  });
}

HRESULT incrementWdc(ScriptObject& object, const Args&, Value&) {
  return object.settings<IGeneralSettings_1_1>(AnyUt, [](IGeneralSettings_1_1& settings) {
    return settings.IncrementWDC();
  });
}

}  // namespace

void addGeneralMembers(MemberRows& rows) {
  using G = IGeneralSettings;
  addProperty(rows, "SPEmergencyNumber", "n", "sPosition", 's', &getEmergencyNumber<&G::SPEmergencyNumber, M>,
              &putEmergencyNumber<&G::SPEmergencyNumber, M>);
  addProperty(rows, "NoServiceTimeUntilSleep", "", "", 'i', &getMinutes<&G::NoServiceTimeUntilSleep>,
              &putMinutes<&G::NoServiceTimeUntilSleep>);
  addProperty(rows, "DeepSleepDuration", "", "", 'i', &getMinutes<&G::DeepSleepDuration>,
              &putMinutes<&G::DeepSleepDuration>);
  addProperty(rows, "SleepServiceScanInterval", "", "", 'i',
              &getScalar<&IGeneralSettings_1_2::SleepServiceScanInterval, AnyUt>,
              &putScalar<&IGeneralSettings_1_2::SleepServiceScanInterval, AnyUt>);
  addProperty(rows, "OB_LockOrderReason", "", "", 'i', &getScalar<&G::OBLockOrderReason, AnyUt>, nullptr);
  addMethod(rows, "Clear_OB_LockOrderReason", "", "", "", &clearScalar<&G::OBLockOrderReason>);
  addProperty(rows, "OB_MaintenanceOrderReason", "", "", 'i', &getScalar<&G::OBMaintOrderReason, AnyUt>, nullptr);
  addMethod(rows, "Clear_OB_MaintenanceOrderReason", "", "", "", &clearScalar<&G::OBMaintOrderReason>);
  addProperty(rows, "CDMA_LockOrder", "", "", 'i', &getOrderReason<&G::CDMALockOrderReason, true>, nullptr);
  addProperty(rows, "CDMA_LockReason", "", "", 'i', &getOrderReason<&G::CDMALockOrderReason, false>, nullptr);
  addMethod(rows, "Clear_CDMA_LockOrderReason", "", "", "", &clearOrderReason<&G::CDMALockOrderReason>);
  addProperty(rows, "CDMA_MaintenanceOrder", "", "", 'i', &getOrderReason<&G::CDMAMaintOrderReason, true>, nullptr);
  addProperty(rows, "CDMA_MaintenanceReason", "", "", 'i', &getOrderReason<&G::CDMAMaintOrderReason, false>,
              nullptr);
  addMethod(rows, "Clear_CDMA_MaintenanceOrderReason", "", "", "", &clearOrderReason<&G::CDMAMaintOrderReason>);
  addProperty(rows, "CDMA_SlotCycleIndex", "", "", 'i', &getScalar<&G::CDMASlotCycleIndex, AnyUt>,
              &putScalar<&G::CDMASlotCycleIndex, AnyUt>);
  addProperty(rows, "DataServicesBaudRate", "", "", 'i', &getDataServicesBaudRate, &putDataServicesBaudRate);
  addProperty(rows, "CurrentNAM", "", "", 'i', &getScalar<&G::CurrentNAM, AnyUt>, &putScalar<&G::CurrentNAM, AnyUt>);
  addProperty(rows, "AutoNAM", "", "", 'i', &getScalar<&G::AutoNAM, AnyUt>, &putScalar<&G::AutoNAM, AnyUt>);
  addProperty(rows, "FieldServiceHiddenCode", "", "", 's', &getCode<&G::FieldServiceHiddenCode, M>,
              &putCode<&G::FieldServiceHiddenCode, M>);
  addProperty(rows, "UserLockCode", "", "", 's', &getCode<&G::UserLockCode, M>, &putCode<&G::UserLockCode, M>);
  addProperty(rows, "SystemHiddenMenuCode", "", "", 's', &getCode<&G::SystemHiddenMenuCode, M>,
              &putCode<&G::SystemHiddenMenuCode, M>);
  addProperty(rows, "LockMode", "", "", 'i', &getEnum<&G::LockMode, M>, &putEnum<&G::LockMode, M, Range{4, 6}>);
  addProperty(rows, "RestrictUT", "", "", 'i', &getScalar<&G::RestrictUT, M>, &putScalar<&G::RestrictUT, M>);
  addProperty(rows, "ServiceAlert", "", "", 'i', &getScalar<&G::ServiceAlert, M>, &putScalar<&G::ServiceAlert, M>);
  addProperty(rows, "CallFade", "", "", 'i', &getScalar<&G::CallFade, M>, &putScalar<&G::CallFade, M>);
  addProperty(rows, "MinuteAlert", "", "", 'i', &getScalar<&G::MinuteAlert, M>, &putScalar<&G::MinuteAlert, M>);
  addProperty(rows, "UserEmergencyNumber", "n", "sPosition", 's', &getEmergencyNumber<&G::UserEmergencyNumber, AnyUt>,
              &putEmergencyNumber<&G::UserEmergencyNumber, M>);
  addMethod(rows, "IncrementWDCSwapCount", "", "", "", &incrementWdc);
  addProperty(rows, "OB_SlotCycleIndex", "", "", 'i', &getScalar<&IGeneralSettings_1_3::OrbitnetSlotCycleIndex, AnyUt>,
              &putScalar<&IGeneralSettings_1_3::OrbitnetSlotCycleIndex, AnyUt>);
  addProperty(rows, "OB_SlottedMode", "", "", 'i', &getScalar<&IGeneralSettings_1_3::OrbitnetSlottedMode, AnyUt>,
              &putScalar<&IGeneralSettings_1_3::OrbitnetSlottedMode, AnyUt>);
  addProperty(rows, "NewMessageAlert", "", "", 'i', &getEnum<&IGeneralSettings_1_4::SMSMessageAlert, M>,
              &putEnum<&IGeneralSettings_1_4::SMSMessageAlert, M, Range{4, 6}>);
}

}  // namespace vx::script
