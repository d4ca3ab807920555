// Reading and writing one node's value in its item's buffer, as a 32-bit
// number: signed types give their two's-complement pattern, bitfields are
// masked out of the word at their location.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "nv_tree.h"

namespace vx::nvdb {

// The value; 0 for nodes that hold no scalar (arrays, structs, error
// leaves); nullopt when the node's bytes lie outside the buffer.
std::optional<uint32_t> readNodeValue(const NVItemInfo& item, const NVNode& node);
// Stores the value; false for a node that holds no scalar or whose bytes lie
// outside the buffer. Does not mark the node changed.
bool writeNodeValue(NVItemInfo& item, const NVNode& node, uint32_t value);

// A number typed or read from a file as the value the node stores: nullopt
// when the node's type cannot hold it, so nothing is wrapped. A signed node
// also takes the 32-bit pattern readNodeValue gives for its negative values.
std::optional<uint32_t> fitNodeValue(const NVNode& node, int64_t number);
// The numbers fitNodeValue takes for the node, as "lowest..highest".
std::string nodeValueRange(const NVNode& node);

}  // namespace vx::nvdb
