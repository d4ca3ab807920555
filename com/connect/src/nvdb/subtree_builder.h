// Builds the subtree of one NV item from its type record: the type node and,
// below it, one node per member, array element and bitfield. Every node is
// checked against the item's buffer: a member that would lie outside it, a
// member of an unknown type and a type that contains itself become
// "<error>" leaves, so no value access can leave the buffer.
#pragma once

#include <cstdint>
#include <optional>
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

}  // namespace vx::nvdb
