#include <gtest/gtest.h>

#include "vxcom.h"

namespace {

constexpr CLSID kConnection = vx::com::MakeGuid("{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}");

TEST(Guid, FieldsFromText) {
  EXPECT_EQ(kConnection.Data1, 0x93AC0BBEu);
  EXPECT_EQ(kConnection.Data2, 0xC2C5u);
  EXPECT_EQ(kConnection.Data3, 0x11D2u);
  const uint8_t tail[8] = {0x88, 0xFD, 0x00, 0x80, 0x5F, 0x9B, 0x5A, 0x6C};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(kConnection.Data4[i], tail[i]) << i;
  EXPECT_EQ(IID_IUnknown.Data4[0], 0xC0);
  EXPECT_EQ(IID_IUnknown.Data4[7], 0x46);
}

TEST(Guid, TextRoundTrips) {
  EXPECT_EQ(vx::com::GuidToString(kConnection), "{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}");
  // Lower-case input is accepted; output is upper case.
  auto parsed = vx::com::ParseGuid("{5c4a0846-9b92-11d3-8954-00805f9b5a6c}");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(vx::com::GuidToString(*parsed), "{5C4A0846-9B92-11D3-8954-00805F9B5A6C}");
  EXPECT_EQ(vx::com::ParseGuid(vx::com::GuidToString(GUID_NULL)), GUID_NULL);
  GUID all{0xFFFFFFFFu, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  EXPECT_EQ(vx::com::ParseGuid(vx::com::GuidToString16(all)), all);

  OLECHAR wide[39];
  EXPECT_EQ(StringFromGUID2(kConnection, wide, 39), 39);
  EXPECT_EQ(std::u16string_view(wide), u"{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}");
  EXPECT_EQ(StringFromGUID2(kConnection, wide, 38), 0);  // no room for the terminator
  IID iid{};
  EXPECT_EQ(IIDFromString(wide, &iid), S_OK);
  EXPECT_EQ(iid, kConnection);
  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(kConnection, &text), S_OK);
  EXPECT_EQ(std::u16string_view(text), std::u16string_view(wide));
  CoTaskMemFree(text);
}

TEST(Guid, MalformedTextsAreRefused) {
  const char* bad[] = {
      "",
      "93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C",      // no braces
      "{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C",     // no closing brace
      "{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}x",   // trailing text
      "{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6}",     // one digit short
      "{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6CC}",   // one digit more
      "{93AC0BBEC-2C5-11D2-88FD-00805F9B5A6C}",    // dash misplaced
      "{93AC0BBE-C2C5-11D2-88FD_00805F9B5A6C}",    // not a dash
      "{93AC0BBG-C2C5-11D2-88FD-00805F9B5A6C}",    // not hex
      "{ 3AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}",    // blank
      "(93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C)",    // other brackets
      "{+3AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}",    // a sign
  };
  for (const char* text : bad) EXPECT_FALSE(vx::com::ParseGuid(text)) << text;
  // A character beyond ASCII that would truncate to a hex digit.
  std::u16string wide = u"{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}";
  wide[1] = static_cast<char16_t>(0x0139);
  EXPECT_FALSE(vx::com::ParseGuid(wide));
  IID iid{};
  EXPECT_EQ(IIDFromString(u"{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6}", &iid), E_INVALIDARG);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromString(u"{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6}", &clsid), CO_E_CLASSSTRING);
}

TEST(Guid, ComparesByValue) {
  constexpr GUID a = vx::com::MakeGuid("{00000001-0000-0000-0000-000000000000}");
  constexpr GUID b = vx::com::MakeGuid("{00000000-0000-0000-0000-000000000001}");
  static_assert(a != b && IsEqualGUID(a, a));
  EXPECT_TRUE(b < a);  // Data1 first
  EXPECT_FALSE(IsEqualIID(a, b));
  GUID copy = kConnection;
  EXPECT_TRUE(IsEqualCLSID(copy, kConnection));
  copy.Data4[7] ^= 1;
  EXPECT_NE(copy, kConnection);
}

}  // namespace
