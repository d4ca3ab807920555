// User interface settings: banner and display, the last dialled number,
// language, volumes and sounds, answering, the phone book, and the call
// timers and counters. Most of them do not exist on a module UT (M).
#include <array>

#include "dialled_number.h"
#include "member_shapes.h"
#include "member_table.h"

namespace vx::script {
namespace {

using namespace shapes;
using U = IUISettings;
using U11 = IUISettings_1_1;
using U12 = IUISettings_1_2;
using U13 = IUISettings_1_3;
using U15 = IUISettings_1_5;

constexpr std::size_t kNameUnits = 12;

// A name through the UT character set into a record's 12 units, the rest
// zero; false on an unmappable character. The caller has checked the length.
bool putName(int16_t (&field)[kNameUnits], std::u16string_view name, bool unicodeUt) {
  std::optional<std::u16string> codes = encodeUtText(name, unicodeUt);
  if (!codes) return false;
  for (std::size_t i = 0; i < codes->size() && i < kNameUnits; ++i) field[i] = static_cast<int16_t>((*codes)[i]);
  return true;
}

// The name up to its terminator.
std::u16string nameText(const int16_t (&field)[kNameUnits], bool unicodeUt) {
  std::u16string codes;
  for (int16_t unit : field) {
    if (unit == 0) break;
    codes.push_back(static_cast<char16_t>(unit));
  }
  return decodeUtText(codes, unicodeUt);
}

// An enum setting's member name and number.
template <auto Method, class Settings>
HRESULT readEnum(Settings& settings, uint32_t* number, std::u16string* name) {
  LPWSTR text = nullptr;
  HRESULT hr = (settings.*Method)(GET_PARAM, nullptr, 0, number, &text);
  *name = takeText(text);
  return hr;
}

// --- the last dialled number ----------------------------------------------------------------------------

// A number of fewer than 2 characters (none, or a single key) is stored as
// it is; longer ones must be dialled numbers.
bool isLastDialledNumber(std::u16string_view number) { return number.size() < 2 || isDialledNumber(number); }

// (bsDialed: the name shown for the call, bsDialedNum: the number)
HRESULT setLastCallDialedDigits(ScriptObject& object, const Args& args, Value&) {
  const std::u16string_view name = args.text(0);
  const std::u16string_view number = args.text(1);
  if (name.size() > kNameUnits || !isLastDialledNumber(number)) return E_INVALIDARG;
  last_dialed_digits_unicode_type digits{};
  if (!putName(digits.unicode_alpha, name, unicodeForPut(object, M))) return E_INVALIDARG;
  digits.number_stuff = toNumberRecord(number);
  return object.settings<U13>(M,
                              [&](U13& settings) { return settings.LastCallDialedDigitsUnicode(SET_PARAM, &digits); });
}

template <bool Number>
HRESULT getLastCallDialedDigits(ScriptObject& object, const Args&, Value& result) {
  return object.settings<U13>(M, [&](U13& settings) {
    last_dialed_digits_unicode_type digits{};
    HRESULT hr = settings.LastCallDialedDigitsUnicode(GET_PARAM, &digits);
    if (FAILED(hr)) return hr;
    if (Number) {
      result = fromNumberRecord(digits.number_stuff);
    } else {
      result = nameText(digits.unicode_alpha, object.unicodeUt());
    }
    return hr;
  });
}

// --- language: 4 and 5 only where the UT offers them --------------------------------------------------------

constexpr Range kLanguage{0, 5};
constexpr int32_t kRussian = 4;
constexpr int32_t kChineseSimplified = 5;

HRESULT offersLanguage(U13& settings, std::u16string_view member, bool* offered) {
  std::vector<int16_t> name(member.begin(), member.end());
  name.push_back(0);
  int32_t found = 0;
  HRESULT hr = settings.IsLanguage(name.data(), &found);
  *offered = SUCCEEDED(hr) && found != 0;
  return hr;
}

HRESULT putLanguage(ScriptObject& object, const Args& args, Value&) {
  const int32_t language = args.i32(0);
  if (!kLanguage.holds(language)) return E_INVALIDARG;
  bool offered = true;
  HRESULT hr = object.settings<U13>(M, [&](U13& settings) {
    if (language >= kRussian) {
      HRESULT checked = offersLanguage(settings, u"UI_LANGUAGE_RUSSIAN", &offered);
      if (SUCCEEDED(checked) && offered && language == kChineseSimplified) {
        checked = offersLanguage(settings, u"UI_LANGUAGE_CHINESE_SIMPLIFIED", &offered);
      }
      if (FAILED(checked) || !offered) return checked;
    }
    return settings.Language(SET_PARAM, nullptr, static_cast<uint32_t>(language), nullptr, nullptr);
  });
  if (SUCCEEDED(hr) && !offered) return E_INVALIDARG;
  return hr;
}

// --- volumes and answering ----------------------------------------------------------------------------------

// The volume scale's top member sits one above level 9; scripts see 9.
template <auto Method>
HRESULT getVolume(ScriptObject& object, const Args&, Value& result) {
  return object.settings<U>(M, [&](U& settings) {
    uint32_t number = 0;
    std::u16string name;
    HRESULT hr = readEnum<Method>(settings, &number, &name);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(name == u"UI_VOLUME_DISPLAY_MAX" ? number - 1 : number);
    return hr;
  });
}

// Car kit volumes: muted reads as level 0.
template <auto Method>
HRESULT getCarkitVolume(ScriptObject& object, const Args&, Value& result) {
  return object.settings<U>(M, [&](U& settings) {
    uint32_t number = 0;
    std::u16string name;
    HRESULT hr = readEnum<Method>(settings, &number, &name);
    if (SUCCEEDED(hr)) result = name == u"CKIT_VC_VOLUME_MUTE" ? 0 : static_cast<int32_t>(number);
    return hr;
  });
}

HRESULT getOneTouchDial(ScriptObject& object, const Args&, Value& result) {
  return object.settings<U>(M, [&](U& settings) {
    uint32_t number = 0;
    std::u16string name;
    HRESULT hr = readEnum<&U::OneTouchDial>(settings, &number, &name);
    if (SUCCEEDED(hr)) result = (name == u"UI_ENABLE_DISABLE_FIRST" || name == u"UI_DISABLE_DISPLAY") ? 0 : 1;
    return hr;
  });
}

HRESULT putOneTouchDial(ScriptObject& object, const Args& args, Value&) {
  std::u16string name = args.i32(0) != 0 ? u"UI_ENABLE_DISPLAY" : u"UI_DISABLE_DISPLAY";
  return object.settings<U>(
      M, [&](U& settings) { return settings.OneTouchDial(SET_PARAM, name.data(), 0, nullptr, nullptr); });
}

// --- the phone book: sPosition 1..99 ---------------------------------------------------------------------------

constexpr Range kPhonebookPosition{1, 99};

HRESULT removePhonebookEntry(ScriptObject& object, const Args& args, Value&) {
  const int32_t position = args.i32(0);
  if (!kPhonebookPosition.holds(position)) return E_INVALIDARG;
  return object.settings<U13>(M, [&](U13& settings) {
    phonebook_entry_unicode_type entry{};
    return settings.PhoneBookEntryUnicode(SET_PARAM, position, &entry);
  });
}

// Only entries in use are written, so the others stay as the UT has them.
HRESULT cleanEntirePhonebook(ScriptObject& object, const Args&, Value&) {
  return object.settings<U13>(M, [&](U13& settings) {
    for (int32_t position = kPhonebookPosition.low; position <= kPhonebookPosition.high; ++position) {
      phonebook_entry_unicode_type entry{};
      HRESULT hr = settings.PhoneBookEntryUnicode(GET_PARAM, position, &entry);
      if (SUCCEEDED(hr) && entry.allocated != 0 && entry.valid != 0) {
        entry = {};
        hr = settings.PhoneBookEntryUnicode(SET_PARAM, position, &entry);
      }
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  });
}

// (sPosition, bsName, bsNumber, bSecret)
HRESULT setPhonebookEntry(ScriptObject& object, const Args& args, Value&) {
  const int32_t position = args.i32(0);
  const std::u16string_view name = args.text(1);
  const std::u16string_view number = args.text(2);
  if (!kPhonebookPosition.holds(position) || name.size() > kNameUnits || !isDialledNumber(number)) {
    return E_INVALIDARG;
  }
  phonebook_entry_unicode_type entry{};
  if (!putName(entry.unicode_alpha, name, unicodeForPut(object, M))) return E_INVALIDARG;
  const emergency_pnumber_type digits = toNumberRecord(number);
  entry.allocated = 1;
  entry.valid = 1;
  entry.international = digits.international;
  entry.secret = args.i32(3) != 0 ? 1 : 0;
  entry.digits_index = digits.digits_index;
  entry.pb_position = position;
  std::copy(std::begin(digits.digits), std::end(digits.digits), entry.digits);
  return object.settings<U13>(M,
                              [&](U13& settings) { return settings.PhoneBookEntryUnicode(SET_PARAM, position, &entry); });
}

enum class EntryField { Name, Number, Secret, Unused };

template <EntryField Field>
HRESULT getPhonebookField(ScriptObject& object, const Args& args, Value& result) {
  const int32_t position = args.i32(0);
  if (!kPhonebookPosition.holds(position)) return E_INVALIDARG;
  return object.settings<U13>(M, [&](U13& settings) {
    phonebook_entry_unicode_type entry{};
    HRESULT hr = settings.PhoneBookEntryUnicode(GET_PARAM, position, &entry);
    if (FAILED(hr)) return hr;
    if constexpr (Field == EntryField::Name) result = nameText(entry.unicode_alpha, object.unicodeUt());
    if constexpr (Field == EntryField::Number) {
      result = numberText(entry.digits, entry.digits_index, entry.international != 0);
    }
    if constexpr (Field == EntryField::Secret) result = entry.secret;
    if constexpr (Field == EntryField::Unused) result = (entry.allocated != 0 && entry.valid != 0) ? 0 : 1;
    return hr;
  });
}

// --- call timers and counters ------------------------------------------------------------------------------

enum class TimePart { Hours, Minutes, Seconds };

template <auto Method, TimePart Which, bool RefusesModule>
HRESULT getCallTime(ScriptObject& object, const Args&, Value& result) {
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    nv_calltime_type time{};
    HRESULT hr = (settings.*Method)(GET_PARAM, &time);
    if (FAILED(hr)) return hr;
    if constexpr (Which == TimePart::Hours) result = static_cast<int32_t>(time.usHours);
    if constexpr (Which == TimePart::Minutes) result = static_cast<int32_t>(time.ucMinutes);
    if constexpr (Which == TimePart::Seconds) result = static_cast<int32_t>(time.ucSeconds);
    return hr;
  });
}

template <auto Method, bool RefusesModule>
HRESULT getCallCount(ScriptObject& object, const Args&, Value& result) {
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    uint32_t count = 0;
    HRESULT hr = (settings.*Method)(GET_PARAM, &count);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(count);
    return hr;
  });
}

// The set forms of the timer and counter methods clear them.
template <bool RefusesModule, auto TimeMethod, auto... CountMethods>
HRESULT clearCalls(ScriptObject& object, const Args&, Value&) {
  return object.settings<InterfaceOf<TimeMethod>>(RefusesModule, [&](auto& settings) {
    nv_calltime_type time{};
    HRESULT hr = (settings.*TimeMethod)(SET_PARAM, &time);
    [[maybe_unused]] uint32_t count = 0;
    ((hr = SUCCEEDED(hr) ? (settings.*CountMethods)(SET_PARAM, &count) : hr), ...);
    return hr;
  });
}

// The four members of one timer with its counter: <prefix>Number, Hours,
// Minutes, Seconds.
template <auto TimeMethod, auto CountMethod, bool RefusesModule>
void addCallMembers(MemberRows& rows, const std::string& prefix) {
  addProperty(rows, prefix + "Number", "", "", 'i', &getCallCount<CountMethod, RefusesModule>, nullptr);
  addProperty(rows, prefix + "Hours", "", "", 'i', &getCallTime<TimeMethod, TimePart::Hours, RefusesModule>, nullptr);
  addProperty(rows, prefix + "Minutes", "", "", 'i', &getCallTime<TimeMethod, TimePart::Minutes, RefusesModule>,
              nullptr);
  addProperty(rows, prefix + "Seconds", "", "", 'i', &getCallTime<TimeMethod, TimePart::Seconds, RefusesModule>,
              nullptr);
}

// A timer without a counter.
template <auto TimeMethod, bool RefusesModule>
void addTimerMembers(MemberRows& rows, const std::string& prefix) {
  addProperty(rows, prefix + "Hours", "", "", 'i', &getCallTime<TimeMethod, TimePart::Hours, RefusesModule>, nullptr);
  addProperty(rows, prefix + "Minutes", "", "", 'i', &getCallTime<TimeMethod, TimePart::Minutes, RefusesModule>,
              nullptr);
  addProperty(rows, prefix + "Seconds", "", "", 'i', &getCallTime<TimeMethod, TimePart::Seconds, RefusesModule>,
              nullptr);
}

}  // namespace

void addUiMembers(MemberRows& rows) {
  addProperty(rows, "Banner", "", "", 's', &getText<&U::Banner, M>, &putText<&U::Banner, M>);
  addProperty(rows, "AutoHyphenation", "", "", 'i', &getScalar<&U::AutoHyphen, M>, &putScalar<&U::AutoHyphen, M>);
  addProperty(rows, "ShowTime", "", "", 'i', &getEnum<&U::ShowTime, M>, &putEnum<&U::ShowTime, M, Range{4, 7}>);
  addProperty(rows, "Timezone", "", "", 'i', &getScalar<&U::Timezone, M>, &putScalar<&U::Timezone, M>);
  addMethod(rows, "SetLastCallDialedDigits", "ss", "bsDialed,bsDialedNum", "", &setLastCallDialedDigits);
  addProperty(rows, "LastCallDialedDigitsNumber", "", "", 's', &getLastCallDialedDigits<true>, nullptr);
  addProperty(rows, "LastCallDialedDigitsText", "", "", 's', &getLastCallDialedDigits<false>, nullptr);
  addProperty(rows, "Language", "", "", 'i', &getEnum<&U11::Language, M>, &putLanguage);
  addProperty(rows, "EarpieceVolume", "", "", 'i', &getVolume<&U::EarPieceVolume>,
              &putEnum<&U::EarPieceVolume, M, Range{1, 9}>);
  addProperty(rows, "KeybeepVolume", "", "", 'i', &getVolume<&U::KeyBeepVolume>,
              &putEnum<&U::KeyBeepVolume, M, Range{0, 9}>);
  addProperty(rows, "RingerVolume", "", "", 'i', &getVolume<&U::RingerVolume>,
              &putEnum<&U::RingerVolume, M, Range{0, 9}>);
  addProperty(rows, "EarpieceCKHandsetVolume", "", "", 'i', &getCarkitVolume<&U::CarkitHandset>,
              &putEnum<&U::CarkitHandset, M, Range{0, 9}>);
  addProperty(rows, "CKHandsFreeSpeakerVolume", "", "", 'i', &getCarkitVolume<&U::CarkitHandsfree>,
              &putEnum<&U::CarkitHandsfree, M, Range{0, 9}>);
  addProperty(rows, "KeybeepSound", "", "", 'i', &getEnum<&U::KeyBeepSound, M>,
              &putEnum<&U::KeyBeepSound, M, Range{4, 5}>);
  addProperty(rows, "KeybeepLength", "", "", 'i', &getEnum<&U::KeyBeepLength, M>,
              &putEnum<&U::KeyBeepLength, M, Range{4, 5}>);
  addProperty(rows, "RingerType", "", "", 'i', &getEnum<&U::RingerType, M>, &putEnum<&U::RingerType, M, Range{4, 11}>);
  addProperty(rows, "AutoAnswer", "", "", 'i', &getEnum<&U::AutoAnswer, M>, &putEnum<&U::AutoAnswer, M, Range{0, 4}>);
  addProperty(rows, "OneTouchDial", "", "", 'i', &getOneTouchDial, &putOneTouchDial);
  addProperty(rows, "AutoRetry", "", "", 'i', &getEnum<&U::AutoRetry, M>, &putEnum<&U::AutoRetry, M, Range{0, 3}>);
  addProperty(rows, "AnyKeyAnswer", "", "", 'i', &getScalar<&U::AnyKeyAnswer, M>, &putScalar<&U::AnyKeyAnswer, M>);
  addMethod(rows, "Remove_PhonebookEntry", "n", "sPosition", "", &removePhonebookEntry);
  addMethod(rows, "CleanEntirePhonebook", "", "", "", &cleanEntirePhonebook);
  addMethod(rows, "Set_PhonebookEntry", "nssi", "sPosition,bsName,bsNumber,bSecret", "", &setPhonebookEntry);
  addProperty(rows, "PhonebookEntryName", "n", "sPosition", 's', &getPhonebookField<EntryField::Name>, nullptr);
  addProperty(rows, "PhonebookEntryNumber", "n", "sPosition", 's', &getPhonebookField<EntryField::Number>, nullptr);
  addProperty(rows, "PhonebookEntrySecret", "n", "sPosition", 'i', &getPhonebookField<EntryField::Secret>, nullptr);
  addProperty(rows, "IsPhonebookEntryUnused", "n", "sPosition", 'i', &getPhonebookField<EntryField::Unused>, nullptr);
  addProperty(rows, "Backlight", "", "", 'i', &getEnum<&U::Backlight, M>, &putEnum<&U::Backlight, M, Range{4, 8}>);
  addProperty(rows, "SortPhonebook", "", "", 'i', &getEnum<&U15::SortPhonebook, M>,
              &putEnum<&U15::SortPhonebook, M, Range{4, 5}>);
  addCallMembers<&U::AllCallsTime, &U::AllCallsCount, M>(rows, "AllCalls");
  addCallMembers<&U::HomeCallsTime, &U::HomeCallsCount, M>(rows, "HomeCalls");
  addCallMembers<&U::RoamCallsTime, &U::RoamCallsCount, M>(rows, "RoamingCalls");
  addCallMembers<&U::RecentCallsTime, &U::RecentCallsCount, M>(rows, "RecentCalls");
  addTimerMembers<&U::LastCallTime, M>(rows, "LastCall");
  addTimerMembers<&U12::DataCallsTime, AnyUt>(rows, "DataServices");
  addMethod(rows, "HomeCallsClear", "", "", "", &clearCalls<M, &U::HomeCallsTime, &U::HomeCallsCount>);
  addMethod(rows, "RoamingCallsClear", "", "", "", &clearCalls<M, &U::RoamCallsTime, &U::RoamCallsCount>);
  addMethod(rows, "RecentCallsClear", "", "", "", &clearCalls<M, &U::RecentCallsTime, &U::RecentCallsCount>);
  addMethod(rows, "LastCallClear", "", "", "", &clearCalls<M, &U::LastCallTime>);
  addMethod(rows, "DataServicesClear", "", "", "",
            &clearCalls<AnyUt, &U12::DataCallsTime, &U12::DataCallsTXCount, &U12::DataCallsRXCount>);
  addProperty(rows, "DataServicesTransmittedBytes", "", "", 'i', &getCallCount<&U12::DataCallsTXCount, AnyUt>,
              nullptr);
  addProperty(rows, "DataServicesReceivedBytes", "", "", 'i', &getCallCount<&U12::DataCallsRXCount, AnyUt>, nullptr);
}

}  // namespace vx::script
