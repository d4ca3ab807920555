// The shapes the settings members share, written once and instantiated per
// row with the configuration method they call. Every shape checks its
// arguments before it touches the UT, then runs the settings prologue of
// the script object (connected, module rule, interface).
#pragma once

#include <climits>
#include <optional>
#include <type_traits>

#include "member_table.h"
#include "ut_charset.h"

namespace vx::script {
// Names travel in the UT's character set (shared with the service tool).
using vx::utconfig::decodeUtText;
using vx::utconfig::encodeUtText;
}  // namespace vx::script

namespace vx::script::shapes {

// Whether a member refuses a module UT.
inline constexpr bool M = true;
inline constexpr bool AnyUt = false;

// A closed range of accepted values.
struct Range {
  int32_t low;
  int32_t high;
  constexpr bool holds(int32_t v) const { return v >= low && v <= high; }
};
inline constexpr Range kAnyValue{INT32_MIN, INT32_MAX};
inline constexpr Range kNamRange{0, 2};

// The interface and value type of a configuration method, by its form.
template <class>
struct MethodForm;
// Method(GetSetType, T set, T* get)
template <class I, class T>
struct MethodForm<HRESULT (I::*)(GetSetType, T, T*)> {
  using Interface = I;
  using Type = T;
};
// Method(GetSetType, int nNAM, T set, T* get)
template <class I, class T>
struct MethodForm<HRESULT (I::*)(GetSetType, int32_t, T, T*)> {
  using Interface = I;
  using Type = T;
};
// Enum-backed: Method(GetSetType, LPWSTR szSet, ULONG ulSet, ULONG*, LPWSTR*)
template <class I>
struct MethodForm<HRESULT (I::*)(GetSetType, LPWSTR, uint32_t, uint32_t*, LPWSTR*)> {
  using Interface = I;
};
// Enum-backed per NAM: Method(GetSetType, int nNAM, LPWSTR, ULONG, ULONG*, LPWSTR*)
template <class I>
struct MethodForm<HRESULT (I::*)(GetSetType, int32_t, LPWSTR, uint32_t, uint32_t*, LPWSTR*)> {
  using Interface = I;
};
// Text: Method(GetSetType, LPWSTR szSet, LPWSTR* result)
template <class I>
struct MethodForm<HRESULT (I::*)(GetSetType, LPWSTR, LPWSTR*)> {
  using Interface = I;
};
// Text per NAM: Method(GetSetType, int nIndex, LPWSTR szSet, LPWSTR* result)
template <class I>
struct MethodForm<HRESULT (I::*)(GetSetType, int32_t, LPWSTR, LPWSTR*)> {
  using Interface = I;
};
// Any other form: records and the like, whose rows name their interface.
template <class I, class... A>
struct MethodForm<HRESULT (I::*)(A...)> {
  using Interface = I;
};

template <auto Method>
using InterfaceOf = typename MethodForm<decltype(Method)>::Interface;
template <auto Method>
using ValueOf = typename MethodForm<decltype(Method)>::Type;

// Takes a task-allocated string from an out parameter (null reads empty).
std::u16string takeText(LPWSTR text);

// --- scalars ----------------------------------------------------------------------------------

template <auto Method, bool RefusesModule>
HRESULT getScalar(ScriptObject& object, const Args&, Value& result) {
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    ValueOf<Method> value{};
    HRESULT hr = (settings.*Method)(GET_PARAM, ValueOf<Method>{}, &value);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(value);
    return hr;
  });
}

template <auto Method, bool RefusesModule, Range Accepted = kAnyValue>
HRESULT putScalar(ScriptObject& object, const Args& args, Value&) {
  const int32_t value = args.i32(0);
  if (!Accepted.holds(value)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    return (settings.*Method)(SET_PARAM, static_cast<ValueOf<Method>>(value), nullptr);
  });
}

// Per NAM: the first argument is sNAM, 0..2.
template <auto Method, bool RefusesModule>
HRESULT getNamScalar(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    ValueOf<Method> value{};
    HRESULT hr = (settings.*Method)(GET_PARAM, nam, ValueOf<Method>{}, &value);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(value);
    return hr;
  });
}

template <auto Method, bool RefusesModule, Range Accepted = kAnyValue>
HRESULT putNamScalar(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t value = args.i32(1);
  if (!kNamRange.holds(nam) || !Accepted.holds(value)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    return (settings.*Method)(SET_PARAM, nam, static_cast<ValueOf<Method>>(value), nullptr);
  });
}

// --- enum-backed values: the member's number ----------------------------------------------------

template <auto Method, bool RefusesModule>
HRESULT getEnum(ScriptObject& object, const Args&, Value& result) {
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    uint32_t number = 0;
    LPWSTR name = nullptr;
    HRESULT hr = (settings.*Method)(GET_PARAM, nullptr, 0, &number, &name);
    takeText(name);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(number);
    return hr;
  });
}

template <auto Method, bool RefusesModule, Range Accepted = kAnyValue>
HRESULT putEnum(ScriptObject& object, const Args& args, Value&) {
  const int32_t value = args.i32(0);
  if (!Accepted.holds(value)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    return (settings.*Method)(SET_PARAM, nullptr, static_cast<uint32_t>(value), nullptr, nullptr);
  });
}

template <auto Method, bool RefusesModule>
HRESULT getNamEnum(ScriptObject& object, const Args& args, Value& result) {
  const int32_t nam = args.i32(0);
  if (!kNamRange.holds(nam)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    uint32_t number = 0;
    LPWSTR name = nullptr;
    HRESULT hr = (settings.*Method)(GET_PARAM, nam, nullptr, 0, &number, &name);
    takeText(name);
    if (SUCCEEDED(hr)) result = static_cast<int32_t>(number);
    return hr;
  });
}

template <auto Method, bool RefusesModule, Range Accepted = kAnyValue>
HRESULT putNamEnum(ScriptObject& object, const Args& args, Value&) {
  const int32_t nam = args.i32(0);
  const int32_t value = args.i32(1);
  if (!kNamRange.holds(nam) || !Accepted.holds(value)) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    return (settings.*Method)(SET_PARAM, nam, nullptr, static_cast<uint32_t>(value), nullptr, nullptr);
  });
}

// --- text through the UT character set ----------------------------------------------------------

template <auto Method, bool RefusesModule>
HRESULT getText(ScriptObject& object, const Args&, Value& result) {
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    LPWSTR text = nullptr;
    HRESULT hr = (settings.*Method)(GET_PARAM, nullptr, &text);
    std::u16string codes = takeText(text);
    if (SUCCEEDED(hr)) result = decodeUtText(codes, object.unicodeUt());
    return hr;
  });
}

// Whether a text to be written goes to the UT as it is. A module UT that
// the member refuses is not asked for its character set: the prologue
// refuses it next, and the member then leaves the UT alone.
inline bool unicodeForPut(ScriptObject& object, bool refusesModule) {
  return (refusesModule && object.moduleUt()) || object.unicodeUt();
}

// The text is encoded before the call: an unmappable character is the
// caller's error, not the setting's.
template <auto Method, bool RefusesModule>
HRESULT putText(ScriptObject& object, const Args& args, Value&) {
  std::optional<std::u16string> codes = encodeUtText(args.text(0), unicodeForPut(object, RefusesModule));
  if (!codes) return E_INVALIDARG;
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    return (settings.*Method)(SET_PARAM, codes->data(), nullptr);
  });
}

// Codes of digits (lock codes, the AMPS PIN): plain text, no code page.
template <auto Method, bool RefusesModule>
HRESULT getCode(ScriptObject& object, const Args&, Value& result) {
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    LPWSTR text = nullptr;
    HRESULT hr = (settings.*Method)(GET_PARAM, nullptr, &text);
    std::u16string code = takeText(text);
    if (SUCCEEDED(hr)) result = std::move(code);
    return hr;
  });
}

template <auto Method, bool RefusesModule>
HRESULT putCode(ScriptObject& object, const Args& args, Value&) {
  std::u16string code(args.text(0));
  return object.settings<InterfaceOf<Method>>(RefusesModule, [&](auto& settings) {
    return (settings.*Method)(SET_PARAM, code.data(), nullptr);
  });
}

}  // namespace vx::script::shapes
