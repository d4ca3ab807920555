// The NV item database of one connection: the UT's symbol table and the item
// tree built from its tables. Items are expanded on first access (their value
// read from the UT, their subtree built); nodes are addressed by dotted paths
// such as "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[0]".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nv_tree.h"
#include "subtree_builder.h"
#include "symbol_table.h"
#include "ut_access.h"

namespace vx::nvdb {

// An item's value buffer is its type's size; NV items are far smaller.
inline constexpr uint32_t kMaxItemSize = 64u << 10;

// A node of the tree: the item node itself (node == kItemNode) or a node of
// its subtree.
struct NodeRef {
  static constexpr uint32_t kItemNode = UINT32_MAX;
  NVItemInfo* item = nullptr;
  uint32_t node = kItemNode;

  bool isItemNode() const { return node == kItemNode; }
  const NVNode* subtreeNode() const { return isItemNode() ? nullptr : &item->nodes[node]; }
};

class NvDatabase {
 public:
  // `treeSizes` may hold the node counts of item types already built (by
  // the load, for its budget).
  NvDatabase(SymbolTable symbols, std::vector<NVItemInfo> items, TreeSizes treeSizes = {});
  NvDatabase(const NvDatabase&) = delete;
  NvDatabase& operator=(const NvDatabase&) = delete;

  const SymbolTable& symbols() const { return symbols_; }
  // The item list in tree order.
  std::vector<NVItemInfo>& items() { return items_; }
  const std::vector<NVItemInfo>& items() const { return items_; }
  // The first item of this exact name, or null.
  NVItemInfo* findItem(std::string_view name);

  // Expands the item if it is not yet: allocates its zeroed buffer, reads
  // its value when the UT holds it (an element without a value keeps the
  // zeros) and builds its subtree. False, leaving the item unexpanded, when
  // its type is unknown or too large, the read fails, or the tree is too big.
  // `outcome`, when given, receives what the UT answered to the read (Read
  // when no read was needed).
  bool expand(NVItemInfo& item, NvUtAccess& ut, NvUtAccess::ItemRead* outcome = nullptr);
  // Learns the element's value as expand() does, but an element the UT
  // holds without a value keeps its zeros and no tree (treePending) until
  // expand() needs the tree: walks that only ask which elements hold values
  // (a backup save, the restore of a section without values) build no
  // trees for the others. Fails where expand() would.
  bool fetchValue(NVItemInfo& item, NvUtAccess& ut, NvUtAccess::ItemRead* outcome = nullptr);

  // Resolves a path, expanding its item; nullopt when it names no node.
  std::optional<NodeRef> resolve(std::string_view path, NvUtAccess& ut);
  // The path of a node, as resolve() takes it.
  std::string pathOf(const NodeRef& ref) const;

  // The children of a node; the item node's only child is its type node.
  // Expands the item first (no children when it cannot be).
  std::vector<NodeRef> children(const NodeRef& ref, NvUtAccess& ut);
  // The leaves of an item in depth-first order, expanding it first.
  std::vector<NodeRef> leaves(NVItemInfo& item, NvUtAccess& ut);

  // Changed marks: marking a node marks every ancestor up to its item;
  // clearing an item clears its whole subtree.
  void markChanged(const NodeRef& ref);
  static void clearChanged(NVItemInfo& item);
  // The number of items with a changed mark.
  std::size_t changedItemCount() const;

  // Items taken out of the tree whose elements are still to be deleted in
  // the UT at the next commit, in the order they were removed.
  const std::vector<NVItemInfo>& removedItems() const { return removed_; }
  // The first `count` removed items have been deleted in the UT.
  void forgetRemoved(std::size_t count);
  // Moves the item at `position` of the item list to the removed list and
  // leaves a hole there (`hole`, nothing changed, found by no name), so the
  // positions of the others stay as they are; compact() drops the holes. An
  // item whose element is already waiting in the removed list is flagged
  // removed-twice, so the UT is asked to delete it only once.
  void removeItem(std::size_t position);
  void compact();
  // Adds an entry at the end of the item list.
  void appendItem(NVItemInfo item);

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };

  bool fetch(NVItemInfo& item, NvUtAccess& ut, NvUtAccess::ItemRead* outcome, bool deferEmptyTree);
  bool buildTree(NVItemInfo& item, const TypeRecord& type);

  void indexItems();
  void indexItem(std::size_t position);
  // The item of this name at `position` leaves the index.
  void unindexItem(const std::string& name, std::size_t position);

  SymbolTable symbols_;
  TreeSizes treeSizes_;
  std::vector<NVItemInfo> items_;
  std::vector<NVItemInfo> removed_;
  // How many entries of removed_ each element (item number, index) has.
  std::unordered_map<uint64_t, uint32_t> waiting_;
  std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> itemIndex_;
  // Later items of a name itemIndex_ gives to an earlier one, in list order:
  // the next of them takes the name when the earlier one is removed.
  std::unordered_map<std::string, std::vector<std::size_t>, NameHash, std::equal_to<>> shadowed_;
};

}  // namespace vx::nvdb
