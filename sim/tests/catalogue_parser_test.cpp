// The catalogue text's reader: layout of members, variant conditions, values,
// and malformed lines refused with their line number.
#include <gtest/gtest.h>

#include "catalogue_model.h"

namespace kmx::sim::catalogue {
namespace {

const char kBase[] =
    "base T_UCHAR 1\n"
    "base T_USHORT 2\n"
    "base T_ULONG 4\n"
    "base T_INT 4\n";

std::optional<Model> read(const std::string& text, const CatalogueVariant& variant = {}) {
  std::string error;
  auto model = parse(kBase + text, variant, error);
  EXPECT_TRUE(model) << error;
  return model;
}

std::string refusal(const std::string& text) {
  std::string error;
  auto model = parse(kBase + text, CatalogueVariant{}, error);
  EXPECT_FALSE(model) << text;
  return error;
}

TEST(CatalogueParser, MembersAreLaidOutAsTheCompilerDoes) {
  auto model = read(
      "struct s\n"
      "  a T_UCHAR\n"
      "  b T_ULONG\n"          // aligned to 4
      "  f1 T_USHORT:3\n"      // a new 2-byte unit at 8
      "  f2 T_USHORT:13\n"     // fills it
      "  f3 T_USHORT:1\n"      // the next unit, at 10
      "  p * T_UCHAR\n"        // a pointer: 4 bytes at 12
      "  g F T_UCHAR\n"
      "  m[2,3] T_UCHAR\n"     // 6 bytes at 20
      "end\n"
      "union u\n"
      "  x T_UCHAR\n"
      "  y[3] T_USHORT\n"
      "end\n"
      "item I s 1 0 0 Item\n");
  ASSERT_TRUE(model);
  const Type* s = model->findType("s");
  ASSERT_TRUE(s);
  std::vector<uint32_t> offsets;
  for (const auto& m : s->members) offsets.push_back(m.offset);
  EXPECT_EQ(offsets, (std::vector<uint32_t>{0, 4, 8, 8, 10, 12, 16, 20}));
  EXPECT_EQ(s->members[3].bitPosition, 3);
  EXPECT_EQ(s->members[4].bitPosition, 0);
  EXPECT_EQ(s->size, 28u) << "26 bytes rounded up to the alignment of 4";
  EXPECT_EQ(s->members[5].pointerLevel, 1);
  EXPECT_TRUE(s->members[6].function);
  EXPECT_EQ(s->members[7].dims, (std::vector<uint16_t>{2, 3}));
  const Type* u = model->findType("u");
  EXPECT_EQ(u->size, 6u);
  EXPECT_EQ(u->members[1].offset, 0u);
}

TEST(CatalogueParser, ValuesFillTheSelectedElements) {
  auto model = read(
      "enum e 1\n"
      "  E_A 4\n"
      "  E_B -2\n"
      "end\n"
      "struct s\n"
      "  kind e\n"
      "  flag T_ULONG:1\n"
      "  text[4] T_UCHAR\n"
      "  words[2] T_USHORT\n"
      "end\n"
      "item I s 3 1 4 An item  with words\n"
      "  [*] kind = E_B\n"
      "  [1-2] flag = 1\n"
      "  [2] text = \"ab\"\n"
      "  words = { 0x1234 7 }\n"
      "  [0] inactive\n"
      "item J T_USHORT 0 1 0 Another\n"
      "  = 'x'\n");
  ASSERT_TRUE(model);
  const Item& item = model->items[0];
  EXPECT_EQ(item.descriptor, "An item with words");
  EXPECT_EQ(item.count, 3);
  EXPECT_EQ(item.presence, 1);
  EXPECT_EQ(item.flags, 4);
  // kind at 0, the flag's 4-byte unit at 4, text at 8, words at 12.
  EXPECT_EQ(item.values[0], (std::vector<uint8_t>{0xFE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 7, 0}));
  EXPECT_EQ(item.values[2], (std::vector<uint8_t>{0xFE, 0, 0, 0, 1, 0, 0, 0, 'a', 'b', 0, 0, 0x34, 0x12, 7, 0}));
  EXPECT_EQ(item.active, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(model->items[1].values.size(), 1u) << "an item held 0 times keeps one stored element";
  EXPECT_EQ(model->items[1].values[0], (std::vector<uint8_t>{'x', 0}));
}

TEST(CatalogueParser, VariantLinesAreKeptOrDropped) {
  const std::string text =
      "struct s\n"
      "  ?unicode name[2] T_USHORT\n"
      "  ?!unicode name[2] T_UCHAR\n"
      "  list[$names] T_UCHAR\n"
      "end\n"
      "?oldsms item OLD s 1 0 0 Old\n"
      "?!oldsms item NEW s 1 0 0 New\n";
  CatalogueVariant variant;
  variant.nameArrayLength = 33;
  auto plain = read(text, variant);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->findType("s")->size, 2u + 33);
  EXPECT_TRUE(plain->findItem("NEW"));
  EXPECT_FALSE(plain->findItem("OLD"));
  variant.unicodePhoneBookNames = true;
  variant.oldSmsLayout = true;
  auto other = read(text, variant);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->findType("s")->size, 4u + 33 + 1) << "rounded up to 2";
  EXPECT_TRUE(other->findItem("OLD"));
}

TEST(CatalogueParser, MalformedLinesAreRefusedWithTheirLineNumber) {
  EXPECT_EQ(refusal("struct s\n  a T_NOTHING\nend\n"), "line 6: unknown type: T_NOTHING");
  EXPECT_EQ(refusal("struct s\n  a T_UCHAR:9\nend\n").substr(0, 7), "line 6:");
  EXPECT_EQ(refusal("struct s\n  a T_UCHAR\n").substr(0, 7), "line 6:") << "missing end";
  EXPECT_EQ(refusal("struct s\nend\n"), "line 6: structure without members");
  EXPECT_EQ(refusal("enum e 3\n  A 1\nend\n"), "line 5: enum size must be 1, 2 or 4");
  EXPECT_EQ(refusal("enum e 1\n  A 200\nend\n"), "line 6: constant does not fit the enum's size");
  EXPECT_EQ(refusal("item I T_UCHAR 1 0 0 A, B\n"), "line 5: a descriptor holds no commas");
  EXPECT_EQ(refusal("item I T_UCHAR 1 0 0 X\n  = 256\n"), "line 6: value does not fit ");
  EXPECT_EQ(refusal("item I T_UCHAR 2 0 0 X\n  [2] = 1\n"), "line 6: bad element selection");
  EXPECT_EQ(refusal("item I T_UCHAR 1 0 0 X\n  nothing = 1\n").substr(0, 7), "line 6:");
  EXPECT_EQ(refusal("?colour item I T_UCHAR 1 0 0 X\n"), "line 5: unknown condition");
  EXPECT_EQ(refusal("item I T_UCHAR 1 0 0 X\nitem I T_UCHAR 1 0 0 Y\n"), "line 6: item defined twice: I");
  EXPECT_EQ(refusal("  stray 1\n"), "line 5: indented line outside a definition");
  std::string error;
  EXPECT_FALSE(parse(kBase, CatalogueVariant{}, error));
  EXPECT_EQ(error, "no items");
}

}  // namespace
}  // namespace kmx::sim::catalogue
