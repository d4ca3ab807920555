// The simple method shapes, driven by settings rows: the common prologue,
// scalars with their type check, booleans (over display enums and plain
// numeric flags), enums and character rows.
#pragma once

#include <type_traits>

#include "nv_path.h"
#include "nv_port.h"
#include "settings_table.h"
#include "vx/com/no_throw.h"
#include "vxutconfig.h"

namespace vx::utconfig {

inline bool IsGet(GetSetType gstType) { return gstType == GET_PARAM; }

// The check every method makes first: its pointers, then the attachment,
// then the caller's index against the row's range.
inline HRESULT Prologue(IVexParams1* params, bool pointersGiven, const IndexRange& range, int index) {
  if (!pointersGiven) return E_INVALIDARG;
  if (params == nullptr) return UTC_E_NOT_ATTACHED;
  if (!range.contains(index)) return E_INVALIDARG;
  return S_OK;
}

// Scalar: one leaf at the row's path (with index n, element k). Get checks
// the row's data type and narrows to T; set writes the value, 8-bit values
// as their 8 bits.
template <class T>
HRESULT ScalarShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, T set, T* out, int k = 0) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const HRESULT hr = Prologue(params, !IsGet(gstType) || out != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string path = NvPath(row.path, n, k);
    if (!IsGet(gstType)) {
      return nv.write(path, static_cast<UI4>(static_cast<std::make_unsigned_t<T>>(set)));
    }
    UI4 value = 0;
    const HRESULT read = nv.readChecked(path, row.type, &value);
    if (FAILED(read)) return read;
    *out = static_cast<T>(value);
    return S_OK;
  });
}

// A flag kept as a three-member display enum (ui_on_off_display_type and
// the like, named by the path's last component).
HRESULT EnumFlagShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, int32_t set, int32_t* out);
// A numeric flag: get gives 0 or 1, set writes the value as given. `path`
// is the row's path or one of its alternatives.
HRESULT NumericFlagShape(IVexParams1* params, const Row& row, const char* path, GetSetType gstType, int n, int32_t set,
                         int32_t* out);
// An enum leaf by member name or number. `path` as above.
HRESULT EnumShape(IVexParams1* params, const Row& row, const char* path, GetSetType gstType, int n, LPWSTR szSet,
                  uint32_t ulSet, uint32_t* pulResult, LPWSTR* ppszResult);
// Text kept one character per leaf, row.count leaves.
HRESULT CharRowShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet, LPWSTR* ppszResult);

// The pieces of a character row, for methods that do more around it.
// Reads row.count leaves into a new 25-unit, zero-filled task block.
HRESULT ReadCharRow(const NvPort& nv, const char* pathTemplate, int n, int count, LPWSTR* text);
// Writes the first `count` units of `text`, spaces after its end.
HRESULT WriteCharRow(const NvPort& nv, const char* pathTemplate, int n, int count, LPCWSTR text);

}  // namespace vx::utconfig
