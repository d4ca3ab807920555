// The UT's symbol information and NV item tables. Whatever the text, parsing
// must end, and every node of every type's tree must lie inside the buffer of
// an item of that type, with consistent parent and child links; the tree's
// count without building it is its size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "item_tables.h"
#include "subtree_builder.h"
#include "symbol_parser.h"

namespace {

constexpr std::size_t kTypesBuilt = 64;
// Enough for every layout a small input can describe, small enough to keep
// each run fast.
constexpr std::size_t kNodesBuilt = 20000;

void check(bool condition) {
  if (!condition) std::abort();
}

void checkTree(const std::vector<vx::nvdb::NVNode>& nodes, uint32_t bufferSize) {
  using vx::nvdb::NVNodeDataType;
  check(!nodes.empty() && nodes[0].parent == vx::nvdb::NVNode::kNone);
  for (uint32_t i = 0; i < nodes.size(); ++i) {
    const vx::nvdb::NVNode& node = nodes[i];
    const uint64_t end = uint64_t{node.data.offset} + node.data.size;
    check(end <= bufferSize);
    const uint32_t width = vx::nvdb::scalarWidth(node.data.dataType);
    const bool bitfield = node.data.dataType == NVNodeDataType::NV_BITFIELD ||
                          node.data.dataType == NVNodeDataType::NV_UBITFIELD;
    if (bitfield) {
      check(node.data.bitWidth >= 1 && node.data.bitPosition + node.data.bitWidth <= 8 * node.data.size);
    } else if (width > 0) {
      check(uint64_t{node.data.offset} + width <= bufferSize);
    }
    check(node.childCount == 0 || (node.firstChild > i && uint64_t{node.firstChild} + node.childCount <= nodes.size()));
    for (uint32_t c = 0; c < node.childCount; ++c) check(nodes[node.firstChild + c].parent == i);
    (void)vx::nvdb::nodeText(node);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  // The same bytes as both item tables: names and descriptor fields.
  (void)vx::nvdb::parseItemTables(bytes, bytes.subspan(size / 2));

  auto parsed = vx::nvdb::parseSymbolInformation(std::string(reinterpret_cast<const char*>(data), size));
  if (!parsed.table) return 0;
  const vx::nvdb::SymbolTable& table = *parsed.table;
  for (std::size_t i = 0; i < table.types().size() && i < kTypesBuilt; ++i) {
    const vx::nvdb::TypeRecord& type = table.types()[i];
    if (type.size > (1u << 16)) continue;
    const auto nodes = vx::nvdb::buildItemSubtree(table, type, kNodesBuilt);
    if (nodes) checkTree(*nodes, type.size);
    // The count the load charges to its budget is the tree that is built.
    const auto counted = vx::nvdb::countItemSubtree(table, type, kNodesBuilt);
    check(nodes ? counted == nodes->size() : !counted);
  }
  return 0;
}
