// The nodes an item element expands into, by the same rules as the host's
// item tree: arrays as name[N] with children name[i] (several dimensions as
// rows name[i] that hold the remaining dimensions), bitfields, functions,
// pointers (name followed by one '*' per level), enumerations and base types
// as leaves, structures and unions as nodes with one child per member.
#pragma once

#include <string>
#include <vector>

#include "catalogue_model.h"

namespace kmx::sim::catalogue {

struct TreeNode {
  enum class Shape { Leaf, Array, Rows, Record };
  std::string text;
  std::string baseName;  // the record's name, without any index
  Member record;         // dims: those still to expand below this node
  uint32_t offset = 0;
  Shape shape = Shape::Leaf;
};

// The node(s) a record makes at `offset`: one, or one per row.
std::vector<TreeNode> buildNodes(const Model& model, const Member& record, const std::string& name, uint32_t offset);
std::vector<TreeNode> childNodes(const Model& model, const TreeNode& node);
// The single node below an item node: its type, named by the type name.
TreeNode rootNode(const Model& model, const Item& item);
// What a node is as an NvNode (item and element left at 0).
NvNode describe(const Model& model, const TreeNode& node);

}  // namespace kmx::sim::catalogue
