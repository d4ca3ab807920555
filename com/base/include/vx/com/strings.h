// UTF-8 <-> UTF-16 conversion. Wide text crossing interfaces is UTF-16
// (char16_t); narrow text is UTF-8.
//
// Invalid input never fails the lenient forms: an ill-formed UTF-8
// sequence becomes one U+FFFD per maximal invalid subpart (the Unicode
// recommended practice; overlong forms, encoded surrogates, values above
// U+10FFFF and truncated sequences are all ill-formed), and an unpaired
// UTF-16 surrogate becomes U+FFFD. The strict forms refuse such input.
// Embedded NULs are ordinary characters in all of them. Like any growing
// std::string they may throw std::bad_alloc: an interface method that calls
// them catches it and answers E_OUTOFMEMORY.
#pragma once

#include <string>
#include <string_view>

#include "vx/com/types.h"

namespace vx::com {

VXCOM_API std::u16string Utf8ToUtf16(std::string_view text);
VXCOM_API std::string Utf16ToUtf8(std::u16string_view text);

// False (and `out` unchanged) when the input is not well-formed.
VXCOM_API bool TryUtf8ToUtf16(std::string_view text, std::u16string* out);
VXCOM_API bool TryUtf16ToUtf8(std::u16string_view text, std::string* out);

// 8-bit text in the UT's code page, Windows-1252, and back. Every byte
// decodes: 0x80..0x9F by the code page's table, its five unassigned bytes
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the C1 control of the same value, and
// 0xA0..0xFF as Latin-1. Encoding is the exact inverse; a character the code
// page lacks (a surrogate pair counts as one) becomes '?'.
VXCOM_API std::u16string Windows1252ToUtf16(std::string_view text);
VXCOM_API std::string Utf16ToWindows1252(std::u16string_view text);

// Length of a NUL-terminated wide string; 0 for null.
VXCOM_API std::size_t WideLength(LPCOLESTR text) noexcept;

}  // namespace vx::com
