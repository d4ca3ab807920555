#include <gtest/gtest.h>

#include <string>

#include "symbol_parser.h"

namespace vx::nvdb {
namespace {

SymbolTable parsed(const std::string& text) {
  auto result = parseSymbolInformation(text);
  EXPECT_TRUE(result.table.has_value()) << "parse error at record " << result.errorRecord;
  return result.table ? std::move(*result.table) : SymbolTable{};
}

std::optional<std::size_t> errorRecordOf(const std::string& text) {
  auto result = parseSymbolInformation(text);
  if (result.table) return std::nullopt;
  return result.errorRecord;
}

TEST(SymbolParser, ReadsBaseEnumStructAndUnionTypes) {
  const SymbolTable table = parsed(
      "1 T_ULONG:4\n"
      "2 T_UCHAR:1\n"
      "3 colour_type:1:e{RED:0,GREEN:1,DEEP:-2}\n"
      "4 rec_type:12:s{count,1,0;flags,b,1,3,1,4;name,[2,3]2,5;next,*4,0;handler,F1,8}\n"
      "5 either_type:4:u{word,1,0;bytes,[4]2,0}\n");

  const TypeRecord* ulong = table.typeByName("T_ULONG");
  ASSERT_NE(ulong, nullptr);
  EXPECT_EQ(ulong->kind, TypeKind::Base);
  EXPECT_EQ(ulong->index, 1);
  EXPECT_EQ(ulong->size, 4u);

  const TypeRecord* colour = table.typeByIndex(3);
  ASSERT_NE(colour, nullptr);
  EXPECT_EQ(colour->kind, TypeKind::Enum);
  const auto constants = table.members(*colour);
  ASSERT_EQ(constants.size(), 3u);
  EXPECT_EQ(table.nameOf(constants[0]), "RED");
  EXPECT_EQ(constants[1].typeOrValue, 1);
  EXPECT_EQ(table.nameOf(constants[2]), "DEEP");
  EXPECT_EQ(constants[2].typeOrValue, -2);

  const TypeRecord* rec = table.typeByName("rec_type");
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->kind, TypeKind::Struct);
  EXPECT_EQ(rec->size, 12u);
  const auto fields = table.members(*rec);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(table.nameOf(fields[0]), "count");
  EXPECT_EQ(fields[0].typeOrValue, 1);
  EXPECT_FALSE(fields[0].bitfield);

  EXPECT_EQ(table.nameOf(fields[1]), "flags");
  EXPECT_TRUE(fields[1].bitfield);
  EXPECT_EQ(fields[1].typeOrValue, 1);
  EXPECT_EQ(fields[1].bitWidth, 3);
  EXPECT_EQ(fields[1].bitPosition, 1);
  EXPECT_EQ(fields[1].offset, 4);

  EXPECT_EQ(table.nameOf(fields[2]), "name");
  const auto dims = table.dimensions(fields[2]);
  ASSERT_EQ(dims.size(), 2u);
  EXPECT_EQ(dims[0], 2);
  EXPECT_EQ(dims[1], 3);
  EXPECT_EQ(fields[2].offset, 5);

  EXPECT_EQ(fields[3].pointerLevel, 1u);
  EXPECT_EQ(fields[3].typeOrValue, 4);
  EXPECT_TRUE(fields[4].function);
  EXPECT_EQ(fields[4].offset, 8);

  EXPECT_EQ(table.typeByIndex(5)->kind, TypeKind::Union);
  EXPECT_EQ(table.members(*table.typeByIndex(5)).size(), 2u);
}

TEST(SymbolParser, SymbolSizesFollowDimensionsPointersAndFunctionMarks) {
  const SymbolTable table = parsed(
      "1 T_ULONG:4\n"
      "2 T_CHAR:1\n"
      "NVitems_item_name_table:[100]2:400000\n"
      "callback:F1:1000\n"
      "table_of_pointers:[3]**2:2000\n"
      "pointer:*2:AbC\n"
      "matrix:[2,5]1:0x10\n"
      "plain:1:20\n");
  EXPECT_EQ(table.symbolCount(), 6u);
  const TypeRecord* names = table.symbolByName("NVitems_item_name_table");
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names->size, 100u);
  EXPECT_EQ(names->address, 0x400000u);
  EXPECT_EQ(names->index, 2);
  EXPECT_EQ(table.symbolByName("callback")->size, 4u);
  EXPECT_EQ(table.symbolByName("table_of_pointers")->size, 12u);
  EXPECT_EQ(table.symbolByName("table_of_pointers")->pointerLevel, 2u);
  EXPECT_EQ(table.symbolByName("pointer")->size, 4u);
  EXPECT_EQ(table.symbolByName("pointer")->address, 0xABCu);
  EXPECT_EQ(table.symbolByName("matrix")->size, 40u);
  EXPECT_EQ(table.symbolByName("matrix")->address, 0x10u);
  EXPECT_EQ(table.symbolByName("plain")->size, 4u);
}

TEST(SymbolParser, LinesWithADotBlankLinesAndLongLinePiecesAreRecords) {
  // The first record of a line of 8191 + 11 bytes is a skipped line with a
  // dot; its rest, "1 T_ULONG:4", is a record of its own.
  std::string text = "a." + std::string(kMaxRecordLength - 2, 'x') + "1 T_ULONG:4\n";
  text += "static.c:counter:1:10\n";
  text += "\n";
  text += "counter:1:20\r\n";
  const SymbolTable table = parsed(text);
  ASSERT_NE(table.typeByName("T_ULONG"), nullptr);
  EXPECT_EQ(table.symbolCount(), 1u);
  EXPECT_EQ(table.symbolByName("counter")->address, 0x20u);

  EXPECT_EQ(errorRecordOf(text + "not a record\n"), 5u);
}

TEST(SymbolParser, FirstRecordOfAnIndexOrNameIsTheOneFound) {
  const SymbolTable table = parsed("1 T_ULONG:4\n1 T_USHORT:2\n2 T_ULONG:8\nx:1:1\nx:2:2\n");
  EXPECT_EQ(table.typeByIndex(1)->name, "T_ULONG");
  EXPECT_EQ(table.typeByName("T_ULONG")->size, 4u);
  EXPECT_EQ(table.symbolByName("x")->address, 1u);
}

TEST(SymbolParser, MalformedRecordsAreParseErrorsWithTheirRecordIndex) {
  const std::string good = "1 T_ULONG:4\nfile.c\n";  // records 0 and 1
  const char* bad[] = {
      "2 t:4:x{a:1}",           // kind letter x
      "2 t:4:",                 // a ':' followed by nothing
      "2 t:4:s{",               // an empty body
      "2 t:4:s",                // no separator
      "2 t:4x",                 // junk after the size
      "2 t 4",                  // no ':' after the name
      "2t:4",                   // no space after the index
      "2 t:",                   // no size
      "2 t:99999999999",        // size beyond 32 bits
      "99999999999 t:4",        // index beyond 31 bits
      "2 t:4:s{a,,0}",          // a field without its type index
      "2 t:4:s{a,-1,0}",        // a negative type index
      "2 t:4:s{a,1}",           // a field without its offset
      "2 t:4:s{a1,0}",          // a field without ','
      "2 t:4:s{a,b:1,1,0}",     // a bitfield short of its four numbers
      "2 t:4:s{a,[70000]1,0}",  // a bound beyond 16 bits
      "2 t:4:s{a,[2,1,0}",      // a dimension list without ']'
      "2 t:4:e{A:1,B}",         // a constant without a value
      "2 t:4:e{A}",             // a constant without ':'
      "sym:7:10",               // a symbol of an unknown type
      "sym:1",                  // a symbol without an address
      "sym:1:",                 // an empty address
      "sym:1:12g",              // junk after the address
      "sym1:10",                // no ':' after the name, so no type
      "sym:[2]:10",             // a dimension list but no type index
  };
  for (const char* line : bad) {
    EXPECT_EQ(errorRecordOf(good + line + "\n"), 2u) << line;
  }
}

}  // namespace
}  // namespace vx::nvdb
