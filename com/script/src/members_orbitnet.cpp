// Satellite settings: the acquisition channels, the known service provider
// table, the satellite IMSI and access class, the directory numbers, the
// home gateway and service provider, the last registrations, and the two
// settings that pair a satellite NAM with the cellular ones.
#include <algorithm>

#include "dialled_number.h"
#include "member_shapes.h"
#include "member_table.h"

namespace vx::script {
namespace {

using namespace shapes;
using O = IOrbitnetSettings;
using SpTable = IGeneralSettings_1_3;

// --- code fields: MCC, MNC and MSIN as the UT's digit records hold them -------------------------

bool isDecimal(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// MCC and MNC: 1 to 3 decimal digits.
bool isCountryOrNetworkCode(std::u16string_view code) {
  return !code.empty() && code.size() <= 3 && isDecimal(code);
}

// A code into its fixed field; the unused positions are blanks (spaces).
// Service provider codes sit at the left, as the UT shows them; the
// satellite IMSI's fields are right-aligned.
template <std::size_t N>
void putCodeField(char (&field)[N], std::u16string_view code, bool rightAligned) {
  std::fill_n(field, N, ' ');
  code = code.substr(0, N);
  const std::size_t first = rightAligned ? N - code.size() : 0;
  for (std::size_t i = 0; i < code.size(); ++i) field[first + i] = static_cast<char>(code[i]);
}

// A field back as text, without its blank positions, so that it can be
// given back to the setter as it stands.
template <std::size_t N>
std::u16string codeFieldText(const char (&field)[N]) {
  std::u16string text;
  for (char c : field) text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  const auto blank = [](char16_t c) { return c == u' ' || c == 0; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

// --- acquisition channel list: sIndex 1..13 ------------------------------------------------------

constexpr Range kChannelListIndex{1, 13};
constexpr Range kSatelliteChannel{1, 124};

HRESULT getAcquisitionChannel(ScriptObject& object, const Args& args, Value& result) {
  const int32_t index = args.i32(0);
  if (!kChannelListIndex.holds(index)) return E_INVALIDARG;
  return object.settings<O>(AnyUt, [&](O& settings) {
    aclist_type list{};
    HRESULT hr = settings.ACList(GET_PARAM, &list);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(list.acl[index - 1]);
    return hr;
  });
}

// The UT keeps the list as one record: the other channels are written back
// as they were read.
HRESULT putAcquisitionChannel(ScriptObject& object, const Args& args, Value&) {
  const int32_t index = args.i32(0);
  const int32_t channel = args.i32(1);
  if (!kChannelListIndex.holds(index) || !kSatelliteChannel.holds(channel)) return E_INVALIDARG;
  return object.settings<O>(AnyUt, [&](O& settings) {
    aclist_type list{};
    HRESULT hr = settings.ACList(GET_PARAM, &list);
    if (FAILED(hr)) return hr;
    list.acl[index - 1] = static_cast<int16_t>(channel);
    return settings.ACList(SET_PARAM, &list);
  });
}

// --- the known service provider table: sPosition 0..66 -------------------------------------------

constexpr Range kSpPosition{0, 66};
constexpr Range kPreferredPosition{-1, 66};
constexpr std::size_t kSpNameUnits = 12;

// A name through the UT character set into the record's units, cut to the
// field and padded with spaces; false on an unmappable character.
bool putSpName(int16_t (&field)[kSpNameUnits], std::u16string_view name, bool unicodeUt) {
  std::optional<std::u16string> codes = encodeUtText(name, unicodeUt);
  if (!codes) return false;
  std::fill_n(field, kSpNameUnits, static_cast<int16_t>(u' '));
  const std::size_t used = std::min(codes->size(), kSpNameUnits);
  for (std::size_t i = 0; i < used; ++i) field[i] = static_cast<int16_t>((*codes)[i]);
  return true;
}

// The name up to its terminator, without the padding.
std::u16string spNameText(const int16_t (&field)[kSpNameUnits], bool unicodeUt) {
  std::u16string codes;
  for (int16_t unit : field) {
    if (unit == 0) break;
    codes.push_back(static_cast<char16_t>(unit));
  }
  while (!codes.empty() && codes.back() == u' ') codes.pop_back();
  return decodeUtText(codes, unicodeUt);
}

// A zero-filled entry with `valid` 0: the configuration object writes the
// unused marks and blank names.
HRESULT writeUnusedSpEntry(SpTable& settings, int32_t position) {
  knownsp_entry_unicode_type entry{};
  entry.ksp_position = position;
  return settings.KnownSPEntryUnicode(SET_PARAM, position, &entry);
}

HRESULT removeSpEntry(ScriptObject& object, const Args& args, Value&) {
  const int32_t position = args.i32(0);
  if (!kSpPosition.holds(position)) return E_INVALIDARG;
  return object.settings<SpTable>(AnyUt, [&](SpTable& settings) { return writeUnusedSpEntry(settings, position); });
}

HRESULT cleanSpList(ScriptObject& object, const Args&, Value&) {
  return object.settings<SpTable>(AnyUt, [&](SpTable& settings) {
    for (int32_t position = kSpPosition.low; position <= kSpPosition.high; ++position) {
      HRESULT hr = writeUnusedSpEntry(settings, position);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  });
}

// (sPosition, bsMCC, bsMNC, bsMCCName, bsMNCName, sPreferredPos, bProhibited)
HRESULT setSpEntry(ScriptObject& object, const Args& args, Value&) {
  const int32_t position = args.i32(0);
  const std::u16string_view mcc = args.text(1);
  const std::u16string_view mnc = args.text(2);
  const std::u16string_view mccName = args.text(3);
  const std::u16string_view mncName = args.text(4);
  const int32_t preferred = args.i32(5);
  const bool prohibited = args.i32(6) != 0;
  if (!kSpPosition.holds(position) || !isCountryOrNetworkCode(mcc) || !isCountryOrNetworkCode(mnc) ||
      mccName.empty() || mncName.empty() || !kPreferredPosition.holds(preferred) || (prohibited && preferred >= 0)) {
    return E_INVALIDARG;
  }
  knownsp_entry_unicode_type entry{};
  const bool unicodeUt = object.unicodeUt();
  if (!putSpName(entry.u_mcc_name, mccName, unicodeUt) || !putSpName(entry.u_mnc_name, mncName, unicodeUt)) {
    return E_INVALIDARG;
  }
  entry.valid = 1;
  entry.ksp_position = position;
  putCodeField(entry.mcc, mcc, false);
  putCodeField(entry.mnc, mnc, false);
  entry.pos_in_pref_list = static_cast<uint8_t>(preferred);  // -1: not in the preferred list (0xFF)
  entry.is_prohibited = prohibited ? 1 : 0;
  return object.settings<SpTable>(AnyUt, [&](SpTable& settings) {
    return settings.KnownSPEntryUnicode(SET_PARAM, position, &entry);
  });
}

enum class SpField { Mcc, Mnc, MccName, MncName, PreferredPosition, Prohibited };

template <SpField Field>
HRESULT getSpField(ScriptObject& object, const Args& args, Value& result) {
  const int32_t position = args.i32(0);
  if (!kSpPosition.holds(position)) return E_INVALIDARG;
  return object.settings<SpTable>(AnyUt, [&](SpTable& settings) {
    knownsp_entry_unicode_type entry{};
    HRESULT hr = settings.KnownSPEntryUnicode(GET_PARAM, position, &entry);
    if (FAILED(hr)) return hr;
    if constexpr (Field == SpField::Mcc) result = codeFieldText(entry.mcc);
    if constexpr (Field == SpField::Mnc) result = codeFieldText(entry.mnc);
    if constexpr (Field == SpField::MccName) result = spNameText(entry.u_mcc_name, object.unicodeUt());
    if constexpr (Field == SpField::MncName) result = spNameText(entry.u_mnc_name, object.unicodeUt());
    // 0xFF, the position of an entry outside the preferred list, reads -1
    // as the setter takes it.
    if constexpr (Field == SpField::PreferredPosition) {
      result = static_cast<int32_t>(static_cast<int8_t>(entry.pos_in_pref_list));
    }
    if constexpr (Field == SpField::Prohibited) result = static_cast<int32_t>(entry.is_prohibited);
    return hr;
  });
}

// --- the satellite IMSI ----------------------------------------------------------------------------

constexpr std::size_t kMsinDigits = 10;

// (sType, bsMCC, bsMNC, bsMSIN)
HRESULT setObImsi(ScriptObject& object, const Args& args, Value&) {
  const int32_t type = args.i32(0);
  const std::u16string_view mcc = args.text(1);
  const std::u16string_view mnc = args.text(2);
  const std::u16string_view msin = args.text(3);
  const bool knownType = type == OB_TRUE_IMSI || type == OB_MIN_BASED_IMSI || type == OB_UNPROGRAMMED_IMSI;
  if (!knownType || !isCountryOrNetworkCode(mcc) || !isCountryOrNetworkCode(mnc) || msin.empty() ||
      msin.size() > kMsinDigits) {
    return E_INVALIDARG;
  }
  orbitnet_imsi_type imsi{};
  imsi.valid = 1;
  imsi.imsi_type = static_cast<OBIMSIType>(type);
  putCodeField(imsi.mcc, mcc, true);
  putCodeField(imsi.mnc, mnc, true);
  putCodeField(imsi.msin, msin, true);
  return object.settings<O>(AnyUt, [&](O& settings) { return settings.OBIMSI(SET_PARAM, &imsi); });
}

enum class ImsiField { Type, Mcc, Mnc, Msin };

template <ImsiField Field>
HRESULT getObImsi(ScriptObject& object, const Args&, Value& result) {
  return object.settings<O>(AnyUt, [&](O& settings) {
    orbitnet_imsi_type imsi{};
    HRESULT hr = settings.OBIMSI(GET_PARAM, &imsi);
    if (FAILED(hr)) return hr;
    if constexpr (Field == ImsiField::Type) result = static_cast<int32_t>(imsi.imsi_type);
    if constexpr (Field == ImsiField::Mcc) result = codeFieldText(imsi.mcc);
    if constexpr (Field == ImsiField::Mnc) result = codeFieldText(imsi.mnc);
    if constexpr (Field == ImsiField::Msin) result = codeFieldText(imsi.msin);
    return hr;
  });
}

// --- access overload class: 0 or 10..15 -------------------------------------------------------------

HRESULT putObAccolc(ScriptObject& object, const Args& args, Value&) {
  const int32_t accolc = args.i32(0);
  if (accolc != 0 && (accolc < 10 || accolc > 15)) return E_INVALIDARG;
  return object.settings<O>(AnyUt, [&](O& settings) {
    return settings.OBACCOLC(SET_PARAM, static_cast<uint16_t>(accolc), nullptr);
  });
}

// --- directory numbers: sNAM 0..2, the satellite number at index -1 --------------------------------

constexpr int32_t kSatelliteNumber = -1;
constexpr int32_t kSatelliteNam = 2;

HRESULT getDirectoryNumber(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<O>(AnyUt, [&](O& settings) {
    LPWSTR text = nullptr;
    HRESULT hr = settings.DirectoryNumber(GET_PARAM, nam, nullptr, &text);
    std::u16string number = takeText(text);
    if (FAILED(hr)) {
      text = nullptr;
      hr = settings.DirectoryNumber(GET_PARAM, kSatelliteNumber, nullptr, &text);
      number = takeText(text);
    }
    if (SUCCEEDED(hr)) result = std::move(number);
    return hr;
  });
}

// The satellite NAM's number is also the satellite directory number.
HRESULT putDirectoryNumber(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  std::u16string number(args.text(1));
  if (!kNamRange.holds(nam) || !isDialledNumber(number)) return E_INVALIDARG;
  return object.settings<O>(AnyUt, [&](O& settings) {
    HRESULT hr = settings.DirectoryNumber(SET_PARAM, nam, number.data(), nullptr);
    if (SUCCEEDED(hr) && nam == kSatelliteNam) {
      hr = settings.DirectoryNumber(SET_PARAM, kSatelliteNumber, number.data(), nullptr);
    }
    return hr;
  });
}

// --- home gateway: channel and gateway are written together -----------------------------------------

template <bool Channel>
HRESULT getHomeGateway(ScriptObject& object, const Args&, Value& result) {
  return object.settings<O>(AnyUt, [&](O& settings) {
    int16_t channel = 0;
    int32_t gateway = 0;
    HRESULT hr = settings.HomeGatewayInfo(GET_PARAM, &channel, &gateway);
    if (SUCCEEDED(hr)) result = Channel ? static_cast<int32_t>(channel) : gateway;
    return hr;
  });
}

template <bool Channel>
HRESULT putHomeGateway(ScriptObject& object, const Args& args, Value&) {
  const int32_t value = args.i32(0);
  // -1: no home gateway channel.
  if (Channel && value != -1 && !kSatelliteChannel.holds(value)) return E_INVALIDARG;
  return object.settings<O>(AnyUt, [&](O& settings) {
    int16_t channel = 0;
    int32_t gateway = 0;
    HRESULT hr = settings.HomeGatewayInfo(GET_PARAM, &channel, &gateway);
    if (FAILED(hr)) return hr;
    if (Channel) {
      channel = static_cast<int16_t>(value);
    } else {
      gateway = value;
    }
    return settings.HomeGatewayInfo(SET_PARAM, &channel, &gateway);
  });
}

// --- home service provider ------------------------------------------------------------------------------

template <bool Mcc>
HRESULT getHomeSp(ScriptObject& object, const Args&, Value& result) {
  return object.settings<O>(AnyUt, [&](O& settings) {
    last_sp_reg_type sp{};
    HRESULT hr = settings.HomeSP(GET_PARAM, &sp);
    if (SUCCEEDED(hr)) result = codeFieldText(Mcc ? sp.mcc : sp.mnc);
    return hr;
  });
}

// At most 3 characters, decimal digits when there are 2 or more; the other
// code is written back as it was read (blank when the record was unused).
template <bool Mcc>
HRESULT putHomeSp(ScriptObject& object, const Args& args, Value&) {
  const std::u16string_view code = args.text(0);
  if (code.size() > 3 || (code.size() >= 2 && !isDecimal(code))) return E_INVALIDARG;
  return object.settings<O>(AnyUt, [&](O& settings) {
    last_sp_reg_type sp{};
    HRESULT hr = settings.HomeSP(GET_PARAM, &sp);
    if (FAILED(hr)) return hr;
    if (sp.valid == 0) {
      putCodeField(sp.mcc, u"", false);
      putCodeField(sp.mnc, u"", false);
    }
    putCodeField(Mcc ? sp.mcc : sp.mnc, code, false);
    sp.valid = 1;
    return settings.HomeSP(SET_PARAM, &sp);
  });
}

// --- last registrations ----------------------------------------------------------------------------------

HRESULT clearLastGatewayRegistration(ScriptObject& object, const Args&, Value&) {
  return object.settings<O>(AnyUt, [](O& settings) { return settings.LastGWRegistration(SET_PARAM, 0, nullptr); });
}

enum class RegistrationField { Mcc, Mnc, DigitMode };

template <RegistrationField Field>
HRESULT getLastSpRegistration(ScriptObject& object, const Args&, Value& result) {
  return object.settings<O>(AnyUt, [&](O& settings) {
    last_sp_reg_type reg{};
    HRESULT hr = settings.LastSPRegistration(GET_PARAM, &reg);
    if (FAILED(hr)) return hr;
    if constexpr (Field == RegistrationField::Mcc) result = codeFieldText(reg.mcc);
    if constexpr (Field == RegistrationField::Mnc) result = codeFieldText(reg.mnc);
    if constexpr (Field == RegistrationField::DigitMode) result = static_cast<int32_t>(reg.digit_tmode);
    return hr;
  });
}

// The set form writes the unused marks whatever the record holds.
HRESULT clearLastSpRegistration(ScriptObject& object, const Args&, Value&) {
  return object.settings<O>(AnyUt, [](O& settings) {
    last_sp_reg_type reg{};
    return settings.LastSPRegistration(SET_PARAM, &reg);
  });
}

// --- settings of the satellite NAM (2) and the cellular NAMs (0, 1) -----------------------------------

HRESULT getSmsTimeStampAdjust(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  int32_t adjust = 0;
  HRESULT hr = nam == kSatelliteNam
                   ? object.settings<O>(AnyUt, [&](O& settings) {
                       return settings.OB_SMSTimeStampAdjust(GET_PARAM, 0, &adjust);
                     })
                   : object.settings<ITerrestrialSettings>(AnyUt, [&](ITerrestrialSettings& settings) {
                       return settings.CDMA_SMSTimeStampAdjust(GET_PARAM, 0, nam, &adjust);
                     });
  if (SUCCEEDED(hr)) result = adjust;
  return hr;
}

HRESULT putSmsTimeStampAdjust(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  const int32_t adjust = args.i32(1) != 0 ? 1 : 0;
  if (nam == kSatelliteNam) {
    return object.settings<O>(AnyUt,
                              [&](O& settings) { return settings.OB_SMSTimeStampAdjust(SET_PARAM, adjust, nullptr); });
  }
  return object.settings<ITerrestrialSettings>(AnyUt, [&](ITerrestrialSettings& settings) {
    return settings.CDMA_SMSTimeStampAdjust(SET_PARAM, adjust, nam, nullptr);
  });
}

// Packet data modes exist on tri-mode portables only; for any other UT the
// member fails as a missing setting does, without calling the UT.
constexpr Range kPacketDataMode{4, 7};

HRESULT getPacketDataPreferredMode(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  uint32_t mode = 0;
  LPWSTR name = nullptr;
  HRESULT hr = nam == kSatelliteNam
                   ? object.settings<IOrbitnetSettings_1_5>(M, [&](IOrbitnetSettings_1_5& settings) {
                       if (!object.trimodeUt()) return E_FAIL;
                       return settings.OB_PacketDataPreferredMode(GET_PARAM, nullptr, 0, &mode, &name);
                     })
                   : object.settings<ITerrestrialSettings_1_5>(M, [&](ITerrestrialSettings_1_5& settings) {
                       if (!object.trimodeUt()) return E_FAIL;
                       return settings.CDMA_PacketDataPreferredMode(GET_PARAM, nam, nullptr, 0, &mode, &name);
                     });
  takeText(name);
  if (SUCCEEDED(hr)) result = static_cast<int32_t>(mode);
  return hr;
}

HRESULT putPacketDataPreferredMode(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t mode = args.i32(1);
  if (!kNamRange.holds(nam) || !kPacketDataMode.holds(mode)) return E_INVALIDARG;
  const auto number = static_cast<uint32_t>(mode);
  if (nam == kSatelliteNam) {
    return object.settings<IOrbitnetSettings_1_5>(M, [&](IOrbitnetSettings_1_5& settings) {
      if (!object.trimodeUt()) return E_FAIL;
      return settings.OB_PacketDataPreferredMode(SET_PARAM, nullptr, number, nullptr, nullptr);
    });
  }
  return object.settings<ITerrestrialSettings_1_5>(M, [&](ITerrestrialSettings_1_5& settings) {
    if (!object.trimodeUt()) return E_FAIL;
    return settings.CDMA_PacketDataPreferredMode(SET_PARAM, nam, nullptr, number, nullptr, nullptr);
  });
}

}  // namespace

void addOrbitnetMembers(MemberRows& rows) {
  addProperty(rows, "AcquisitionChannelList", "n", "sIndex", 'i', &getAcquisitionChannel, &putAcquisitionChannel);
  addProperty(rows, "OB_LossOfCoverageTimer", "", "", 'i', &getScalar<&O::LossOfCoverageTimer, AnyUt>,
              &putScalar<&O::LossOfCoverageTimer, AnyUt>);
  addMethod(rows, "OB_Remove_SPList_Entry", "n", "sPosition", "", &removeSpEntry);
  addMethod(rows, "OB_Set_SPList_Entry", "nssssni",
            "sPosition,bsMCC,bsMNC,bsMCCName,bsMNCName,sPreferredPos,bProhibited", "", &setSpEntry);
  addMethod(rows, "OB_CleanEntireSPList", "", "", "", &cleanSpList);
  addProperty(rows, "OB_SPList_MCC", "n", "sPosition", 's', &getSpField<SpField::Mcc>, nullptr);
  addProperty(rows, "OB_SPList_MNC", "n", "sPosition", 's', &getSpField<SpField::Mnc>, nullptr);
  addProperty(rows, "OB_SPList_MCC_Name", "n", "sPosition", 's', &getSpField<SpField::MccName>, nullptr);
  addProperty(rows, "OB_SPList_MNC_Name", "n", "sPosition", 's', &getSpField<SpField::MncName>, nullptr);
  addProperty(rows, "OB_SPList_PreferredPos", "n", "sPosition", 'i', &getSpField<SpField::PreferredPosition>,
              nullptr);
  addProperty(rows, "OB_SPList_Prohibited", "n", "sPosition", 'i', &getSpField<SpField::Prohibited>, nullptr);
  addMethod(rows, "OB_Set_IMSI", "nsss", "sType,bsMCC,bsMNC,bsMSIN", "", &setObImsi);
  addProperty(rows, "OB_IMSI_Type", "", "", 'i', &getObImsi<ImsiField::Type>, nullptr);
  addProperty(rows, "OB_IMSI_MCC", "", "", 's', &getObImsi<ImsiField::Mcc>, nullptr);
  addProperty(rows, "OB_IMSI_MNC", "", "", 's', &getObImsi<ImsiField::Mnc>, nullptr);
  addProperty(rows, "OB_IMSI_MSIN", "", "", 's', &getObImsi<ImsiField::Msin>, nullptr);
  addProperty(rows, "OB_ACCOLC", "", "", 'i', &getScalar<&O::OBACCOLC, AnyUt>, &putObAccolc);
  addProperty(rows, "DirectoryNumber", "n", "sNAM", 's', &getDirectoryNumber, &putDirectoryNumber);
  addProperty(rows, "OB_HomeGatewayID", "", "", 'i', &getHomeGateway<false>, &putHomeGateway<false>);
  addProperty(rows, "OB_HomeGatewayChannel", "", "", 'i', &getHomeGateway<true>, &putHomeGateway<true>);
  addProperty(rows, "OB_Home_SP_MCC", "", "", 's', &getHomeSp<true>, &putHomeSp<true>);
  addProperty(rows, "OB_Home_SP_MNC", "", "", 's', &getHomeSp<false>, &putHomeSp<false>);
  addProperty(rows, "OB_LastGatewayRegistration", "", "", 'i', &getScalar<&O::LastGWRegistration, AnyUt>, nullptr);
  addMethod(rows, "Clear_OB_LastGatewayRegistration", "", "", "", &clearLastGatewayRegistration);
  addProperty(rows, "OB_LastSPRegistration_MCC", "", "", 's', &getLastSpRegistration<RegistrationField::Mcc>,
              nullptr);
  addProperty(rows, "OB_LastSPRegistration_MNC", "", "", 's', &getLastSpRegistration<RegistrationField::Mnc>,
              nullptr);
  addProperty(rows, "OB_LastSPRegistration_DDMode", "", "", 'i',
              &getLastSpRegistration<RegistrationField::DigitMode>, nullptr);
  addMethod(rows, "Clear_OB_LastSPRegistration", "", "", "", &clearLastSpRegistration);
  addProperty(rows, "SMSTimeStampAdjust", "n", "sNAM", 'i', &getSmsTimeStampAdjust, &putSmsTimeStampAdjust);
  addProperty(rows, "PacketDataPreferredMode", "n", "sNAM", 'i', &getPacketDataPreferredMode,
              &putPacketDataPreferredMode);
}

}  // namespace vx::script
