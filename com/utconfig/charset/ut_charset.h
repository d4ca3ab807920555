// The 8-bit character set of UTs without Unicode names: ASCII below 0x7F,
// then Cyrillic and the accented Latin letters of the UT's own code page.
// On UTs with Unicode names both directions pass characters through. The
// script server and the service tool both read and write names with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::utconfig {

// The encoder's answer for a character the code page does not hold.
inline constexpr uint16_t kUnmappable = 0xFFFE;

// One UT code to Unicode; codes above 0xFF and the code page's gaps give '?'.
char16_t decodeUtChar(uint16_t code);
// One Unicode character to its UT code, or kUnmappable.
uint16_t encodeUtChar(char16_t ch);

// Whole texts. Each UT code travels as one UTF-16 unit, which is how the
// configuration object takes and gives names of non-Unicode UTs. Encoding
// fails (nullopt) on the first unmappable character.
std::u16string decodeUtText(std::u16string_view codes, bool unicodeUt);
std::optional<std::u16string> encodeUtText(std::u16string_view text, bool unicodeUt);

}  // namespace vx::utconfig
