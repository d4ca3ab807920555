// Texts handed to callers through LPWSTR*, allocated with the task
// allocator; the caller frees them with CoTaskMemFree.
#pragma once

#include <string>
#include <string_view>

#include "vxcom.h"

namespace vx::connect {

// The size of the block a short text result gets.
inline constexpr std::size_t kShortTextBytes = 200;

// A zeroed kShortTextBytes block holding the (ASCII) text, cut to fit with
// its terminator. E_OUTOFMEMORY when the block cannot be had.
HRESULT shortText(std::string_view text, LPWSTR* out);
// A block just large enough for the text and its terminator.
HRESULT wideText(std::u16string_view text, LPWSTR* out);

}  // namespace vx::connect
