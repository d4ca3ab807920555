#include "nv_database.h"

#include <algorithm>
#include <utility>

#include "subtree_builder.h"

namespace vx::nvdb {

NvDatabase::NvDatabase(SymbolTable symbols, std::vector<NVItemInfo> items, TreeSizes treeSizes)
    : symbols_(std::move(symbols)), treeSizes_(std::move(treeSizes)), items_(std::move(items)) {
  indexItems();
}

void NvDatabase::indexItems() {
  itemIndex_.clear();
  shadowed_.clear();
  itemIndex_.reserve(items_.size());
  for (std::size_t i = 0; i < items_.size(); ++i) indexItem(i);
}

void NvDatabase::indexItem(std::size_t position) {
  const std::string& name = items_[position].name;
  if (!itemIndex_.try_emplace(name, position).second) shadowed_[name].push_back(position);
}

NVItemInfo* NvDatabase::findItem(std::string_view name) {
  const auto found = itemIndex_.find(name);
  return found == itemIndex_.end() ? nullptr : &items_[found->second];
}

bool NvDatabase::expand(NVItemInfo& item, NvUtAccess& ut, NvUtAccess::ItemRead* outcome) {
  if (!item.treePending) return fetch(item, ut, outcome, false);
  if (outcome != nullptr) *outcome = NvUtAccess::ItemRead::Read;
  const TypeRecord* type = symbols_.typeByName(item.typeName);
  return type != nullptr && buildTree(item, *type);
}

bool NvDatabase::fetchValue(NVItemInfo& item, NvUtAccess& ut, NvUtAccess::ItemRead* outcome) {
  return fetch(item, ut, outcome, true);
}

bool NvDatabase::fetch(NVItemInfo& item, NvUtAccess& ut, NvUtAccess::ItemRead* outcome, bool deferEmptyTree) {
  if (outcome != nullptr) *outcome = NvUtAccess::ItemRead::Read;
  if (item.expanded) return true;
  const TypeRecord* type = symbols_.typeByName(item.typeName);
  if (type == nullptr || type->size > kMaxItemSize) return false;

  std::vector<uint8_t> value(type->size, 0);
  if (item.instanceCount > 0 && !item.isNew && item.elementIndex >= 0) {
    const auto read = ut.readItem(item.itemNumber, static_cast<uint32_t>(item.elementIndex), value);
    if (outcome != nullptr) *outcome = read;
    if (read == NvUtAccess::ItemRead::Failed) return false;
    if (read == NvUtAccess::ItemRead::NotActive) {
      std::fill(value.begin(), value.end(), 0);
      // Whether the tree can be built is known from its type, without
      // building it for this element.
      if (deferEmptyTree) {
        if (!treeSizes_.of(symbols_, *type)) return false;
        item.value = std::move(value);
        item.expanded = true;
        item.treePending = true;
        return true;
      }
    }
  }
  if (!buildTree(item, *type)) return false;
  item.value = std::move(value);
  item.expanded = true;
  return true;
}

bool NvDatabase::buildTree(NVItemInfo& item, const TypeRecord& type) {
  auto nodes = buildItemSubtree(symbols_, type);
  treeSizes_.remember(type, nodes ? std::optional(nodes->size()) : std::nullopt);
  if (!nodes) return false;
  item.nodes = std::move(*nodes);
  // The list grew by doubling; the tree lives as long as its item.
  item.nodes.shrink_to_fit();
  item.treePending = false;
  return true;
}

std::optional<NodeRef> NvDatabase::resolve(std::string_view path, NvUtAccess& ut) {
  const std::size_t dot = path.find('.');
  NVItemInfo* item = findItem(path.substr(0, dot));
  if (item == nullptr || !expand(*item, ut)) return std::nullopt;
  NodeRef ref{item, NodeRef::kItemNode};
  if (dot == std::string_view::npos) return ref;

  std::string_view rest = path.substr(dot + 1);
  // The item node's only child is the type node.
  uint32_t first = 0;
  uint32_t count = item->nodes.empty() ? 0 : 1;
  for (;;) {
    const std::size_t next = rest.find('.');
    const std::string_view component = rest.substr(0, next);
    const auto begin = item->nodes.begin() + first;
    const auto match = std::find_if(begin, begin + count, [&](const NVNode& node) {
      return nodeTextEquals(node, component);
    });
    if (match == begin + count) return std::nullopt;
    ref.node = static_cast<uint32_t>(match - item->nodes.begin());
    if (next == std::string_view::npos) return ref;
    rest = rest.substr(next + 1);
    first = match->firstChild;
    count = match->childCount;
  }
}

std::string NvDatabase::pathOf(const NodeRef& ref) const {
  if (ref.isItemNode()) return ref.item->name;
  std::vector<uint32_t> chain;
  for (uint32_t at = ref.node; at != NVNode::kNone; at = ref.item->nodes[at].parent) {
    chain.push_back(at);
  }
  std::string path = ref.item->name;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += '.';
    path += nodeText(ref.item->nodes[*it]);
  }
  return path;
}

std::vector<NodeRef> NvDatabase::children(const NodeRef& ref, NvUtAccess& ut) {
  std::vector<NodeRef> result;
  if (!expand(*ref.item, ut)) return result;
  if (ref.isItemNode()) {
    if (!ref.item->nodes.empty()) result.push_back({ref.item, 0});
    return result;
  }
  const NVNode& node = ref.item->nodes[ref.node];
  for (uint32_t i = 0; i < node.childCount; ++i) result.push_back({ref.item, node.firstChild + i});
  return result;
}

std::vector<NodeRef> NvDatabase::leaves(NVItemInfo& item, NvUtAccess& ut) {
  std::vector<NodeRef> result;
  if (!expand(item, ut) || item.nodes.empty()) return result;
  // Children are stored after their parent, so an explicit stack walks the
  // tree in order without recursion.
  std::vector<uint32_t> stack{0};
  while (!stack.empty()) {
    const uint32_t at = stack.back();
    stack.pop_back();
    const NVNode& node = item.nodes[at];
    if (node.childCount == 0) {
      result.push_back({&item, at});
      continue;
    }
    for (uint32_t i = node.childCount; i > 0; --i) stack.push_back(node.firstChild + i - 1);
  }
  return result;
}

void NvDatabase::markChanged(const NodeRef& ref) {
  ref.item->changed = true;
  for (uint32_t at = ref.node; at != NVNode::kNone && at < ref.item->nodes.size();
       at = ref.item->nodes[at].parent) {
    ref.item->nodes[at].changed = true;
  }
}

void NvDatabase::clearChanged(NVItemInfo& item) {
  item.changed = false;
  for (NVNode& node : item.nodes) node.changed = false;
}

std::size_t NvDatabase::changedItemCount() const {
  return static_cast<std::size_t>(
      std::count_if(items_.begin(), items_.end(), [](const NVItemInfo& item) { return item.changed; }));
}

void NvDatabase::appendItem(NVItemInfo item) {
  items_.push_back(std::move(item));
  indexItem(items_.size() - 1);
}

namespace {
uint64_t elementKey(const NVItemInfo& item) {
  return uint64_t{item.itemNumber} << 32 | static_cast<uint32_t>(item.elementIndex);
}
}  // namespace

void NvDatabase::removeItem(std::size_t position) {
  if (position >= items_.size() || items_[position].hole) return;
  NVItemInfo item = std::move(items_[position]);
  items_[position] = NVItemInfo{};
  items_[position].hole = true;
  unindexItem(item.name, position);
  item.removedTwice = waiting_[elementKey(item)]++ > 0;
  removed_.push_back(std::move(item));
}

void NvDatabase::unindexItem(const std::string& name, std::size_t position) {
  const auto later = shadowed_.find(name);
  if (const auto found = itemIndex_.find(name); found != itemIndex_.end() && found->second == position) {
    if (later == shadowed_.end()) {
      itemIndex_.erase(found);
      return;
    }
    found->second = later->second.front();
    later->second.erase(later->second.begin());
  } else if (later != shadowed_.end()) {
    std::erase(later->second, position);
  }
  if (later != shadowed_.end() && later->second.empty()) shadowed_.erase(later);
}

void NvDatabase::forgetRemoved(std::size_t count) {
  count = std::min(count, removed_.size());
  for (std::size_t i = 0; i < count; ++i) {
    const auto found = waiting_.find(elementKey(removed_[i]));
    if (found != waiting_.end() && --found->second == 0) waiting_.erase(found);
  }
  removed_.erase(removed_.begin(), removed_.begin() + static_cast<std::ptrdiff_t>(count));
}

void NvDatabase::compact() {
  const auto holes = std::remove_if(items_.begin(), items_.end(), [](const NVItemInfo& item) { return item.hole; });
  if (holes == items_.end()) return;
  items_.erase(holes, items_.end());
  indexItems();
}

}  // namespace vx::nvdb
