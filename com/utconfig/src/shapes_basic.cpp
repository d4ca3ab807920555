#include "shapes_basic.h"

#include <cstring>

#include "vx/com/no_throw.h"
#include "vx/com/task_memory.h"

namespace vx::utconfig {

namespace {

// The members of one display-enum flag type.
struct FlagNames {
  const char* type;
  const char* first;  // reads as 0
  const char* off;    // reads as 0, written for anything but 1
  const char* on;     // reads as 1, written for 1
};

constexpr FlagNames kFlagTypes[] = {
    {"ui_on_off_display_type", "UI_ON_OFF_DISPLAY_FIRST", "UI_OFF_DISPLAY", "UI_ON_DISPLAY"},
    {"ui_yes_no_type", "UI_YES_NO_DISPLAY_FIRST", "UI_NO_DISPLAY", "UI_YES_DISPLAY"},
    {"ui_send_pin_type", "UI_SEND_PIN_DISPLAY_FIRST", "UI_NEVER_DISPLAY", "UI_PROMPT_DISPLAY"},
    {"ui_cell_preference_user_control", "UI_CELL_PREFERENCE_FIRST", "UI_CELL_PREFERENCE_NOT_USER_CONTROLLABLE",
     "UI_CELL_PREFERENCE_USER_CONTROLLABLE"},
};

const FlagNames* flagNamesOf(const char* path) {
  const char* dot = std::strrchr(path, '.');
  const char* type = dot != nullptr ? dot + 1 : path;
  for (const FlagNames& names : kFlagTypes) {
    if (std::strcmp(names.type, type) == 0) return &names;
  }
  return nullptr;
}

bool sameText(const std::u16string& wide, const char* ascii) {
  const std::size_t length = std::strlen(ascii);
  if (wide.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (wide[i] != static_cast<char16_t>(static_cast<unsigned char>(ascii[i]))) return false;
  }
  return true;
}

constexpr std::size_t kCharRowUnits = 25;

}  // namespace

HRESULT EnumFlagShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, int32_t set, int32_t* out) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const HRESULT hr = Prologue(params, !IsGet(gstType) || out != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const FlagNames* names = flagNamesOf(row.path);
    if (names == nullptr) return E_UNEXPECTED;  // a row naming no flag type
    const NvPort nv(params);
    const std::string path = NvPath(row.path, n);
    if (!IsGet(gstType)) {
      // Only exactly 1 selects "on": an automation true (-1) writes "off".
      const std::u16string member = vx::com::Utf8ToUtf16(set == 1 ? names->on : names->off);
      return nv.writeEnumName(path, member.c_str());
    }
    std::u16string member;
    const HRESULT read = nv.readEnumName(path, &member);
    if (FAILED(read)) return read;
    if (sameText(member, names->first) || sameText(member, names->off)) {
      *out = 0;
      return S_OK;
    }
    *out = 1;
    return sameText(member, names->on) ? S_OK : UTC_E_UNEXPECTED_MEMBER;
  });
}

HRESULT NumericFlagShape(IVexParams1* params, const Row& row, const char* path, GetSetType gstType, int n, int32_t set,
                         int32_t* out) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const HRESULT hr = Prologue(params, !IsGet(gstType) || out != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    if (!IsGet(gstType)) return nv.write(NvPath(path, n), static_cast<UI4>(set));
    UI4 value = 0;
    const HRESULT read = nv.readChecked(NvPath(path, n), NV_UNKNOWN, &value);
    if (FAILED(read)) return read;
    *out = value != 0 ? 1 : 0;
    return S_OK;
  });
}

HRESULT EnumShape(IVexParams1* params, const Row& row, const char* path, GetSetType gstType, int n, LPWSTR szSet,
                  uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    const HRESULT hr = Prologue(params, !get || (pulResult != nullptr && ppszResult != nullptr), row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string leaf = NvPath(path, n);
    if (!get) return szSet != nullptr ? nv.writeEnumName(leaf, szSet) : nv.writeEnumValue(leaf, ulSet);
    LPWSTR name = nullptr;
    UI4 value = 0;
    const HRESULT read = nv.readEnum(leaf, &name, &value);
    if (FAILED(read)) return read;
    *ppszResult = name;
    *pulResult = value;
    return S_OK;
  });
}

HRESULT ReadCharRow(const NvPort& nv, const char* pathTemplate, int n, int count, LPWSTR* text) {
  auto* buffer = static_cast<LPWSTR>(CoTaskMemAlloc(kCharRowUnits * sizeof(char16_t)));
  if (buffer == nullptr) return E_OUTOFMEMORY;
  std::memset(buffer, 0, kCharRowUnits * sizeof(char16_t));
  HRESULT hr = S_OK;
  try {
    for (int k = 0; k < count && k < static_cast<int>(kCharRowUnits) - 1; ++k) {
      UI4 value = 0;
      hr = nv.readChecked(NvPath(pathTemplate, n, k), NV_UNKNOWN, &value);
      if (FAILED(hr)) break;
      buffer[k] = static_cast<char16_t>(value);
    }
  } catch (...) {
    CoTaskMemFree(buffer);
    throw;
  }
  if (FAILED(hr)) {
    CoTaskMemFree(buffer);
    return hr;
  }
  *text = buffer;
  return S_OK;
}

HRESULT WriteCharRow(const NvPort& nv, const char* pathTemplate, int n, int count, LPCWSTR text) {
  const std::size_t length = vx::com::WideLength(text);
  for (int k = 0; k < count; ++k) {
    const char16_t unit = static_cast<std::size_t>(k) < length ? text[k] : u' ';
    const HRESULT hr = nv.write(NvPath(pathTemplate, n, k), unit);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CharRowShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet, LPWSTR* ppszResult) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    const HRESULT hr = Prologue(params, get ? ppszResult != nullptr : szSet != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    if (!get) return WriteCharRow(nv, row.path, n, row.count, szSet);
    return ReadCharRow(nv, row.path, n, row.count, ppszResult);
  });
}

}  // namespace vx::utconfig
