#include "task_text.h"

#include <algorithm>
#include <cstring>

namespace vx::connect {

HRESULT shortText(std::string_view text, LPWSTR* out) {
  auto* block = static_cast<LPWSTR>(CoTaskMemAlloc(kShortTextBytes));
  if (block == nullptr) return E_OUTOFMEMORY;
  std::memset(block, 0, kShortTextBytes);
  const std::size_t units = std::min(text.size(), kShortTextBytes / sizeof(WCHAR) - 1);
  for (std::size_t i = 0; i < units; ++i) block[i] = static_cast<unsigned char>(text[i]);
  *out = block;
  return S_OK;
}

HRESULT wideText(std::u16string_view text, LPWSTR* out) {
  LPWSTR block = vx::com::CoTaskMemStrDup(text);
  if (block == nullptr) return E_OUTOFMEMORY;
  *out = block;
  return S_OK;
}

}  // namespace vx::connect
