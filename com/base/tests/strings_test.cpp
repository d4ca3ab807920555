// UTF-8 <-> UTF-16 conversion, the task allocator and BSTR.
#include <gtest/gtest.h>

#include <cstring>

#include "vxcom.h"

using namespace std::literals;
using vx::com::Utf16ToUtf8;
using vx::com::Utf8ToUtf16;

namespace {

TEST(Utf, RoundTripsIncludingSurrogatePairsAndNuls) {
  // ASCII, an embedded NUL, 2-, 3- and 4-byte forms (U+1F600 is a surrogate pair).
  std::string utf8 = "A\0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"s;
  std::u16string utf16 = u"A\0\u00E9\u20AC\U0001F600\U0010FFFF"s;
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  EXPECT_EQ(utf16.size(), 8u);
  std::u16string strict;
  EXPECT_TRUE(vx::com::TryUtf8ToUtf16(utf8, &strict));
  EXPECT_EQ(strict, utf16);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
}

TEST(Utf, InvalidUtf8BecomesReplacementPerMaximalSubpart) {
  struct Case {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"\x80", u"\uFFFD"},                           // lone continuation
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                 // overlong '/'
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},       // overlong 3-byte
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},       // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF5", u"\uFFFD"},
      {"\xE2\x82", u"\uFFFD"},                       // truncated at the end
      {"\xE2\x82" "A", u"\uFFFDA"},                  // truncated, next byte kept
      {"\xF0\x9F\x98" "\xC3\xA9", u"\uFFFD\u00E9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.in), c.out) << c.in.size();
    std::u16string untouched = u"keep";
    EXPECT_FALSE(vx::com::TryUtf8ToUtf16(c.in, &untouched));
    EXPECT_EQ(untouched, u"keep");
  }
}

TEST(Utf, UnpairedSurrogatesBecomeReplacement) {
  std::u16string lonely[] = {u"\xD800"s, u"a\xDC00"s, u"\xD800\xD800\xDC00"s, u"\xDBFF" "b"s};
  std::string expected[] = {"\xEF\xBF\xBD", "a\xEF\xBF\xBD", "\xEF\xBF\xBD\xF0\x90\x80\x80",
                            "\xEF\xBF\xBD" "b"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Utf16ToUtf8(lonely[i]), expected[i]) << i;
    std::string out;
    EXPECT_FALSE(vx::com::TryUtf16ToUtf8(lonely[i], &out));
  }
}

TEST(Windows1252, EveryByteDecodesAndRepresentableTextEncodesBack) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  const std::u16string text = vx::com::Windows1252ToUtf16(bytes);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(text[0x41], u'A');
  EXPECT_EQ(text[0x80], u'\u20AC');
  EXPECT_EQ(text[0x8C], u'\u0152');
  EXPECT_EQ(text[0x99], u'\u2122');
  EXPECT_EQ(text[0x9F], u'\u0178');
  for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(text[undefined], undefined);
  for (int latin1 = 0xA0; latin1 < 0x100; ++latin1) EXPECT_EQ(text[latin1], latin1);
  EXPECT_EQ(vx::com::Utf16ToWindows1252(text), bytes);

  // What the code page lacks becomes '?', a surrogate pair a single one.
  EXPECT_EQ(vx::com::Utf16ToWindows1252(u"\u00C9\u0416\u0080\U0001F600\u20AC"), "\xC9???\x80");
}

TEST(TaskMemory, AllocatesReallocatesAndDuplicates) {
  auto* block = static_cast<char*>(CoTaskMemAlloc(0));
  ASSERT_NE(block, nullptr);
  block = static_cast<char*>(CoTaskMemRealloc(block, 50));
  ASSERT_NE(block, nullptr);
  std::memset(block, 0x5A, 50);
  CoTaskMemFree(block);
  CoTaskMemFree(nullptr);

  LPOLESTR copy = vx::com::CoTaskMemStrDupUtf8("SPC\xC3\xA9");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::u16string_view(copy), u"SPC\u00E9");
  EXPECT_EQ(vx::com::WideLength(copy), 4u);
  CoTaskMemFree(copy);
  EXPECT_EQ(vx::com::WideLength(nullptr), 0u);
}

TEST(Bstr, KeepsEmbeddedNulsAndLength) {
  const OLECHAR text[] = u"ab\0cd";
  BSTR b = SysAllocStringLen(text, 5);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 5u);
  EXPECT_EQ(SysStringByteLen(b), 10u);
  EXPECT_EQ(std::u16string_view(b, 5), u"ab\0cd"sv);
  EXPECT_EQ(b[5], 0);  // terminated after the last character
  // SysAllocString stops at the first NUL.
  BSTR c = SysAllocString(b);
  EXPECT_EQ(SysStringLen(c), 2u);
  SysFreeString(c);
  // Reallocation from the string's own characters.
  EXPECT_TRUE(SysReAllocStringLen(&b, b + 3, 2));
  EXPECT_EQ(std::u16string_view(b, SysStringLen(b)), u"cd");
  EXPECT_TRUE(SysReAllocString(&b, u"longer text"));
  EXPECT_EQ(SysStringLen(b), 11u);
  SysFreeString(b);
}

TEST(Bstr, NullsZeroedAndByteLengths) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR zeroed = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(std::u16string_view(zeroed, 3), u"\0\0\0"sv);
  SysFreeString(zeroed);
  BSTR odd = SysAllocStringByteLen("abc", 3);
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  EXPECT_EQ(std::memcmp(odd, "abc\0\0", 5), 0);
  SysFreeString(odd);
  EXPECT_EQ(SysAllocStringLen(u"x", 0x80000000u), nullptr);  // too long
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
}

TEST(Bstr, WrapperOwnsAndConverts) {
  vx::com::Bstr name = vx::com::Bstr::FromUtf8("Caf\xC3\xA9\0!"s);
  EXPECT_EQ(name.Length(), 6u);
  EXPECT_EQ(name.view(), u"Caf\u00E9\0!"sv);
  vx::com::Bstr copy = name;
  EXPECT_NE(copy.Get(), name.Get());
  EXPECT_EQ(copy.Utf8(), "Caf\xC3\xA9\0!"s);
  BSTR raw = copy.Detach();
  EXPECT_EQ(copy.Get(), nullptr);
  vx::com::Bstr adopted = vx::com::Bstr::Attach(raw);
  EXPECT_EQ(adopted.Length(), 6u);
  vx::com::Bstr empty;
  EXPECT_EQ(vx::com::Bstr(empty).Get(), nullptr);  // a copy of null stays null
  EXPECT_EQ(empty.view(), u"");
  EXPECT_EQ(empty.Utf8(), "");
}

}  // namespace
