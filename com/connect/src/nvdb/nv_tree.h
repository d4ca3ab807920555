// The NV item tree: one entry per item element, each expanding into the
// members of its type down to scalar leaves and bitfields. Node texts are
// path components; a node's data locates its value in the item's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nv_types.h"

namespace vx::nvdb {

struct NVNodeData {
  int32_t typeIndex = -1;  // the declared type
  NVNodeDataType dataType = NVNodeDataType::NV_UNKNOWN;
  uint32_t offset = 0;  // location of the value in the item buffer
  uint32_t size = 0;    // bytes the node covers
  uint32_t bitWidth = 0;
  uint32_t bitPosition = 0;
};

// How a node's text is made from its name, without storing a string per node.
enum class NodeSuffix : uint8_t {
  None,     // name
  Index,    // name[value]: an array element
  Bound,    // name[value]: an array of value elements
  Error,    // "<error>": a member whose layout the tree cannot show
};

inline constexpr std::string_view kErrorNodeText = "<error>";

struct NVNode {
  static constexpr uint32_t kNone = UINT32_MAX;

  std::string_view name;  // points into the symbol table
  NodeSuffix suffix = NodeSuffix::None;
  uint32_t suffixValue = 0;
  uint32_t stars = 0;  // pointer level, written after the name and suffix
  NVNodeData data;
  uint32_t parent = kNone;
  uint32_t firstChild = 0;  // children are consecutive
  uint32_t childCount = 0;
  bool changed = false;
};

std::string nodeText(const NVNode& node);
// Compares a node's text with one path component without building the text.
bool nodeTextEquals(const NVNode& node, std::string_view component);

// One entry of the item list: an NV item, or one element of a list item.
struct NVItemInfo {
  std::string name;        // "[k]" appended for elements of a list of several
  std::string descriptor;  // with the same suffix
  std::string typeName;
  int32_t presence = 0;
  int32_t flags = 0;
  uint32_t itemNumber = 0;
  int32_t elementIndex = -1;   // -1: the UT holds no instance
  uint32_t instanceCount = 0;  // as the UT reports it

  // The subtree below the item node: nodes[0] is the type node. Empty until
  // the item is expanded, and while its tree is pending.
  std::vector<NVNode> nodes;
  bool expanded = false;  // the value is known: read from the UT, or zeros
  // An element the UT holds without a value, its value learnt by
  // NvDatabase::fetchValue: its tree is built when a path first needs it.
  bool treePending = false;
  bool changed = false;  // the item node's changed mark
  std::vector<uint8_t> value;

  bool isNew = false;
  bool deleteWhenEmpty = false;
  bool removedTwice = false;
  bool filled = true;
  bool hole = false;  // what removeItem leaves in the list until compact()
};

// Item flags of the descriptor table.
inline constexpr int32_t kItemFlagIgnoredByRestore = 2;
inline constexpr int32_t kItemFlagCritical = 4;

}  // namespace vx::nvdb
