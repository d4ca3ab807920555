#include "subtree_builder.h"

#include <algorithm>
#include <span>
#include <string_view>

namespace vx::nvdb {

namespace {

// What a node is made from: the item's type, a member of a struct or union,
// or one element (or one row of a multi-dimensional array) of a member.
struct Source {
  std::string_view name;
  int32_t typeIndex = -1;
  const TypeRecord* type = nullptr;  // null: the declared type is unknown
  std::span<const uint16_t> dimensions;
  uint32_t pointerLevel = 0;
  bool function = false;
  bool bitfield = false;
  int32_t bitWidth = 0;
  int32_t bitPosition = 0;
  NodeSuffix suffix = NodeSuffix::None;  // Index for array elements
  uint32_t suffixValue = 0;
};

// A node made but not yet filled in: how its children are to be made.
struct Pending {
  enum class Children { None, ArrayElements, ArrayRow, Members };
  NVNode node;
  Children children = Children::None;
  Source source;             // the record the children come from
  uint64_t elementSize = 0;  // ArrayElements / ArrayRow: bytes per element or row
};

class Builder {
 public:
  Builder(const SymbolTable& symbols, uint32_t bufferSize, std::size_t maxNodes)
      : symbols_(symbols), bufferSize_(bufferSize), maxNodes_(maxNodes) {}

  bool build(const TypeRecord& itemType) {
    Source root;
    root.name = itemType.name;
    root.typeIndex = itemType.index;
    root.type = &itemType;
    emit(root, 0, 0, pending_);
    if (pending_.size() != 1) return false;
    nodes_.push_back(pending_.front().node);
    return fillChildren(0, 0, 1);
  }

  std::vector<NVNode> take() { return std::move(nodes_); }

  std::optional<std::size_t> count(const TypeRecord& itemType) {
    Source root;
    root.name = itemType.name;
    root.typeIndex = itemType.index;
    root.type = &itemType;
    std::vector<Pending> top;
    emit(root, 0, 0, top);
    if (top.size() != 1) return std::nullopt;
    levels_.resize(kMaxTreeDepth + 2);
    counted_ = 1;
    if (!countBelow(top.front(), 1)) return std::nullopt;
    return counted_;
  }

 private:
  static uint64_t elementSizeOf(const Source& source) {
    // Pointers and functions are words, whatever they point at.
    if (source.function || source.pointerLevel > 0) return 4;
    return source.type == nullptr ? 0 : source.type->size;
  }

  bool fits(uint64_t offset, uint64_t size) const {
    return size <= bufferSize_ && offset <= bufferSize_ - size;
  }

  // Sizes of arrays of arrays can exceed any buffer; saturate rather than wrap.
  static uint64_t timesSaturated(uint64_t a, uint64_t b) {
    constexpr uint64_t kLimit = uint64_t{1} << 40;
    if (a == 0 || b == 0) return 0;
    return a > kLimit / b ? kLimit : a * b;
  }

  // Every pending node becomes a node, so a list longer than the cap means
  // the tree is too big: emitting stops there instead of filling memory.
  bool tooMany(const std::vector<Pending>& out) const { return out.size() > maxNodes_; }

  // Appends a node made from `source`, built in place in the list.
  static Pending& push(std::vector<Pending>& out, const Source& source, uint64_t offset,
                       NVNodeDataType type, uint32_t size) {
    Pending& pending = out.emplace_back();
    NVNode& node = pending.node;
    node.name = source.name;
    node.suffix = source.suffix;
    node.suffixValue = source.suffixValue;
    node.data.typeIndex = source.typeIndex;
    node.data.dataType = type;
    node.data.offset = static_cast<uint32_t>(offset);
    node.data.size = size;
    return pending;
  }

  void pushError(std::vector<Pending>& out, const Source& source, uint64_t offset) const {
    push(out, source, std::min<uint64_t>(offset, bufferSize_), NVNodeDataType::NV_UNKNOWN, 0)
        .node.suffix = NodeSuffix::Error;
  }

  void emitLeaf(const Source& source, uint64_t offset, NVNodeDataType type,
                std::vector<Pending>& out) const {
    const uint32_t width = scalarWidth(type);
    if (!fits(offset, width)) {
      pushError(out, source, offset);
      return;
    }
    push(out, source, offset, type, width);
  }

  // Appends the node(s) that `source` at `offset` gives, in the order of the
  // tree's rules: arrays, bitfields, functions, pointers, enums, structs and
  // unions, base types. A multi-dimensional array gives one node per row.
  void emit(const Source& source, uint64_t offset, unsigned depth, std::vector<Pending>& out) const {
    if (depth > kMaxTreeDepth || offset > bufferSize_) {
      pushError(out, source, offset);
      return;
    }
    if (!source.dimensions.empty()) {
      emitArray(source, offset, out);
      return;
    }
    if (source.bitfield) {
      emitBitfield(source, offset, out);
      return;
    }
    if (source.function || source.pointerLevel > 0) {
      emitLeaf(source, offset, NVNodeDataType::NV_PTR, out);
      // A function is named plainly; a pointer carries one '*' per level.
      if (!source.function && out.back().node.suffix != NodeSuffix::Error) {
        out.back().node.stars = source.pointerLevel;
      }
      return;
    }
    if (source.type == nullptr) {
      pushError(out, source, offset);
      return;
    }
    switch (source.type->kind) {
      case TypeKind::Enum: {
        const uint32_t size = source.type->size;
        const NVNodeDataType type = size == 1   ? NVNodeDataType::NV_CHAR
                                    : size == 2 ? NVNodeDataType::NV_SHORT
                                    : size == 4 ? NVNodeDataType::NV_INT
                                                : NVNodeDataType::NV_UNKNOWN;
        if (type == NVNodeDataType::NV_UNKNOWN) {
          pushError(out, source, offset);
        } else {
          emitLeaf(source, offset, type, out);
        }
        return;
      }
      case TypeKind::Struct:
      case TypeKind::Union: {
        if (!fits(offset, source.type->size)) {
          pushError(out, source, offset);
          return;
        }
        Pending& pending = push(out, source, offset, NVNodeDataType::NV_UNKNOWN, source.type->size);
        pending.children = Pending::Children::Members;
        pending.source = source;
        return;
      }
      case TypeKind::Base: {
        if (source.type->scalarType == NVNodeDataType::NV_UNKNOWN) {
          pushError(out, source, offset);
        } else {
          emitLeaf(source, offset, source.type->scalarType, out);
        }
        return;
      }
    }
  }

  void emitArray(const Source& source, uint64_t offset, std::vector<Pending>& out) const {
    uint64_t rowSize = elementSizeOf(source);
    for (const uint16_t bound : source.dimensions.subspan(1)) rowSize = timesSaturated(rowSize, bound);
    const uint64_t first = source.dimensions.front();
    if (!fits(offset, timesSaturated(first, rowSize))) {
      pushError(out, source, offset);
      return;
    }
    if (source.dimensions.size() == 1) {
      Pending& array = push(out, source, offset, NVNodeDataType::NV_BLOB, static_cast<uint32_t>(first * rowSize));
      array.node.suffix = NodeSuffix::Bound;
      array.node.suffixValue = static_cast<uint32_t>(first);
      array.children = Pending::Children::ArrayElements;
      array.source = source;
      array.elementSize = rowSize;
      return;
    }
    // One node per row of the first dimension, each holding an array of the
    // remaining dimensions.
    for (uint64_t row = 0; row < first && !tooMany(out); ++row) {
      Pending& line = push(out, source, offset + row * rowSize, NVNodeDataType::NV_BLOB,
                           static_cast<uint32_t>(rowSize));
      line.node.suffix = NodeSuffix::Index;
      line.node.suffixValue = static_cast<uint32_t>(row);
      line.children = Pending::Children::ArrayRow;
      line.source = source;
      line.elementSize = rowSize;
    }
  }

  void emitBitfield(const Source& source, uint64_t offset, std::vector<Pending>& out) const {
    const TypeRecord* declared = source.type;
    if (declared == nullptr || declared->bitfieldType == NVNodeDataType::NV_UNKNOWN) return;  // no node
    // The field lives in the word at its offset; near the end of the buffer
    // only the bytes that remain are part of that word.
    const uint64_t wordBytes = offset < bufferSize_ ? std::min<uint64_t>(4, bufferSize_ - offset) : 0;
    const bool valid = source.bitWidth >= 1 && source.bitPosition >= 0 &&
                       static_cast<uint64_t>(source.bitWidth) + static_cast<uint64_t>(source.bitPosition) <=
                           wordBytes * 8;
    if (!valid) {
      pushError(out, source, offset);
      return;
    }
    NVNode& node = push(out, source, offset, declared->bitfieldType, static_cast<uint32_t>(wordBytes)).node;
    node.data.bitWidth = static_cast<uint32_t>(source.bitWidth);
    node.data.bitPosition = static_cast<uint32_t>(source.bitPosition);
  }

  // How many sources the children of a pending node come from: array
  // elements, the row's remaining array, or members.
  std::size_t childSources(const Pending& pending) const {
    switch (pending.children) {
      case Pending::Children::None:
        return 0;
      case Pending::Children::ArrayElements:
        return pending.node.suffixValue;
      case Pending::Children::ArrayRow:
        return 1;
      case Pending::Children::Members:
        return pending.source.type->memberCount;
    }
    return 0;
  }

  // Emits the node(s) of the pending node's child source `i`.
  void emitChild(const Pending& pending, std::size_t i, unsigned depth, std::vector<Pending>& out) const {
    const Source& source = pending.source;
    const uint64_t base = pending.node.data.offset;
    switch (pending.children) {
      case Pending::Children::None:
        return;
      case Pending::Children::ArrayElements: {
        Source element = source;
        element.dimensions = {};
        element.suffix = NodeSuffix::Index;
        element.suffixValue = static_cast<uint32_t>(i);
        emit(element, base + i * pending.elementSize, depth, out);
        return;
      }
      case Pending::Children::ArrayRow: {
        Source rest = source;
        rest.dimensions = source.dimensions.subspan(1);
        emit(rest, base, depth, out);
        return;
      }
      case Pending::Children::Members: {
        const MemberRecord& member = symbols_.members(*source.type)[i];
        Source child;
        child.name = symbols_.nameOf(member);
        child.typeIndex = member.typeOrValue;
        child.type = symbols_.typeByIndex(member.typeOrValue);
        child.dimensions = symbols_.dimensions(member);
        child.pointerLevel = member.pointerLevel;
        child.function = member.function;
        child.bitfield = member.bitfield;
        child.bitWidth = member.bitWidth;
        child.bitPosition = member.bitPosition;
        if (member.offset < 0) {
          pushError(out, child, base);
          return;
        }
        emit(child, base + static_cast<uint64_t>(member.offset), depth, out);
        return;
      }
    }
  }

  // The children of a pending node, in order.
  void emitChildren(const Pending& pending, unsigned depth, std::vector<Pending>& out) const {
    const std::size_t sources = childSources(pending);
    for (std::size_t i = 0; i < sources && !tooMany(out); ++i) emitChild(pending, i, depth, out);
  }

  // Counts the nodes below a pending node without keeping them: each child
  // source is made, counted and its subtree counted before the next, so
  // only the nodes of one source per level wait at a time. The same
  // emission as fillChildren's, so the count is the size of the tree it
  // builds.
  bool countBelow(const Pending& parent, unsigned depth) {
    const std::size_t sources = childSources(parent);
    if (sources == 0) return true;
    // emit() makes no children below kMaxTreeDepth + 1.
    if (depth >= levels_.size()) return false;
    std::vector<Pending>& made = levels_[depth];
    for (std::size_t i = 0; i < sources; ++i) {
      made.clear();
      emitChild(parent, i, depth, made);
      counted_ += made.size();
      if (counted_ > maxNodes_) return false;
      for (const Pending& child : made) {
        if (!countBelow(child, depth + 1)) return false;
      }
    }
    return true;
  }

  // Makes the children of nodes_[index] consecutively, then theirs. The
  // pending nodes of every level share one list, used as a stack.
  bool fillChildren(uint32_t index, std::size_t pendingAt, unsigned depth) {
    if (pending_[pendingAt].children == Pending::Children::None) return true;
    const Pending parent = pending_[pendingAt];  // copied: emitting grows the list
    const std::size_t begin = pending_.size();
    emitChildren(parent, depth, pending_);
    const std::size_t count = pending_.size() - begin;
    if (count == 0) return true;
    if (nodes_.size() + count > maxNodes_) return false;
    const auto first = static_cast<uint32_t>(nodes_.size());
    nodes_[index].firstChild = first;
    nodes_[index].childCount = static_cast<uint32_t>(count);
    for (std::size_t i = begin; i < begin + count; ++i) {
      nodes_.push_back(pending_[i].node);
      nodes_.back().parent = index;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (!fillChildren(first + static_cast<uint32_t>(i), begin + i, depth + 1)) return false;
    }
    pending_.resize(begin);
    return true;
  }

  const SymbolTable& symbols_;
  const uint32_t bufferSize_;
  const std::size_t maxNodes_;
  std::vector<NVNode> nodes_;
  std::vector<Pending> pending_;
  // Counting: the nodes made so far, and one list of made nodes per depth.
  std::size_t counted_ = 0;
  std::vector<std::vector<Pending>> levels_;
};

}  // namespace

std::optional<std::vector<NVNode>> buildItemSubtree(const SymbolTable& symbols,
                                                    const TypeRecord& itemType,
                                                    std::size_t maxNodes) {
  Builder builder(symbols, itemType.size, maxNodes);
  if (!builder.build(itemType)) return std::nullopt;
  return builder.take();
}

std::optional<std::size_t> countItemSubtree(const SymbolTable& symbols, const TypeRecord& itemType,
                                            std::size_t maxNodes) {
  return Builder(symbols, itemType.size, maxNodes).count(itemType);
}

std::optional<std::size_t> TreeSizes::of(const SymbolTable& symbols, const TypeRecord& itemType) {
  if (const auto found = sizes_.find(itemType.name); found != sizes_.end()) return found->second;
  const auto count = countItemSubtree(symbols, itemType);
  sizes_.emplace(itemType.name, count);
  return count;
}

}  // namespace vx::nvdb
