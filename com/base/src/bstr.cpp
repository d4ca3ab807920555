#include "vx/com/bstr.h"

#include <cstdlib>
#include <cstring>

// Layout of one block: the 32-bit byte length, the bytes, then two zero
// bytes, so that the string is NUL-terminated even with an odd byte count.
namespace {

constexpr std::size_t kPrefix = sizeof(uint32_t);
constexpr UINT kMaxBytes = 0x7FFFFFF0u;

char* blockOf(BSTR b) { return reinterpret_cast<char*>(b) - kPrefix; }

BSTR allocBytes(const void* source, UINT bytes) {
  if (bytes > kMaxBytes) return nullptr;
  auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  uint32_t length = bytes;
  std::memcpy(block, &length, kPrefix);
  if (source != nullptr) {
    std::memcpy(block + kPrefix, source, bytes);
  } else {
    std::memset(block + kPrefix, 0, bytes);
  }
  std::memset(block + kPrefix + bytes, 0, sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(block + kPrefix);
}

}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  std::size_t length = vx::com::WideLength(psz);
  if (length > kMaxBytes / sizeof(OLECHAR)) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(length));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui) {
  if (ui > kMaxBytes / sizeof(OLECHAR)) return nullptr;
  return allocBytes(pch, static_cast<UINT>(ui * sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return allocBytes(psz, len); }

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  // A fresh copy first: psz may point into the old string.
  BSTR fresh = SysAllocStringLen(psz, len);
  if (fresh == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  std::size_t length = vx::com::WideLength(psz);
  if (length > kMaxBytes / sizeof(OLECHAR)) return FALSE;
  return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(length));
}

UINT SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  uint32_t length;
  std::memcpy(&length, blockOf(bstr), kPrefix);
  return length;
}

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }

void SysFreeString(BSTR bstr) {
  if (bstr != nullptr) std::free(blockOf(bstr));
}

}  // extern "C"
