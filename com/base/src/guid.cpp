#include "vx/com/guid.h"

#include <cstdio>
#include <cstring>

#include "vx/com/runtime.h"
#include "vx/com/strings.h"
#include "vx/com/task_memory.h"

namespace vx::com {

std::optional<GUID> ParseGuid(std::string_view text) {
  GUID g{};
  if (!detail::parseGuid(text.data(), text.size(), &g)) return std::nullopt;
  return g;
}

std::optional<GUID> ParseGuid(std::u16string_view text) {
  GUID g{};
  if (!detail::parseGuid(text.data(), text.size(), &g)) return std::nullopt;
  return g;
}

std::string GuidToString(REFGUID g) {
  char buffer[kGuidTextLength + 1];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return std::string(buffer, kGuidTextLength);
}

std::u16string GuidToString16(REFGUID g) {
  std::string narrow = GuidToString(g);
  return std::u16string(narrow.begin(), narrow.end());
}

}  // namespace vx::com

extern "C" {

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) {
  if (buffer == nullptr || cchMax < static_cast<int>(vx::com::kGuidTextLength + 1)) return 0;
  std::string narrow = vx::com::GuidToString(guid);
  for (std::size_t i = 0; i < narrow.size(); ++i) buffer[i] = static_cast<OLECHAR>(narrow[i]);
  buffer[narrow.size()] = 0;
  return static_cast<int>(narrow.size() + 1);
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
  if (text == nullptr) return E_INVALIDARG;
  *text = static_cast<LPOLESTR>(CoTaskMemAlloc((vx::com::kGuidTextLength + 1) * sizeof(OLECHAR)));
  if (*text == nullptr) return E_OUTOFMEMORY;
  StringFromGUID2(clsid, *text, static_cast<int>(vx::com::kGuidTextLength + 1));
  return S_OK;
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* text) { return StringFromCLSID(iid, text); }

HRESULT IIDFromString(LPCOLESTR text, LPIID iid) {
  if (text == nullptr || iid == nullptr) return E_INVALIDARG;
  auto parsed = vx::com::ParseGuid(std::u16string_view(text, vx::com::WideLength(text)));
  if (!parsed) return E_INVALIDARG;
  *iid = *parsed;
  return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (text == nullptr || clsid == nullptr) return E_INVALIDARG;
  std::u16string_view view(text, vx::com::WideLength(text));
  if (!view.empty() && view.front() == u'{') {
    auto parsed = vx::com::ParseGuid(view);
    if (!parsed) return CO_E_CLASSSTRING;
    *clsid = *parsed;
    return S_OK;
  }
  return CLSIDFromProgID(text, clsid);
}

}  // extern "C"
