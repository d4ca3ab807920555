// The task allocator: memory that crosses an interface (strings returned
// through LPWSTR*, for example) is allocated by the callee with
// CoTaskMemAlloc and freed by the caller with CoTaskMemFree, whichever
// library either side lives in.
#pragma once

#include <string_view>

#include "vx/com/types.h"

extern "C" {
// A block of `cb` bytes (at least one byte is reserved for cb = 0), or null.
VXCOM_API void* CoTaskMemAlloc(std::size_t cb);
// Resizes like realloc: null `pv` allocates, the old block stays valid when
// the call fails (null result).
VXCOM_API void* CoTaskMemRealloc(void* pv, std::size_t cb);
// Null is allowed.
VXCOM_API void CoTaskMemFree(void* pv);
}

namespace vx::com {

// A task-allocated, NUL-terminated copy; null when the allocation fails.
VXCOM_API LPOLESTR CoTaskMemStrDup(std::u16string_view text) noexcept;
// The same from UTF-8 (converted as Utf8ToUtf16 does).
VXCOM_API LPOLESTR CoTaskMemStrDupUtf8(std::string_view text) noexcept;

}  // namespace vx::com
