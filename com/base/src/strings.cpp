#include "vx/com/strings.h"

#include <cstring>
#include <new>

#include "vx/com/task_memory.h"

namespace vx::com {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[pos]. Returns the code point and
// advances pos past it; an ill-formed sequence gives U+FFFD and advances pos
// past its maximal subpart only (at least one byte), so that the byte which
// broke the sequence starts the next one. `ok` tells which.
char32_t decodeUtf8(std::string_view text, std::size_t& pos, bool& ok) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  ok = true;
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length;
  char32_t cp;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    ++pos;
    ok = false;
    return kReplacement;
  }
  std::size_t i = pos + 1;
  for (std::size_t k = 1; k < length; ++k, ++i) {
    unsigned char lo = k == 1 ? low : 0x80;
    unsigned char hi = k == 1 ? high : 0xBF;
    if (i >= text.size() || byte(i) < lo || byte(i) > hi) {
      pos = i;
      ok = false;
      return kReplacement;
    }
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  pos = i;
  return cp;
}

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-16 code point at text[pos]; an unpaired surrogate gives
// U+FFFD and `ok` false.
char32_t decodeUtf16(std::u16string_view text, std::size_t& pos, bool& ok) {
  char16_t unit = text[pos++];
  ok = true;
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit <= 0xDBFF && pos < text.size() && text[pos] >= 0xDC00 && text[pos] <= 0xDFFF) {
    char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                  (static_cast<char32_t>(text[pos]) - 0xDC00);
    ++pos;
    return cp;
  }
  ok = false;
  return kReplacement;
}

// Both directions in lenient (replace) or strict (stop) form.
bool toUtf16(std::string_view text, std::u16string& out, bool strict) {
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    bool ok;
    char32_t cp = decodeUtf8(text, pos, ok);
    if (!ok && strict) return false;
    appendUtf16(out, cp);
  }
  return true;
}

bool toUtf8(std::u16string_view text, std::string& out, bool strict) {
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    bool ok;
    char32_t cp = decodeUtf16(text, pos, ok);
    if (!ok && strict) return false;
    appendUtf8(out, cp);
  }
  return true;
}

// Windows-1252 bytes 0x80..0x9F; an unassigned byte keeps its own value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

char16_t fromWindows1252(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : static_cast<char16_t>(byte);
}

char toWindows1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kWindows1252High[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::u16string Windows1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(fromWindows1252(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf16ToWindows1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    bool ok;
    out.push_back(toWindows1252(decodeUtf16(text, pos, ok)));
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  toUtf16(text, out, false);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  toUtf8(text, out, false);
  return out;
}

bool TryUtf8ToUtf16(std::string_view text, std::u16string* out) {
  std::u16string result;
  if (out == nullptr || !toUtf16(text, result, true)) return false;
  *out = std::move(result);
  return true;
}

bool TryUtf16ToUtf8(std::u16string_view text, std::string* out) {
  std::string result;
  if (out == nullptr || !toUtf8(text, result, true)) return false;
  *out = std::move(result);
  return true;
}

std::size_t WideLength(LPCOLESTR text) noexcept {
  return text == nullptr ? 0 : std::char_traits<char16_t>::length(text);
}

LPOLESTR CoTaskMemStrDup(std::u16string_view text) noexcept {
  if (text.size() >= SIZE_MAX / sizeof(OLECHAR)) return nullptr;
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (copy == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size() * sizeof(OLECHAR));
  copy[text.size()] = 0;
  return copy;
}

LPOLESTR CoTaskMemStrDupUtf8(std::string_view text) noexcept {
  try {
    return CoTaskMemStrDup(Utf8ToUtf16(text));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace vx::com
