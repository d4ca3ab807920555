// Fixed-unit settings: dialling timeouts, the call progress tones (by
// group, by selector and as custom step lists), custom DTMF keys and the
// pay phone wink.
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "member_shapes.h"
#include "member_table.h"

namespace vx::script {
namespace {

using namespace shapes;
using A = IAFUTSettings;

// --- tone groups --------------------------------------------------------------------------------------

constexpr int kToneTypes = 13;
constexpr int kCallWaiting = AFUT_CALL_WAITING;        // never written nor compared
constexpr int kMessageWaiting = AFUT_MSGWAITING;       // optional on the UT
constexpr Range kToneGroup{0, 7};

// The tone index of every tone type (AFUTToneIDs order), one row a group.
constexpr uint8_t kToneGroups[8][kToneTypes] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  //
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  //
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  //
    {2, 2, 2, 1, 1, 1, 1, 3, 1, 1, 1, 1, 2},  //
    {2, 2, 2, 1, 1, 1, 1, 3, 1, 1, 2, 1, 2},  //
    {2, 2, 2, 1, 1, 1, 1, 2, 1, 1, 3, 1, 2},  //
    {2, 2, 2, 2, 1, 2, 1, 3, 2, 1, 1, 1, 2},  //
    {1, 3, 3, 1, 1, 1, 1, 4, 1, 1, 1, 1, 3},  //
};
// The group a matching row answers: rows that differ only in the call
// waiting tone cannot be told apart, so they answer the first of them.
constexpr std::array<int16_t, 8> kRowGroup{0, 1, 1, 3, 3, 5, 6, 7};
constexpr int16_t kNoGroup = -1;

HRESULT setToneGroup(ScriptObject& object, const Args& args, Value&) {
  const int32_t group = args.i32(0);
  if (!kToneGroup.holds(group)) return E_INVALIDARG;
  return object.settings<A>(AnyUt, [&](A& settings) {
    for (int k = 0; k < kToneTypes; ++k) {
      if (k == kCallWaiting) continue;
      uint8_t index = kToneGroups[group][k];
      HRESULT hr = settings.ToneIndex(SET_PARAM, static_cast<AFUTToneIDs>(k), &index);
      if (FAILED(hr) && k != kMessageWaiting) return hr;
    }
    return S_OK;
  });
}

HRESULT getToneGroup(ScriptObject& object, const Args&, Value& result) {
  return object.settings<A>(AnyUt, [&](A& settings) {
    std::array<uint8_t, kToneTypes> indexes{};
    bool messageWaiting = true;
    for (int k = 0; k < kToneTypes; ++k) {
      HRESULT hr = settings.ToneIndex(GET_PARAM, static_cast<AFUTToneIDs>(k), &indexes[k]);
      if (FAILED(hr)) {
        if (k != kMessageWaiting) return hr;
        messageWaiting = false;
      }
    }
    int16_t group = kNoGroup;
    for (std::size_t row = 0; row < kRowGroup.size() && group == kNoGroup; ++row) {
      bool matches = true;
      for (int k = 0; k < kToneTypes; ++k) {
        if (k == kCallWaiting || (k == kMessageWaiting && !messageWaiting)) continue;
        matches = matches && indexes[k] == kToneGroups[row][k];
      }
      if (matches) group = kRowGroup[row];
    }
    result = group;
    return S_OK;
  });
}

// --- selectors: the script's numbering of the tones ------------------------------------------------------

constexpr std::array<AFUTToneIDs, 12> kSelectorTones{
    AFUT_RING,          AFUT_DIAL,     AFUT_BUSY,   AFUT_REORDER, AFUT_RINGBACK, AFUT_INTERCEPT,
    AFUT_ABRV_INTERCEPT, AFUT_ABRV_REORDER, AFUT_CONFIRM, AFUT_ANSWER, AFUT_COMFORT, AFUT_MSGWAITING};

std::optional<AFUTToneIDs> selectorTone(int32_t selector) {
  if (selector < 0 || selector >= static_cast<int32_t>(kSelectorTones.size())) return std::nullopt;
  return kSelectorTones[static_cast<std::size_t>(selector)];
}

constexpr Range kToneIndex{0, 255};

HRESULT getSelector(ScriptObject& object, const Args& args, Value& result) {
  const std::optional<AFUTToneIDs> tone = selectorTone(args.i32(0));
  if (!tone) return E_INVALIDARG;
  return object.settings<A>(AnyUt, [&](A& settings) {
    uint8_t index = 0;
    HRESULT hr = settings.ToneIndex(GET_PARAM, *tone, &index);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(index);
    return hr;
  });
}

HRESULT putSelector(ScriptObject& object, const Args& args, Value&) {
  const std::optional<AFUTToneIDs> tone = selectorTone(args.i32(0));
  const int32_t value = args.i32(1);
  if (!tone || !kToneIndex.holds(value)) return E_INVALIDARG;
  return object.settings<A>(AnyUt, [&](A& settings) {
    uint8_t index = static_cast<uint8_t>(value);
    return settings.ToneIndex(SET_PARAM, *tone, &index);
  });
}

// --- descriptors: numbers as comma-separated text ------------------------------------------------------------

std::u16string joinNumbers(const std::vector<uint16_t>& numbers) {
  std::string text;
  for (uint16_t number : numbers) {
    if (!text.empty()) text += ',';
    text += std::to_string(static_cast<int>(number));
  }
  return vx::com::Utf8ToUtf16(text);
}

// Exactly `count` numbers separated by commas. Each is read as a short
// integer: blanks before it, an optional sign, digits; what follows the
// digits up to the comma is ignored, and the value keeps its low 16 bits.
std::optional<std::vector<uint16_t>> splitNumbers(std::u16string_view text, std::size_t count) {
  const std::string narrow = vx::com::Utf16ToUtf8(text);
  std::vector<uint16_t> numbers;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = narrow.find(',', start);
    const std::string piece = narrow.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    char* end = nullptr;
    const long value = std::strtol(piece.c_str(), &end, 10);
    if (end == piece.c_str()) return std::nullopt;
    numbers.push_back(static_cast<uint16_t>(value));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (numbers.size() != count) return std::nullopt;
  return numbers;
}

constexpr std::size_t kToneSteps = 8;
constexpr std::size_t kDtmfKeys = 10;

// Tone and duration of step 0, then of step 1, and so on.
HRESULT getCustomDescriptor(ScriptObject& object, const Args& args, Value& result) {
  const std::optional<AFUTToneIDs> tone = selectorTone(args.i32(0));
  if (!tone) return E_INVALIDARG;
  return object.settings<A>(AnyUt, [&](A& settings) {
    nv_afut_custom_tone_type custom{};
    custom.toneType = *tone;
    HRESULT hr = settings.CustomTone(GET_PARAM, &custom);
    if (FAILED(hr)) return hr;
    std::vector<uint16_t> numbers;
    for (std::size_t step = 0; step < kToneSteps; ++step) {
      numbers.push_back(custom.tone[step]);
      numbers.push_back(custom.duration_ms[step]);
    }
    result = joinNumbers(numbers);
    return hr;
  });
}

HRESULT putCustomDescriptor(ScriptObject& object, const Args& args, Value&) {
  const std::optional<AFUTToneIDs> tone = selectorTone(args.i32(0));
  const std::optional<std::vector<uint16_t>> numbers = splitNumbers(args.text(1), 2 * kToneSteps);
  if (!tone || !numbers) return E_INVALIDARG;
  nv_afut_custom_tone_type custom{};
  custom.valid = 1;
  custom.toneType = *tone;
  for (std::size_t step = 0; step < kToneSteps; ++step) {
    custom.tone[step] = (*numbers)[2 * step];
    custom.duration_ms[step] = (*numbers)[2 * step + 1];
  }
  return object.settings<A>(AnyUt, [&](A& settings) { return settings.CustomTone(SET_PARAM, &custom); });
}

// High and low tone index of key 0, then of key 1, and so on.
HRESULT getCustomDtmfDescriptor(ScriptObject& object, const Args&, Value& result) {
  return object.settings<A>(AnyUt, [&](A& settings) {
    nv_afut_custom_dtmf_tone_type dtmf{};
    HRESULT hr = settings.CustomDTMF(GET_PARAM, &dtmf);
    if (FAILED(hr)) return hr;
    std::vector<uint16_t> numbers;
    for (std::size_t key = 0; key < kDtmfKeys; ++key) {
      numbers.push_back(dtmf.index_hi[key]);
      numbers.push_back(dtmf.index_lo[key]);
    }
    result = joinNumbers(numbers);
    return hr;
  });
}

HRESULT putCustomDtmfDescriptor(ScriptObject& object, const Args& args, Value&) {
  const std::optional<std::vector<uint16_t>> numbers = splitNumbers(args.text(0), 2 * kDtmfKeys);
  if (!numbers) return E_INVALIDARG;
  nv_afut_custom_dtmf_tone_type dtmf{};
  dtmf.valid = 1;
  for (std::size_t key = 0; key < kDtmfKeys; ++key) {
    dtmf.index_hi[key] = (*numbers)[2 * key];
    dtmf.index_lo[key] = (*numbers)[2 * key + 1];
  }
  return object.settings<A>(AnyUt, [&](A& settings) { return settings.CustomDTMF(SET_PARAM, &dtmf); });
}

}  // namespace

void addAfutMembers(MemberRows& rows) {
  addProperty(rows, "NoDialedDigitsReceivedTimeout", "", "", 'i', &getScalar<&A::NoDialedDigitsTimeout, AnyUt>,
              &putScalar<&A::NoDialedDigitsTimeout, AnyUt>);
  addProperty(rows, "EndOfDialingStringTimeout", "", "", 'i', &getScalar<&A::DialingEndTimeout, AnyUt>,
              &putScalar<&A::DialingEndTimeout, AnyUt>);
  addMethod(rows, "SetToneGroup", "n", "sToneGroup", "", &setToneGroup);
  addMethod(rows, "GetToneGroup", "", "", "n", &getToneGroup);
  addProperty(rows, "Selector", "n", "sSelectorID", 'i', &getSelector, &putSelector);
  addProperty(rows, "CustomDescriptor", "n", "sSelectorID", 's', &getCustomDescriptor, &putCustomDescriptor);
  addProperty(rows, "CustomDTMFDescriptor", "", "", 's', &getCustomDtmfDescriptor, &putCustomDtmfDescriptor);
  addProperty(rows, "PayPhonePBXEndCallWinkDuration", "", "", 'i', &getScalar<&IAFUTSettings_1_3::EndCallWink, AnyUt>,
              &putScalar<&IAFUTSettings_1_3::EndCallWink, AnyUt>);
}

}  // namespace vx::script
