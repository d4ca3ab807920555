// Builds the subtree of one NV item from its type record: the type node and,
// below it, one node per member, array element and bitfield. Every node is
// checked against the item's buffer: a member that would lie outside it, a
// member of an unknown type and a type that contains itself become
// "<error>" leaves, so no value access can leave the buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nv_tree.h"
#include "symbol_table.h"

namespace vx::nvdb {

// A hostile symbol file can describe small types with enormous trees
// (arrays of arrays of empty structs); an item's tree is capped.
inline constexpr std::size_t kMaxNodesPerItem = 1u << 18;
inline constexpr unsigned kMaxTreeDepth = 128;

// The nodes of the item's subtree (nodes[0] is the type node), or nullopt
// when the tree would exceed maxNodes.
std::optional<std::vector<NVNode>> buildItemSubtree(const SymbolTable& symbols,
                                                    const TypeRecord& itemType,
                                                    std::size_t maxNodes = kMaxNodesPerItem);
// The number of nodes buildItemSubtree would make, or nullopt where it
// fails, without keeping them: at each depth only the nodes of one member
// or array element wait, so a large tree is counted in little memory.
std::optional<std::size_t> countItemSubtree(const SymbolTable& symbols, const TypeRecord& itemType,
                                            std::size_t maxNodes = kMaxNodesPerItem);

// The node count of each item type's tree (nullopt: buildItemSubtree fails
// for it), counted once. Types are known by name: the names are views into
// the symbol text, which stays where it is when the table moves.
class TreeSizes {
 public:
  std::optional<std::size_t> of(const SymbolTable& symbols, const TypeRecord& itemType);
  bool known(const TypeRecord& itemType) const { return sizes_.count(itemType.name) != 0; }
  // A tree built elsewhere (or its failure) gives the count without a build.
  void remember(const TypeRecord& itemType, std::optional<std::size_t> nodes) { sizes_[itemType.name] = nodes; }

 private:
  std::unordered_map<std::string_view, std::optional<std::size_t>> sizes_;
};

}  // namespace vx::nvdb
