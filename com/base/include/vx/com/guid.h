// GUIDs (IIDs, CLSIDs): the 16-byte identifiers of interfaces and classes,
// written as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

#include "vx/com/types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
  friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPGUID = GUID*;
using LPCLSID = CLSID*;
using LPIID = IID*;

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};
inline constexpr CLSID CLSID_NULL{};

constexpr bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

namespace vx::com {

// Characters of the braced text form, terminator excluded.
inline constexpr std::size_t kGuidTextLength = 38;

namespace detail {
template <class Char>
constexpr int hexValue(Char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The one parser behind both the run-time and the compile-time forms.
template <class Char>
constexpr bool parseGuid(const Char* text, std::size_t length, GUID* out) {
  if (length != kGuidTextLength || text[0] != '{' || text[37] != '}') return false;
  // Offsets of the dashes; every other character between the braces is hex.
  for (std::size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash) {
      if (text[i] != '-') return false;
    } else if (hexValue(text[i]) < 0) {
      return false;
    }
  }
  auto hex = [text](std::size_t from, std::size_t digits) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < digits; ++i)
      v = (v << 4) | static_cast<uint32_t>(hexValue(text[from + i]));
    return v;
  };
  GUID g{};
  g.Data1 = hex(1, 8);
  g.Data2 = static_cast<uint16_t>(hex(10, 4));
  g.Data3 = static_cast<uint16_t>(hex(15, 4));
  g.Data4[0] = static_cast<uint8_t>(hex(20, 2));
  g.Data4[1] = static_cast<uint8_t>(hex(22, 2));
  for (std::size_t i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(hex(25 + 2 * i, 2));
  *out = g;
  return true;
}
}  // namespace detail

// A GUID constant from its text, checked by the compiler:
//   inline constexpr CLSID CLSID_Foo = vx::com::MakeGuid("{...}");
consteval GUID MakeGuid(const char (&text)[kGuidTextLength + 1]) {
  GUID g{};
  if (!detail::parseGuid(text, kGuidTextLength, &g)) throw "malformed GUID text";
  return g;
}

// The braced form, upper-case hex digits, exactly 38 characters; any other
// text (no braces, wrong length, misplaced dashes, non-hex digits) is refused.
VXCOM_API std::optional<GUID> ParseGuid(std::string_view text);
VXCOM_API std::optional<GUID> ParseGuid(std::u16string_view text);
VXCOM_API std::string GuidToString(REFGUID guid);
VXCOM_API std::u16string GuidToString16(REFGUID guid);

}  // namespace vx::com

extern "C" {
// Writes the braced form and a terminator into `buffer`; returns the number
// of characters written including the terminator, 0 when `cchMax` < 39.
VXCOM_API int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax);
// A task-allocated braced form (free with CoTaskMemFree).
VXCOM_API HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
VXCOM_API HRESULT StringFromIID(REFIID iid, LPOLESTR* text);
// Braced form only: E_INVALIDARG on anything else.
VXCOM_API HRESULT IIDFromString(LPCOLESTR text, LPIID iid);
// Braced form, or else a ProgID looked up in the class table;
// CO_E_CLASSSTRING when it is neither.
VXCOM_API HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
}
