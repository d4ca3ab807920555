// The item tree built from symbol information: node texts, order, node data
// and the bounds every node is checked against.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_ut.h"
#include "nv_database.h"
#include "subtree_builder.h"
#include "symbol_parser.h"

namespace vx::nvdb {
namespace {

using testing::MemoryUt;

constexpr const char* kTypes =
    "1 T_ULONG:4\n"
    "2 T_UCHAR:1\n"
    "3 T_SHORT:2\n"
    "4 T_VOID:4\n"
    "5 T_FLOAT:4\n"
    "6 T_LONG:4\n"
    "10 ui_nv_warranty_date_code_type:5:s{wdc,[5]2,0}\n"
    "11 flags_type:4:s{secret,b,1,1,3,0;group,b,6,4,4,0;signed_bits,b,6,4,28,0;voidbits,b,4,1,0,0}\n"
    "12 yes_no_type:1:e{NO:0,YES:1}\n"
    "13 odd_enum_type:3:e{A:0}\n"
    "14 grid_type:12:s{cell,[2,3]3,0}\n"
    "15 mixed_type:16:s{handler,F1,0;next,**1,4;word,1,8;answer,12,12;odd,13,13}\n"
    "16 wrapper_type:20:s{hdr,11,0;body,15,4}\n"
    "17 bad_type:4:s{beyond,1,2;ghost,99,0;negative,b,1,33,1,0;weird,5,0}\n"
    "18 loop_type:4:s{self,18,0}\n"
    "19 pointers_type:8:s{list,[2]*2,0}\n";

struct Tree {
  explicit Tree(const std::string& text, const std::string& items) {
    auto parsed = parseSymbolInformation(text);
    if (!parsed.table) {
      ADD_FAILURE() << "parse error at record " << parsed.errorRecord;
      parsed.table.emplace();
    }
    std::vector<NVItemInfo> entries;
    uint32_t number = 0;
    for (std::size_t at = 0; at < items.size();) {
      std::size_t end = items.find(',', at);
      if (end == std::string::npos) end = items.size();
      const std::string pair = items.substr(at, end - at);
      const std::size_t colon = pair.find(':');
      NVItemInfo item;
      item.name = pair.substr(0, colon);
      item.typeName = pair.substr(colon + 1);
      item.itemNumber = number++;
      item.elementIndex = 0;
      item.instanceCount = 1;
      item.presence = 1;
      ut.setValue(item.itemNumber, 0, {});
      entries.push_back(item);
      at = end + 1;
    }
    database = std::make_unique<NvDatabase>(std::move(*parsed.table), std::move(entries));
  }

  const NVNode* node(const std::string& path) {
    const auto ref = database->resolve(path, ut);
    return ref ? ref->subtreeNode() : nullptr;
  }
  std::vector<std::string> childTexts(const std::string& path) {
    std::vector<std::string> texts;
    const auto ref = database->resolve(path, ut);
    if (!ref) return texts;
    for (const NodeRef& child : database->children(*ref, ut)) texts.push_back(nodeText(*child.subtreeNode()));
    return texts;
  }

  MemoryUt ut;
  std::unique_ptr<NvDatabase> database;
};

using Texts = std::vector<std::string>;

TEST(ItemTree, ArraysGiveABoundNodeWithOneNodePerElement) {
  Tree tree(kTypes, "NV_UI_WARRANTY_DATE_CODE:ui_nv_warranty_date_code_type");
  const std::string type = "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type";
  EXPECT_EQ(tree.childTexts("NV_UI_WARRANTY_DATE_CODE"), Texts{"ui_nv_warranty_date_code_type"});
  EXPECT_EQ(tree.childTexts(type), Texts{"wdc[5]"});
  EXPECT_EQ(tree.childTexts(type + ".wdc[5]"), (Texts{"wdc[0]", "wdc[1]", "wdc[2]", "wdc[3]", "wdc[4]"}));

  const NVNode* array = tree.node(type + ".wdc[5]");
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->data.dataType, NVNodeDataType::NV_BLOB);
  EXPECT_EQ(array->data.size, 5u);
  const NVNode* element = tree.node(type + ".wdc[5].wdc[3]");
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->data.dataType, NVNodeDataType::NV_UCHAR);
  EXPECT_EQ(element->data.offset, 3u);
  EXPECT_EQ(element->data.typeIndex, 2);

  // Paths name nodes exactly as the tree writes them.
  EXPECT_EQ(tree.node(type + ".wdc[5].wdc[5]"), nullptr);
  EXPECT_EQ(tree.node(type + ".wdc[5].wdc[03]"), nullptr);
  EXPECT_EQ(tree.node(type + ".wdc[0]"), nullptr);
  EXPECT_EQ(tree.node("NV_UI_WARRANTY_DATE_CODE.wdc[5]"), nullptr);
  EXPECT_EQ(tree.node("nv_ui_warranty_date_code." + type.substr(25)), nullptr);

  const auto ref = tree.database->resolve(type + ".wdc[5].wdc[0]", tree.ut);
  ASSERT_TRUE(ref.has_value());
  EXPECT_EQ(tree.database->pathOf(*ref), type + ".wdc[5].wdc[0]");
}

TEST(ItemTree, BitfieldsCarryWidthPositionAndSignedness) {
  Tree tree(kTypes, "NV_FLAGS:flags_type");
  EXPECT_EQ(tree.childTexts("NV_FLAGS.flags_type"), (Texts{"secret", "group", "signed_bits"}))
      << "a bitfield of T_VOID gives no node";
  const NVNode* secret = tree.node("NV_FLAGS.flags_type.secret");
  ASSERT_NE(secret, nullptr);
  EXPECT_EQ(secret->data.dataType, NVNodeDataType::NV_UBITFIELD);
  EXPECT_EQ(secret->data.bitWidth, 1u);
  EXPECT_EQ(secret->data.bitPosition, 3u);
  EXPECT_EQ(secret->data.offset, 0u);
  EXPECT_EQ(tree.node("NV_FLAGS.flags_type.signed_bits")->data.dataType, NVNodeDataType::NV_BITFIELD);
  EXPECT_EQ(tree.node("NV_FLAGS.flags_type.signed_bits")->data.bitPosition, 28u);
}

TEST(ItemTree, MultiDimensionalArraysNestOneDimensionPerLevel) {
  Tree tree(kTypes, "NV_GRID:grid_type");
  EXPECT_EQ(tree.childTexts("NV_GRID.grid_type"), (Texts{"cell[0]", "cell[1]"}));
  EXPECT_EQ(tree.childTexts("NV_GRID.grid_type.cell[1]"), Texts{"cell[3]"});
  EXPECT_EQ(tree.childTexts("NV_GRID.grid_type.cell[1].cell[3]"), (Texts{"cell[0]", "cell[1]", "cell[2]"}));
  const NVNode* cell = tree.node("NV_GRID.grid_type.cell[1].cell[3].cell[2]");
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->data.dataType, NVNodeDataType::NV_SHORT);
  EXPECT_EQ(cell->data.offset, (1u * 3 + 2) * 2);
}

TEST(ItemTree, FunctionsPointersEnumsAndNestedStructs) {
  Tree tree(kTypes, "NV_WRAPPED:wrapper_type");
  const std::string body = "NV_WRAPPED.wrapper_type.body";
  EXPECT_EQ(tree.childTexts("NV_WRAPPED.wrapper_type"), (Texts{"hdr", "body"}));
  EXPECT_EQ(tree.childTexts(body), (Texts{"handler", "next**", "word", "answer", "<error>"}));
  EXPECT_EQ(tree.node(body + ".handler")->data.dataType, NVNodeDataType::NV_PTR);
  EXPECT_EQ(tree.node(body + ".next**")->data.dataType, NVNodeDataType::NV_PTR);
  EXPECT_EQ(tree.node(body + ".next*"), nullptr);
  const NVNode* word = tree.node(body + ".word");
  EXPECT_EQ(word->data.dataType, NVNodeDataType::NV_ULONG);
  EXPECT_EQ(word->data.offset, 12u) << "member offsets add up through nested structs";
  const NVNode* answer = tree.node(body + ".answer");
  EXPECT_EQ(answer->data.dataType, NVNodeDataType::NV_CHAR) << "a one-byte enum";
  EXPECT_EQ(answer->data.typeIndex, 12);
  EXPECT_EQ(tree.node(body + ".<error>")->data.dataType, NVNodeDataType::NV_UNKNOWN)
      << "an enum of three bytes";
  EXPECT_EQ(tree.node("NV_WRAPPED.wrapper_type.hdr.group")->data.offset, 0u);
}

TEST(ItemTree, ArraysOfPointersAreArraysOfWords) {
  Tree tree(kTypes, "NV_POINTERS:pointers_type");
  EXPECT_EQ(tree.childTexts("NV_POINTERS.pointers_type.list[2]"), (Texts{"list[0]*", "list[1]*"}));
  EXPECT_EQ(tree.node("NV_POINTERS.pointers_type.list[2].list[1]*")->data.offset, 4u);
}

TEST(ItemTree, MembersOutsideTheBufferOrOfUnknownTypesAreErrorLeaves) {
  Tree tree(kTypes, "NV_BAD:bad_type,NV_LOOP:loop_type,NV_FLOAT:T_FLOAT");
  // "beyond" would read 4 bytes at offset 2 of a 4-byte item; "ghost" has
  // no type; the bitfield would reach bit 34; T_FLOAT is no base type.
  EXPECT_EQ(tree.childTexts("NV_BAD.bad_type"), (Texts{"<error>", "<error>", "<error>", "<error>"}));
  EXPECT_EQ(tree.childTexts("NV_FLOAT"), Texts{"<error>"});

  // A type that contains itself ends in an error leaf, not a stack overflow.
  std::string path = "NV_LOOP.loop_type";
  int depth = 0;
  while (tree.childTexts(path) == Texts{"self"}) {
    path += ".self";
    ++depth;
  }
  EXPECT_EQ(tree.childTexts(path), Texts{"<error>"});
  EXPECT_EQ(depth, static_cast<int>(kMaxTreeDepth));
}

TEST(ItemTree, AnEnormousTreeFailsTheExpansionInsteadOfExhaustingMemory) {
  // 65535 x 65535 empty structs fit in a 0-byte buffer.
  Tree tree("1 empty_type:0:s{a,[65535,65535]1,0}\n", "NV_HUGE:empty_type");
  NVItemInfo* item = tree.database->findItem("NV_HUGE");
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(tree.database->expand(*item, tree.ut));
  EXPECT_FALSE(item->expanded);
  EXPECT_TRUE(item->value.empty());

  // So do many members of one struct that are each large arrays of nothing.
  std::string wide = "1 T_UCHAR:1\n2 nothing_type:0:s{z,1,0}\n3 wide_type:0:s{";
  for (int i = 0; i < 60; ++i) wide += (i > 0 ? ";m" : "m") + std::to_string(i) + ",[65535,65535]2,0";
  Tree wideTree(wide + "}\n", "NV_WIDE:wide_type");
  EXPECT_FALSE(wideTree.database->expand(*wideTree.database->findItem("NV_WIDE"), wideTree.ut));
}

TEST(ItemTree, ExpansionReadsTheValueOnceAndKeepsZerosForAnInactiveElement) {
  Tree tree(kTypes, "NV_A:T_ULONG,NV_B:T_ULONG,NV_C:T_ULONG,NV_D:unknown_type");
  tree.ut.setValue(0, 0, {0x78, 0x56, 0x34, 0x12});
  tree.ut.setNotActive(1, 0);
  tree.ut.setValue(2, 7, {});  // element 0 of item 2 reads fail

  ASSERT_TRUE(tree.database->resolve("NV_A.T_ULONG", tree.ut).has_value());
  ASSERT_TRUE(tree.database->resolve("NV_A.T_ULONG", tree.ut).has_value());
  EXPECT_EQ(tree.ut.itemReads, 1u);
  EXPECT_EQ(tree.database->findItem("NV_A")->value, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));

  ASSERT_TRUE(tree.database->resolve("NV_B.T_ULONG", tree.ut).has_value());
  EXPECT_EQ(tree.database->findItem("NV_B")->value, std::vector<uint8_t>(4, 0));

  tree.ut.setNotActive(2, 7);
  NVItemInfo* failing = tree.database->findItem("NV_C");
  failing->elementIndex = 3;
  EXPECT_FALSE(tree.database->resolve("NV_C.T_ULONG", tree.ut).has_value());
  EXPECT_FALSE(failing->expanded);

  EXPECT_FALSE(tree.database->resolve("NV_D", tree.ut).has_value()) << "a type the UT does not describe";
  EXPECT_EQ(tree.database->findItem("NV_E"), nullptr);
}

}  // namespace
}  // namespace vx::nvdb
