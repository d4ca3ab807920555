// BSTR: a length-prefixed UTF-16 string. The pointer addresses the first
// character; the 32-bit byte length sits just before it and a NUL
// terminator just after the last character, so a BSTR also reads as a
// NUL-terminated string when it holds no embedded NULs. A null BSTR is the
// empty string.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "vx/com/strings.h"
#include "vx/com/types.h"

using BSTR = OLECHAR*;

extern "C" {
// A copy of a NUL-terminated string; null for a null argument or when out
// of memory.
VXCOM_API BSTR SysAllocString(const OLECHAR* psz);
// `ui` characters copied from `pch` (which may hold NULs), or left zeroed
// when `pch` is null.
VXCOM_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui);
// `len` bytes copied from `psz` (zeroed when null); the length prefix
// counts bytes, so SysStringLen gives len / 2.
VXCOM_API BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replaces *pbstr by a copy of psz (freeing the old one); FALSE, with
// *pbstr unchanged, when out of memory.
VXCOM_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
VXCOM_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
VXCOM_API UINT SysStringLen(BSTR bstr);      // characters; 0 for null
VXCOM_API UINT SysStringByteLen(BSTR bstr);  // bytes; 0 for null
VXCOM_API void SysFreeString(BSTR bstr);     // null is allowed
}

namespace vx::com {

// Owns one BSTR.
class Bstr {
 public:
  static constexpr std::size_t kMaxLength = 0x7FFFFFF0u / 2;

  Bstr() noexcept = default;
  // Null (as when out of memory) for text too long for a BSTR.
  explicit Bstr(std::u16string_view text) noexcept
      : b_(text.size() > kMaxLength ? nullptr
                                    : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  static Bstr FromUtf8(std::string_view text) { return Bstr(Utf8ToUtf16(text)); }
  // Adopts a BSTR the caller owns.
  static Bstr Attach(BSTR b) noexcept {
    Bstr owned;
    owned.b_ = b;
    return owned;
  }
  // A copy of a null BSTR stays null.
  Bstr(const Bstr& other) noexcept : b_(other.b_ != nullptr ? Bstr(other.view()).Detach() : nullptr) {}
  Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
  Bstr& operator=(Bstr other) noexcept {
    std::swap(b_, other.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  BSTR Get() const noexcept { return b_; }
  UINT Length() const noexcept { return SysStringLen(b_); }
  std::u16string_view view() const noexcept { return {b_ != nullptr ? b_ : u"", Length()}; }
  std::string Utf8() const { return Utf16ToUtf8(view()); }

  // Out-parameter use: frees the held string first.
  BSTR* ReleaseAndGetAddressOf() noexcept {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  // Gives the string away (the receiver frees it).
  BSTR Detach() noexcept { return std::exchange(b_, nullptr); }

 private:
  BSTR b_ = nullptr;
};

}  // namespace vx::com
