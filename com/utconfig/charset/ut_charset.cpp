#include "ut_charset.h"

#include <array>

namespace vx::utconfig {
namespace {

// Decoding of the codes 0x7F..0xFF; '?' marks a code without a character.
constexpr std::array<char16_t, 0x81> kHighCodes = [] {
  std::array<char16_t, 0x81> table{};
  auto at = [&table](unsigned code) -> char16_t& { return table[code - 0x7F]; };
  at(0x7F) = u'\u0401';
  for (unsigned c = 0x80; c <= 0x8E; ++c) at(c) = static_cast<char16_t>(0x0410 + (c - 0x80));
  at(0x8F) = u'?';
  constexpr char16_t upper[] = u"\u00C1\u00C2\u00C3\u00C4\u00C8\u00C9\u00CA\u00CB\u00CD\u00CE\u00CF";
  for (unsigned i = 0; i < 11; ++i) at(0x90 + i) = upper[i];
  at(0x9B) = u'?';
  constexpr char16_t upper2[] = u"\u00D3\u00D4\u00D5\u00D6\u00DA\u00DB\u00DC\u00D9\u00C7\u00D1";
  for (unsigned i = 0; i < 10; ++i) at(0x9C + i) = upper2[i];
  constexpr char16_t lower[] = u"\u00E0\u00E1\u00E2\u00E3\u00E4\u00E8\u00E9\u00EA\u00EB\u00ED\u00EE\u00EF";
  for (unsigned i = 0; i < 12; ++i) at(0xA6 + i) = lower[i];
  at(0xB2) = u'?';
  constexpr char16_t lower2[] = u"\u00F3\u00F4\u00F5\u00F6\u00F9\u00FA\u00FB\u00FC\u00E7\u00F1\u00BF\u00A1";
  for (unsigned i = 0; i < 12; ++i) at(0xB3 + i) = lower2[i];
  at(0xBF) = u'?';
  at(0xC0) = u'\u00BA';
  at(0xC1) = u'\u00AA';
  for (unsigned c = 0xC2; c <= 0xD2; ++c) at(c) = static_cast<char16_t>(0x041F + (c - 0xC2));
  for (unsigned c = 0xD3; c <= 0xF2; ++c) at(c) = static_cast<char16_t>(0x0430 + (c - 0xD3));
  at(0xF3) = u'\u0451';
  for (unsigned c = 0xF4; c <= 0xFF; ++c) at(c) = u'?';
  return table;
}();

}  // namespace

char16_t decodeUtChar(uint16_t code) {
  if (code < 0x7F) return static_cast<char16_t>(code);
  if (code > 0xFF) return u'?';
  return kHighCodes[code - 0x7F];
}

uint16_t encodeUtChar(char16_t ch) {
  if (ch < 0x7F) return ch;
  // À has a code of its own although that code decodes as '?'.
  if (ch == u'\u00C0') return 0x8F;
  for (unsigned code = 0x7F; code <= 0xFF; ++code) {
    if (kHighCodes[code - 0x7F] == ch) return static_cast<uint16_t>(code);
  }
  return kUnmappable;
}

std::u16string decodeUtText(std::u16string_view codes, bool unicodeUt) {
  if (unicodeUt) return std::u16string(codes);
  std::u16string text;
  text.reserve(codes.size());
  for (char16_t code : codes) text.push_back(decodeUtChar(code));
  return text;
}

std::optional<std::u16string> encodeUtText(std::u16string_view text, bool unicodeUt) {
  if (unicodeUt) return std::u16string(text);
  std::u16string codes;
  codes.reserve(text.size());
  for (char16_t ch : text) {
    uint16_t code = encodeUtChar(ch);
    if (code == kUnmappable) return std::nullopt;
    codes.push_back(static_cast<char16_t>(code));
  }
  return codes;
}

}  // namespace vx::utconfig
