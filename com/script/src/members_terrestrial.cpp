// Cellular settings, one set per NAM (sNAM 0..2): the NAM name, the mode
// preferences, the IMSI and MIN with their access overload classes, the
// SID/NID pairs and lock lists, the CDMA and AMPS channels, registration,
// and the voice service options.
#include <algorithm>
#include <array>

#include "member_shapes.h"
#include "member_table.h"

namespace vx::script {
namespace {

using namespace shapes;
using T = ITerrestrialSettings;
using T13 = ITerrestrialSettings_1_3;

// The record type of a pointer to one of its fields.
template <class Record, class Field>
Record recordOf(Field Record::*);
template <auto Field>
using RecordOf = decltype(recordOf(Field));

bool isDecimal(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

template <std::size_t N>
void appendDigits(std::u16string& text, const char (&digits)[N]) {
  for (char c : digits) text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

// Copies the next N digits of `text` into a field; `text` holds only digits.
template <std::size_t N>
void takeDigits(char (&digits)[N], std::u16string_view& text) {
  for (std::size_t i = 0; i < N; ++i) digits[i] = static_cast<char>(text[i]);
  text.remove_prefix(N);
}

// --- text per NAM ------------------------------------------------------------------------------------

template <auto Method>
HRESULT getNamText(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(AnyUt, [&](auto& settings) {
    LPWSTR text = nullptr;
    HRESULT hr = (settings.*Method)(GET_PARAM, nam, nullptr, &text);
    std::u16string codes = takeText(text);
    if (SUCCEEDED(hr)) result = decodeUtText(codes, object.unicodeUt());
    return hr;
  });
}

template <auto Method>
HRESULT putNamText(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  std::optional<std::u16string> codes = encodeUtText(args.text(1), object.unicodeUt());
  if (!codes) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(
      AnyUt, [&](auto& settings) { return (settings.*Method)(SET_PARAM, nam, codes->data(), nullptr); });
}

// The AMPS PIN: digits, no code page.
HRESULT getAutoPin(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    LPWSTR text = nullptr;
    HRESULT hr = settings.AmpsAutoPIN(GET_PARAM, nam, nullptr, &text);
    std::u16string pin = takeText(text);
    if (SUCCEEDED(hr)) result = std::move(pin);
    return hr;
  });
}

HRESULT putAutoPin(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  std::u16string pin(args.text(1));
  return object.settings<T>(AnyUt,
                            [&](T& settings) { return settings.AmpsAutoPIN(SET_PARAM, nam, pin.data(), nullptr); });
}

// --- cellular modes ------------------------------------------------------------------------------------

constexpr Range kPreferredCellularMode{0, 3};
constexpr Range kAllowedCellularModes{4, 6};
constexpr int32_t kAllowBoth = 6;

// The preferred mode must be one the allowed modes permit: preference 1
// (digital only) not with allowed 5 (analog only), 3 (analog only) not with
// 4 (digital only), and the preferences 0 and 2 need both modes allowed.
bool modesAgree(int32_t preferred, int32_t allowed) {
  if (preferred == 1) return allowed != 5;
  if (preferred == 3) return allowed != 4;
  return allowed == kAllowBoth;
}

// (sNAM, sPreferred, sAllowed)
HRESULT setCellularModePrefs(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t preferred = args.i32(1);
  const int32_t allowed = args.i32(2);
  if (!kNamRange.holds(nam) || !kPreferredCellularMode.holds(preferred) || !kAllowedCellularModes.holds(allowed) ||
      !modesAgree(preferred, allowed)) {
    return E_INVALIDARG;
  }
  return object.settings<T>(AnyUt, [&](T& settings) {
    HRESULT hr = settings.AllowedCellularModes(SET_PARAM, nam, nullptr, static_cast<uint32_t>(allowed), nullptr,
                                               nullptr);
    if (FAILED(hr)) return hr;
    return settings.PreferredCellularMode(SET_PARAM, nam, nullptr, static_cast<uint32_t>(preferred), nullptr,
                                          nullptr);
  });
}

// Serving system preference: one method for CDMA and AMPS.
constexpr Range kServingSystem{0, 5};

template <bool Cdma>
HRESULT getPrefServingSystem(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    uint32_t number = 0;
    LPWSTR name = nullptr;
    HRESULT hr = settings.CDMAPrefServingSystem(GET_PARAM, Cdma ? 1 : 0, nam, nullptr, 0, &number, &name);
    takeText(name);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(number);
    return hr;
  });
}

template <bool Cdma>
HRESULT putPrefServingSystem(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t system = args.i32(1);
  if (!kNamRange.holds(nam) || !kServingSystem.holds(system)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    return settings.CDMAPrefServingSystem(SET_PARAM, Cdma ? 1 : 0, nam, nullptr, static_cast<uint32_t>(system),
                                          nullptr, nullptr);
  });
}

// --- access overload class: bCDMA 1 for IS-95, 0 for AMPS ---------------------------------------------------

// The last digit of the NAM's MIN1, the class a UT derives from its number.
template <bool Cdma>
HRESULT minClass(T& settings, int32_t nam, uint8_t* accolc) {
  char last = 0;
  HRESULT hr;
  if constexpr (Cdma) {
    cellular_imsi_type imsi{};
    hr = settings.CellularIMSI(GET_PARAM, nam, &imsi);
    last = imsi.min1[6];
  } else {
    amps_min_type min{};
    hr = settings.AmpsMIN(GET_PARAM, nam, &min);
    last = min.min1[6];
  }
  if (FAILED(hr)) return hr;
  if (last < '0' || last > '9') return E_FAIL;
  *accolc = static_cast<uint8_t>(last - '0');
  return S_OK;
}

template <bool Cdma>
HRESULT getAccolc(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    uint8_t accolc = 0;
    HRESULT hr = settings.ACCOLC(GET_PARAM, nam, Cdma ? 1 : 0, 0, &accolc);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(accolc);
    return hr;
  });
}

// 10..15, or -1 for the class of the NAM's MIN.
template <bool Cdma>
HRESULT putAccolc(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t value = args.i32(1);
  if (!kNamRange.holds(nam) || (value != -1 && (value < 10 || value > 15))) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    uint8_t accolc = static_cast<uint8_t>(value);
    if (value == -1) {
      HRESULT hr = minClass<Cdma>(settings, nam, &accolc);
      if (FAILED(hr)) return hr;
    }
    return settings.ACCOLC(SET_PARAM, nam, Cdma ? 1 : 0, accolc, nullptr);
  });
}

// After a new IMSI or MIN the NAM's access class is written again as it
// stands, so that it is staged with the number it belongs to. The number
// itself is written already; this step's failure does not undo it.
template <bool Cdma>
void rewriteAccolc(T& settings, int32_t nam) {
  uint8_t accolc = 0;
  if (SUCCEEDED(settings.ACCOLC(GET_PARAM, nam, Cdma ? 1 : 0, 0, &accolc))) {
    settings.ACCOLC(SET_PARAM, nam, Cdma ? 1 : 0, accolc, nullptr);
  }
}

// --- IMSI (15 digits) and AMPS MIN (10 digits) ------------------------------------------------------------

constexpr std::size_t kImsiDigits = 15;
constexpr std::size_t kMinDigits = 10;

HRESULT getCellularImsi(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    cellular_imsi_type imsi{};
    HRESULT hr = settings.CellularIMSI(GET_PARAM, nam, &imsi);
    if (FAILED(hr)) return hr;
    std::u16string text;
    appendDigits(text, imsi.mcc);
    appendDigits(text, imsi.i11_12);
    appendDigits(text, imsi.min2);
    appendDigits(text, imsi.min1);
    result = std::move(text);
    return hr;
  });
}

// MCC (3), IMSI_11_12 (2), MIN2 (3), MIN1 (7).
HRESULT putCellularImsi(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  std::u16string_view digits = args.text(1);
  if (!kNamRange.holds(nam) || digits.size() != kImsiDigits || !isDecimal(digits)) return E_INVALIDARG;
  cellular_imsi_type imsi{};
  imsi.valid = 1;
  takeDigits(imsi.mcc, digits);
  takeDigits(imsi.i11_12, digits);
  takeDigits(imsi.min2, digits);
  takeDigits(imsi.min1, digits);
  return object.settings<T>(AnyUt, [&](T& settings) {
    HRESULT hr = settings.CellularIMSI(SET_PARAM, nam, &imsi);
    if (SUCCEEDED(hr)) rewriteAccolc<true>(settings, nam);
    return hr;
  });
}

HRESULT getAmpsMin(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    amps_min_type min{};
    HRESULT hr = settings.AmpsMIN(GET_PARAM, nam, &min);
    if (FAILED(hr)) return hr;
    std::u16string text;
    appendDigits(text, min.min2);
    appendDigits(text, min.min1);
    result = std::move(text);
    return hr;
  });
}

// MIN2 (3), MIN1 (7).
HRESULT putAmpsMin(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  std::u16string_view digits = args.text(1);
  if (!kNamRange.holds(nam) || digits.size() != kMinDigits || !isDecimal(digits)) return E_INVALIDARG;
  amps_min_type min{};
  min.valid = 1;
  takeDigits(min.min2, digits);
  takeDigits(min.min1, digits);
  return object.settings<T>(AnyUt, [&](T& settings) {
    HRESULT hr = settings.AmpsMIN(SET_PARAM, nam, &min);
    if (SUCCEEDED(hr)) rewriteAccolc<false>(settings, nam);
    return hr;
  });
}

// --- SID/NID pairs: the script's four pairs are row 1 of the record -------------------------------------

constexpr int kScriptPairRow = 1;
constexpr int kPairs = 4;
constexpr Range kSid{0, 32767};
constexpr Range kNid{0, 65535};
constexpr Range kPairNumber{1, kPairs};

// The non-zero SIDs must be all odd or all even.
bool sameParity(const std::array<int32_t, kPairs>& sids) {
  int parity = -1;
  for (int32_t sid : sids) {
    if (sid == 0) continue;
    if (parity >= 0 && (sid & 1) != parity) return false;
    parity = sid & 1;
  }
  return true;
}

// (sNAM, sSID1..sSID4, lNID1..lNID4)
HRESULT setSidNidPairs(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  std::array<int32_t, kPairs> sids{};
  std::array<int32_t, kPairs> nids{};
  for (int k = 0; k < kPairs; ++k) {
    sids[k] = args.i32(1 + k);
    nids[k] = args.i32(1 + kPairs + k);
    if (!kSid.holds(sids[k]) || !kNid.holds(nids[k])) return E_INVALIDARG;
  }
  if (!kNamRange.holds(nam) || !sameParity(sids)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    nv_sid_nid_type pairs{};
    HRESULT hr = settings.SIDNIDPairs(GET_PARAM, nam, &pairs);
    if (FAILED(hr)) return hr;
    for (int k = 0; k < kPairs; ++k) {
      pairs.pair[kScriptPairRow][k].sid = static_cast<uint16_t>(sids[k]);
      pairs.pair[kScriptPairRow][k].nid = static_cast<uint16_t>(nids[k]);
    }
    return settings.SIDNIDPairs(SET_PARAM, nam, &pairs);
  });
}

// (sNAM, sWhich)
template <bool Sid>
HRESULT getSidNid(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  const int32_t which = args.i32(1);
  if (!kNamRange.holds(nam) || !kPairNumber.holds(which)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    nv_sid_nid_type pairs{};
    HRESULT hr = settings.SIDNIDPairs(GET_PARAM, nam, &pairs);
    const nv_sid_nid_pair& pair = pairs.pair[kScriptPairRow][which - 1];
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(Sid ? pair.sid : pair.nid);
    return hr;
  });
}

// --- lock SID lists: six SIDs, CDMA or AMPS --------------------------------------------------------------

constexpr int kLockSids = 6;
constexpr Range kLockSidNumber{1, kLockSids};

// (sNAM, sSID1..sSID6)
template <bool Cdma>
HRESULT setLockSidList(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  lock_sid_list_type list{};
  list.valid = 1;
  for (int k = 0; k < kLockSids; ++k) list.sid[k] = static_cast<uint16_t>(args.i32(1 + k));
  return object.settings<T>(AnyUt,
                            [&](T& settings) { return settings.CDMALockSIDList(SET_PARAM, Cdma ? 1 : 0, nam, &list); });
}

// (sNAM, sWhich)
template <bool Cdma>
HRESULT getLockSid(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  const int32_t which = args.i32(1);
  if (!kNamRange.holds(nam) || !kLockSidNumber.holds(which)) return E_INVALIDARG;
  return object.settings<T>(AnyUt, [&](T& settings) {
    lock_sid_list_type list{};
    HRESULT hr = settings.CDMALockSIDList(GET_PARAM, Cdma ? 1 : 0, nam, &list);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(list.sid[which - 1]);
    return hr;
  });
}

// --- records of a NAM set whole and read field by field ---------------------------------------------------

template <auto Method, auto Field>
HRESULT getNamRecordField(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(AnyUt, [&](auto& settings) {
    RecordOf<Field> record{};
    HRESULT hr = (settings.*Method)(GET_PARAM, nam, &record);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(record.*Field);
    return hr;
  });
}

constexpr Range kCdmaChannel{0, 2047};
constexpr Range kAmpsChannel{0, 1023};

// (sNAM, sPrimaryA, sPrimaryB, sSecondaryA, sSecondaryB)
HRESULT setCdmaChannels(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  std::array<int32_t, 4> channels{args.i32(1), args.i32(2), args.i32(3), args.i32(4)};
  if (!kNamRange.holds(nam) ||
      !std::all_of(channels.begin(), channels.end(), [](int32_t c) { return kCdmaChannel.holds(c); })) {
    return E_INVALIDARG;
  }
  cdma_channels_type record{1, static_cast<uint16_t>(channels[0]), static_cast<uint16_t>(channels[1]),
                            static_cast<uint16_t>(channels[2]), static_cast<uint16_t>(channels[3])};
  return object.settings<T>(AnyUt, [&](T& settings) { return settings.CDMAChannels(SET_PARAM, nam, &record); });
}

// (sNAM, bHomeSID, bForeignSID, bForeignNID)
HRESULT setTermRegistration(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  term_registration_type record{1, args.i32(1), args.i32(2), args.i32(3)};
  return object.settings<T>(AnyUt,
                            [&](T& settings) { return settings.CDMATermRegistration(SET_PARAM, nam, &record); });
}

// (sNAM, sChannelA, sChannelB)
HRESULT setAmpsControlChannels(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t a = args.i32(1);
  const int32_t b = args.i32(2);
  if (!kNamRange.holds(nam) || !kAmpsChannel.holds(a) || !kAmpsChannel.holds(b)) return E_INVALIDARG;
  amps_first_control_channel_type record{1, static_cast<uint16_t>(a), static_cast<uint16_t>(b)};
  return object.settings<T>(AnyUt, [&](T& settings) { return settings.AmpsControlChannels(SET_PARAM, nam, &record); });
}

// --- EVRC service options: 0x8000 or 0x8001 ---------------------------------------------------------------

template <auto Method>
HRESULT putServiceOption(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t option = args.i32(1);
  if (!kNamRange.holds(nam) || (option != 0x8000 && option != 0x8001)) return E_INVALIDARG;
  return object.settings<T13>(AnyUt, [&](T13& settings) {
    return (settings.*Method)(SET_PARAM, nam, static_cast<uint16_t>(option), nullptr);
  });
}

}  // namespace

void addTerrestrialMembers(MemberRows& rows) {
  addProperty(rows, "NAMName", "n", "sNAM", 's', &getNamText<&T::NAMName>, &putNamText<&T::NAMName>);
  addProperty(rows, "AllowUserSpecOfCellPrefs", "n", "sNAM", 'i', &getNamScalar<&T::AllowUserToModCellPrefs, AnyUt>,
              &putNamScalar<&T::AllowUserToModCellPrefs, AnyUt>);
  addProperty(rows, "PreferredMode", "n", "sNAM", 'i', &getNamEnum<&T::PreferredMode, AnyUt>,
              &putNamEnum<&T::PreferredMode, AnyUt, Range{0, 3}>);
  addMethod(rows, "SetCellularModePrefs", "nnn", "sNAM,sPreferred,sAllowed", "", &setCellularModePrefs);
  addProperty(rows, "PreferredCellularMode", "n", "sNAM", 'i', &getNamEnum<&T::PreferredCellularMode, AnyUt>,
              nullptr);
  addProperty(rows, "AllowedCellularModes", "n", "sNAM", 'i', &getNamEnum<&T::AllowedCellularModes, AnyUt>, nullptr);
  addProperty(rows, "CellularIMSI", "n", "sNAM", 's', &getCellularImsi, &putCellularImsi);
  addMethod(rows, "SetSIDNIDPairs", "nnnnniiii", "sNAM,sSID1,sSID2,sSID3,sSID4,lNID1,lNID2,lNID3,lNID4", "",
            &setSidNidPairs);
  addProperty(rows, "SID", "nn", "sNAM,sWhich", 'i', &getSidNid<true>, nullptr);
  addProperty(rows, "NID", "nn", "sNAM,sWhich", 'i', &getSidNid<false>, nullptr);
  addProperty(rows, "IS95_ACCOLC", "n", "sNAM", 'i', &getAccolc<true>, &putAccolc<true>);
  addMethod(rows, "SetCDMAChannels", "nnnnn", "sNAM,sPrimaryA,sPrimaryB,sSecondaryA,sSecondaryB", "",
            &setCdmaChannels);
  addProperty(rows, "CDMAPrimaryChannelA", "n", "sNAM", 'i',
              &getNamRecordField<&T::CDMAChannels, &cdma_channels_type::primary_a>, nullptr);
  addProperty(rows, "CDMAPrimaryChannelB", "n", "sNAM", 'i',
              &getNamRecordField<&T::CDMAChannels, &cdma_channels_type::primary_b>, nullptr);
  addProperty(rows, "CDMASecondaryChannelA", "n", "sNAM", 'i',
              &getNamRecordField<&T::CDMAChannels, &cdma_channels_type::secondary_a>, nullptr);
  addProperty(rows, "CDMASecondaryChannelB", "n", "sNAM", 'i',
              &getNamRecordField<&T::CDMAChannels, &cdma_channels_type::secondary_b>, nullptr);
  addMethod(rows, "CDMASetTermRegistration", "niii", "sNAM,bHomeSID,bForeignSID,bForeignNID", "",
            &setTermRegistration);
  addProperty(rows, "CDMAHomeSIDTermReg", "n", "sNAM", 'i',
              &getNamRecordField<&T::CDMATermRegistration, &term_registration_type::bHomeSIDTerm>, nullptr);
  addProperty(rows, "CDMAForeignSIDTermReg", "n", "sNAM", 'i',
              &getNamRecordField<&T::CDMATermRegistration, &term_registration_type::bForeignSIDTerm>, nullptr);
  addProperty(rows, "CDMAForeignNIDTermReg", "n", "sNAM", 'i',
              &getNamRecordField<&T::CDMATermRegistration, &term_registration_type::bForeignNIDTerm>, nullptr);
  addMethod(rows, "SetCDMALockSIDList", "nnnnnnn", "sNAM,sSID1,sSID2,sSID3,sSID4,sSID5,sSID6", "",
            &setLockSidList<true>);
  addProperty(rows, "CDMALockSID", "nn", "sNAM,sWhich", 'i', &getLockSid<true>, nullptr);
  addProperty(rows, "CDMAPrefServingSys", "n", "sNAM", 'i', &getPrefServingSystem<true>, &putPrefServingSystem<true>);
  addProperty(rows, "AMPSMIN", "n", "sNAM", 's', &getAmpsMin, &putAmpsMin);
  addProperty(rows, "AMPSFirstPagingChannel", "n", "sNAM", 'i', &getNamScalar<&T::AmpsFirstPagingChannel, AnyUt>,
              &putNamScalar<&T::AmpsFirstPagingChannel, AnyUt>);
  addMethod(rows, "SetAMPSControlChannel", "nnn", "sNAM,sChannelA,sChannelB", "", &setAmpsControlChannels);
  addProperty(rows, "AMPSControlChannelA", "n", "sNAM", 'i',
              &getNamRecordField<&T::AmpsControlChannels, &amps_first_control_channel_type::usChannelBandA>, nullptr);
  addProperty(rows, "AMPSControlChannelB", "n", "sNAM", 'i',
              &getNamRecordField<&T::AmpsControlChannels, &amps_first_control_channel_type::usChannelBandB>, nullptr);
  addProperty(rows, "AMPSAutonomousReg", "n", "sNAM", 'i', &getNamEnum<&T::AMPSAutoReg, AnyUt>,
              &putNamEnum<&T::AMPSAutoReg, AnyUt, Range{0, 2}>);
  addProperty(rows, "AMPSHomeSID", "n", "sNAM", 'i', &getNamScalar<&T::AmpsHomeSID, AnyUt>,
              &putNamScalar<&T::AmpsHomeSID, AnyUt>);
  addProperty(rows, "AMPSPrefServingSys", "n", "sNAM", 'i', &getPrefServingSystem<false>,
              &putPrefServingSystem<false>);
  addMethod(rows, "SetAMPSLockSIDList", "nnnnnnn", "sNAM,sSID1,sSID2,sSID3,sSID4,sSID5,sSID6", "",
            &setLockSidList<false>);
  addProperty(rows, "AMPSLockSID", "nn", "sNAM,sWhich", 'i', &getLockSid<false>, nullptr);
  addProperty(rows, "AMPSSendPIN", "n", "sNAM", 'i', &getNamScalar<&T::AmpsSendPIN, AnyUt>,
              &putNamScalar<&T::AmpsSendPIN, AnyUt, Range{0, 1}>);
  addProperty(rows, "AMPSAutoPIN", "n", "sNAM", 's', &getAutoPin, &putAutoPin);
  addProperty(rows, "AMPS_ACCOLC", "n", "sNAM", 'i', &getAccolc<false>, &putAccolc<false>);
  addProperty(rows, "EVRCEnabled", "n", "sNAM", 'i', &getNamScalar<&T13::EVRCEnabled, AnyUt>,
              &putNamScalar<&T13::EVRCEnabled, AnyUt>);
  addProperty(rows, "EVRCServiceOptionHomePage", "n", "sNAM", 'i', &getNamScalar<&T13::EVRCHomePage, AnyUt>,
              &putServiceOption<&T13::EVRCHomePage>);
  addProperty(rows, "EVRCServiceOptionHomeOrigination", "n", "sNAM", 'i',
              &getNamScalar<&T13::EVRCHomeOrigination, AnyUt>, &putServiceOption<&T13::EVRCHomeOrigination>);
  addProperty(rows, "EVRCServiceOptionRoamOrigination", "n", "sNAM", 'i',
              &getNamScalar<&T13::EVRCRoamOrigination, AnyUt>, &putServiceOption<&T13::EVRCRoamOrigination>);
}

}  // namespace vx::script
