// IVexVersion and IVexVersionExt: the UT's identity and versions, most from
// the cached status answers, a few from NV items.
#include <cstdlib>

#include "kmxclient.h"
#include "status_fields.h"
#include "task_text.h"
#include "vex_connection.h"

namespace vx::connect {

namespace {

// The shape of the short text getters: the out pointer checked, the text
// made (or the failure that stands for it), and a 200-byte block filled.
template <class MakeText>
HRESULT shortTextResult(LPWSTR* out, MakeText makeText) {
  if (out == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const Decoded<std::string> decoded = makeText();
    return decoded.ok() ? shortText(decoded.value, out) : decoded.result;
  });
}

// The same for the UT's own texts, whose blocks fit their length.
HRESULT wideTextResult(LPWSTR* out, std::span<const uint8_t> answer) {
  if (out == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const auto decoded = textAnswer(answer);
    return decoded.ok() ? wideText(decoded.value, out) : decoded.result;
  });
}

// One field of the calibration block as text.
template <class Field>
Decoded<std::string> calibrationText(const StatusCache& status, Field field) {
  const auto decoded = calibration(status.answer(status_item::kCalibrationOld),
                                   status.answer(status_item::kCalibrationNew));
  if (!decoded.ok()) return {decoded.result, {}};
  return {S_OK, field(decoded.value)};
}

constexpr const char16_t* kWarrantyDatePath =
    u"NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[";
constexpr const char16_t* kServiceDatePath = u"NV_UI_SERVICE_PROG_DATE.ui_nv_service_prog_date_type.";

}  // namespace

HRESULT CVexConnection::UpdateAllItems() {
  if (!connected()) return VEX_E_LINK_NOT_UP_REFRESH;
  status_.clear();
  std::array<KMXStatusRecord, kCachedStatusItems.size()> records{};
  if (KMXGetStatusData(connection_, static_cast<uint32_t>(records.size()), kCachedStatusItems.data(),
                       records.data()) == 0) {
    return VEX_E_STATUS_REQUEST;
  }
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT result = S_OK;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const auto* bytes = static_cast<const uint8_t*>(records[i].data);
      try {
        if (bytes != nullptr) status_.store(kCachedStatusItems[i], {bytes, records[i].length});
      } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
      }
      std::free(records[i].data);
    }
    return result;
  });
}

HRESULT CVexConnection::readNvValue(const std::u16string& path, UI4* value) {
  NVNodeDataType type = NV_UNKNOWN;
  return ReadNode32BitValue(path.c_str(), &type, value);
}

HRESULT CVexConnection::GetESN(LPWSTR* text) {
  return shortTextResult(text, [&] { return esnText(status_.answer(status_item::kEsn)); });
}

HRESULT CVexConnection::GetCDMAStationClassMark(LPWSTR* text) {
  return shortTextResult(text, [&]() -> Decoded<std::string> {
    UI4 value = 0;
    if (FAILED(readNvValue(u"NV_SCM_I.T_UCHAR", &value))) return {VEX_E_NO_DATA, {}};
    return {S_OK, std::to_string(static_cast<int32_t>(value))};
  });
}

HRESULT CVexConnection::GetGAIProtocolRev(LPWSTR* text) {
  return shortTextResult(text, [&] { return firstByteText(status_.answer(status_item::kGaiProtocolRev)); });
}

HRESULT CVexConnection::GetIS95ProtocolRev(LPWSTR* text) {
  return shortTextResult(text, [&] { return firstByteText(status_.answer(status_item::kIs95ProtocolRev)); });
}

HRESULT CVexConnection::GetUTFirmwareRev(LPWSTR* text) {
  return shortTextResult(text, [&] { return signedWordText(status_.answer(status_item::kFirmwareRev)); });
}

HRESULT CVexConnection::GetUTModel(LPWSTR* text) {
  return shortTextResult(text, [&] { return firstByteText(status_.answer(status_item::kModel)); });
}

HRESULT CVexConnection::GetWarrantyDateCode(LPWSTR* text) {
  return shortTextResult(text, [&]() -> Decoded<std::string> {
    std::string code;
    for (char16_t i = u'0'; i < u'5'; ++i) {
      UI4 value = 0;
      if (FAILED(readNvValue(std::u16string(kWarrantyDatePath) + i + u"]", &value))) return {VEX_E_NO_DATA, {}};
      code += static_cast<char>(value);
    }
    return {S_OK, code};
  });
}

HRESULT CVexConnection::GetGUMVersion(UI2* hardware, UI2* firmware) {
  if (hardware == nullptr || firmware == nullptr) return E_INVALIDARG;
  const auto decoded = gumVersion(status_.answer(status_item::kGumVersion));
  if (!decoded.ok()) return decoded.result;
  *hardware = decoded.value.hardware;
  *firmware = decoded.value.firmware;
  return S_OK;
}

HRESULT CVexConnection::GetDSPFirmwareVersion(LPWSTR* text) {
  return wideTextResult(text, status_.answer(status_item::kDspFirmwareText));
}

HRESULT CVexConnection::GetUTType(UI2* type) {
  if (type == nullptr) return E_INVALIDARG;
  const auto decoded = firstByte(status_.answer(status_item::kUtType));
  if (!decoded.ok()) return decoded.result;
  *type = decoded.value;
  return S_OK;
}

HRESULT CVexConnection::GetSMID(LPWSTR* text) {
  return shortTextResult(text, [&] { return smidText(status_.answer(status_item::kSmid)); });
}

HRESULT CVexConnection::GetServiceProgrammingDate(SYSTEMTIME* date) {
  if (date == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    static constexpr const char16_t* kFields[] = {u"Year",   u"Month",  u"DayOfWeek", u"Day",
                                                  u"Hour",   u"Minute", u"Second",    u"Milliseconds"};
    WORD values[8] = {};
    for (std::size_t i = 0; i < 8; ++i) {
      UI4 value = 0;
      if (FAILED(readNvValue(std::u16string(kServiceDatePath) + kFields[i], &value))) return VEX_E_NO_DATA;
      values[i] = static_cast<WORD>(value);
    }
    *date = SYSTEMTIME{values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7]};
    return S_OK;
  });
}

HRESULT CVexConnection::GetCalBlockFormatVer(LPWSTR* text) {
  return shortTextResult(text,
                         [&] { return calibrationFormatText(status_.answer(status_item::kCalibrationOld)); });
}

HRESULT CVexConnection::GetCalBlockStationCodeVer(LPWSTR* text) {
  return shortTextResult(text, [&] {
    return calibrationText(status_, [](const Calibration& c) { return dottedText(c.stationCodeVersion); });
  });
}

HRESULT CVexConnection::GetCalDate(UI2* month, UI2* day, UI2* year) {
  if (month == nullptr || day == nullptr || year == nullptr) return E_INVALIDARG;
  const auto decoded = calibration(status_.answer(status_item::kCalibrationOld),
                                   status_.answer(status_item::kCalibrationNew));
  if (!decoded.ok()) return decoded.result;
  *month = decoded.value.month;
  *day = decoded.value.day;
  *year = decoded.value.year;
  return S_OK;
}

HRESULT CVexConnection::GetCalTestStation(LPWSTR* text) {
  return shortTextResult(text, [&] {
    return calibrationText(status_, [](const Calibration& c) { return std::to_string(c.testStation); });
  });
}

HRESULT CVexConnection::GetManufacturerCode(LPWSTR* text) {
  return shortTextResult(text, [&] {
    return calibrationText(status_, [](const Calibration& c) { return dottedText(c.manufacturerCode); });
  });
}

HRESULT CVexConnection::GetUTVersionStr(LPWSTR* text) {
  return wideTextResult(text, status_.answer(status_item::kVersionText));
}

HRESULT CVexConnection::GetUTMainModel(UTMainModel* model) {
  if (model == nullptr) return E_INVALIDARG;
  *model = mainModel(status_.answer(status_item::kModel));
  return S_OK;
}

HRESULT CVexConnection::GetCalBlockVersion(LPWSTR* text) {
  return shortTextResult(text,
                         [&] { return calibrationVersionText(status_.answer(status_item::kCalibrationNew)); });
}

}  // namespace vx::connect
