// The UT's identity and versions, read through the connection object's
// version interface with its refresh-and-retry rule.
#include <cstring>

#include "member_shapes.h"
#include "member_table.h"

namespace vx::script {
namespace {

using shapes::takeText;

template <auto Getter>
HRESULT getVersionText(ScriptObject& object, const Args&, Value& result) {
  return object.version([&](IVexVersionExt& version) {
    LPWSTR text = nullptr;
    HRESULT hr = (version.*Getter)(&text);
    std::u16string value = takeText(text);
    if (SUCCEEDED(hr)) result = std::move(value);
    return hr;
  });
}

template <bool Hardware>
HRESULT getGumVersion(ScriptObject& object, const Args&, Value& result) {
  return object.version([&](IVexVersionExt& version) {
    UI2 hardware = 0;
    UI2 firmware = 0;
    HRESULT hr = version.GetGUMVersion(&hardware, &firmware);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(Hardware ? hardware : firmware);
    return hr;
  });
}

HRESULT getUtType(ScriptObject& object, const Args&, Value& result) {
  return object.version([&](IVexVersionExt& version) {
    UI2 type = 0;
    HRESULT hr = version.GetUTType(&type);
    if (SUCCEEDED(hr)) result = static_cast<int16_t>(type);
    return hr;
  });
}

HRESULT getServiceProgrammingDate(ScriptObject& object, const Args&, Value& result) {
  return object.version([&](IVexVersionExt& version) {
    SYSTEMTIME time{};
    HRESULT hr = version.GetServiceProgrammingDate(&time);
    if (FAILED(hr)) return hr;
    // A UT that was never programmed holds an all-zero time.
    DATE date = 0;
    const SYSTEMTIME zero{};
    if (std::memcmp(&time, &zero, sizeof time) != 0 && !SystemTimeToVariantTime(&time, &date)) date = 0;
    result = date;
    return hr;
  });
}

HRESULT getCalibrationDate(ScriptObject& object, const Args&, Value& result) {
  return object.version([&](IVexVersionExt& version) {
    UI2 month = 0;
    UI2 day = 0;
    UI2 year = 0;
    HRESULT hr = version.GetCalDate(&month, &day, &year);
    if (FAILED(hr)) return hr;
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    DATE date = 0;
    if (!SystemTimeToVariantTime(&time, &date)) date = 0;
    result = date;
    return hr;
  });
}

// The newer calibration block layout first; a UT of the older layout
// answers with its format version.
HRESULT getCalBlockVersion(ScriptObject& object, const Args& args, Value& result) {
  HRESULT hr = getVersionText<&IVexVersionExt::GetCalBlockVersion>(object, args, result);
  if (FAILED(hr) && hr != VEX_E_NO_DATA) {
    object.clearError();
    hr = getVersionText<&IVexVersion::GetCalBlockFormatVer>(object, args, result);
  }
  return hr;
}

}  // namespace

void addIdentityMembers(MemberRows& rows) {
  addProperty(rows, "ESN", "", "", 's', &getVersionText<&IVexVersion::GetESN>, nullptr);
  addProperty(rows, "ManufacturersCode", "", "", 's', &getVersionText<&IVexVersion::GetManufacturerCode>, nullptr);
  addProperty(rows, "CDMA_SCM", "", "", 's', &getVersionText<&IVexVersion::GetCDMAStationClassMark>, nullptr);
  addProperty(rows, "GAIProtocolRev", "", "", 's', &getVersionText<&IVexVersion::GetGAIProtocolRev>, nullptr);
  addProperty(rows, "IS95ProtocolRev", "", "", 's', &getVersionText<&IVexVersion::GetIS95ProtocolRev>, nullptr);
  addProperty(rows, "UTVersion", "", "", 's', &getVersionText<&IVexVersion::GetUTVersionStr>, nullptr);
  addProperty(rows, "UTModel", "", "", 's', &getVersionText<&IVexVersion::GetUTModel>, nullptr);
  addProperty(rows, "WarrantyDateCode", "", "", 's', &getVersionText<&IVexVersion::GetWarrantyDateCode>, nullptr);
  addProperty(rows, "GUMHardwareVersion", "", "", 'i', &getGumVersion<true>, nullptr);
  addProperty(rows, "GUMSoftwareVersion", "", "", 'i', &getGumVersion<false>, nullptr);
  addProperty(rows, "DSPFirmwareVersion", "", "", 's', &getVersionText<&IVexVersion::GetDSPFirmwareVersion>, nullptr);
  addProperty(rows, "SMID", "", "", 's', &getVersionText<&IVexVersion::GetSMID>, nullptr);
  addProperty(rows, "UTType", "", "", 'n', &getUtType, nullptr);
  addProperty(rows, "ServiceProgrammingDate", "", "", 'd', &getServiceProgrammingDate, nullptr);
  addProperty(rows, "CalBlockVersion", "", "", 's', &getCalBlockVersion, nullptr);
  addProperty(rows, "CalStationCodeVersion", "", "", 's', &getVersionText<&IVexVersion::GetCalBlockStationCodeVer>,
              nullptr);
  addProperty(rows, "CalibrationDate", "", "", 'd', &getCalibrationDate, nullptr);
  addProperty(rows, "CalTestStation", "", "", 's', &getVersionText<&IVexVersion::GetCalTestStation>, nullptr);
}

}  // namespace vx::script
