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
      : symbols_(symbols), bufferSize_(bufferSize), maxNodes_(maxNodes), scratch_(kMaxTreeDepth + 3) {}

  bool build(const TypeRecord& itemType) {
    Source root;
    root.name = itemType.name;
    root.typeIndex = itemType.index;
    root.type = &itemType;
    std::vector<Pending> top;
    emit(root, 0, 0, top);
    if (top.size() != 1) return false;
    nodes_.push_back(top.front().node);
    return fillChildren(0, top.front(), 1);
  }

  std::vector<NVNode> take() { return std::move(nodes_); }

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

  static NVNode leaf(const Source& source, uint32_t offset, NVNodeDataType type, uint32_t size) {
    NVNode node;
    node.name = source.name;
    node.suffix = source.suffix;
    node.suffixValue = source.suffixValue;
    node.data.typeIndex = source.typeIndex;
    node.data.dataType = type;
    node.data.offset = offset;
    node.data.size = size;
    return node;
  }

  static NVNode errorLeaf(const Source& source, uint32_t offset) {
    NVNode node = leaf(source, offset, NVNodeDataType::NV_UNKNOWN, 0);
    node.suffix = NodeSuffix::Error;
    return node;
  }

  void emitLeaf(const Source& source, uint64_t offset, NVNodeDataType type,
                std::vector<Pending>& out) const {
    const uint32_t width = scalarWidth(type);
    if (!fits(offset, width)) {
      out.push_back({errorLeaf(source, static_cast<uint32_t>(std::min<uint64_t>(offset, bufferSize_))), {}, {}, 0});
      return;
    }
    out.push_back({leaf(source, static_cast<uint32_t>(offset), type, width), {}, {}, 0});
  }

  // Appends the node(s) that `source` at `offset` gives, in the order of the
  // tree's rules: arrays, bitfields, functions, pointers, enums, structs and
  // unions, base types. A multi-dimensional array gives one node per row.
  void emit(const Source& source, uint64_t offset, unsigned depth, std::vector<Pending>& out) const {
    const auto clampedOffset = static_cast<uint32_t>(std::min<uint64_t>(offset, bufferSize_));
    if (depth > kMaxTreeDepth || offset > bufferSize_) {
      out.push_back({errorLeaf(source, clampedOffset), {}, {}, 0});
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
      out.push_back({errorLeaf(source, clampedOffset), {}, {}, 0});
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
          out.push_back({errorLeaf(source, clampedOffset), {}, {}, 0});
        } else {
          emitLeaf(source, offset, type, out);
        }
        return;
      }
      case TypeKind::Struct:
      case TypeKind::Union: {
        if (!fits(offset, source.type->size)) {
          out.push_back({errorLeaf(source, clampedOffset), {}, {}, 0});
          return;
        }
        Pending pending{leaf(source, clampedOffset, NVNodeDataType::NV_UNKNOWN, source.type->size),
                        Pending::Children::Members, source, 0};
        out.push_back(pending);
        return;
      }
      case TypeKind::Base: {
        const auto base = baseTypeByName(source.type->name);
        if (!base) {
          out.push_back({errorLeaf(source, clampedOffset), {}, {}, 0});
        } else {
          emitLeaf(source, offset, base->scalar, out);
        }
        return;
      }
    }
  }

  void emitArray(const Source& source, uint64_t offset, std::vector<Pending>& out) const {
    const auto clampedOffset = static_cast<uint32_t>(offset);
    uint64_t rowSize = elementSizeOf(source);
    for (const uint16_t bound : source.dimensions.subspan(1)) rowSize = timesSaturated(rowSize, bound);
    const uint64_t first = source.dimensions.front();
    if (!fits(offset, timesSaturated(first, rowSize))) {
      out.push_back({errorLeaf(source, clampedOffset), {}, {}, 0});
      return;
    }
    if (source.dimensions.size() == 1) {
      NVNode node = leaf(source, clampedOffset, NVNodeDataType::NV_BLOB,
                         static_cast<uint32_t>(first * rowSize));
      node.suffix = NodeSuffix::Bound;
      node.suffixValue = static_cast<uint32_t>(first);
      out.push_back({node, Pending::Children::ArrayElements, source, rowSize});
      return;
    }
    // One node per row of the first dimension, each holding an array of the
    // remaining dimensions.
    for (uint64_t row = 0; row < first; ++row) {
      NVNode node = leaf(source, static_cast<uint32_t>(offset + row * rowSize),
                         NVNodeDataType::NV_BLOB, static_cast<uint32_t>(rowSize));
      node.suffix = NodeSuffix::Index;
      node.suffixValue = static_cast<uint32_t>(row);
      out.push_back({node, Pending::Children::ArrayRow, source, rowSize});
    }
  }

  void emitBitfield(const Source& source, uint64_t offset, std::vector<Pending>& out) const {
    const TypeRecord* declared = source.type;
    const auto base = declared != nullptr && declared->kind == TypeKind::Base
                          ? baseTypeByName(declared->name)
                          : std::nullopt;
    if (!base || base->bitfield == NVNodeDataType::NV_UNKNOWN) return;  // no node
    // The field lives in the word at its offset; near the end of the buffer
    // only the bytes that remain are part of that word.
    const uint64_t wordBytes = offset < bufferSize_ ? std::min<uint64_t>(4, bufferSize_ - offset) : 0;
    const bool valid = source.bitWidth >= 1 && source.bitPosition >= 0 &&
                       static_cast<uint64_t>(source.bitWidth) + static_cast<uint64_t>(source.bitPosition) <=
                           wordBytes * 8;
    if (!valid) {
      out.push_back({errorLeaf(source, static_cast<uint32_t>(std::min<uint64_t>(offset, bufferSize_))), {}, {}, 0});
      return;
    }
    NVNode node = leaf(source, static_cast<uint32_t>(offset), base->bitfield, static_cast<uint32_t>(wordBytes));
    node.data.bitWidth = static_cast<uint32_t>(source.bitWidth);
    node.data.bitPosition = static_cast<uint32_t>(source.bitPosition);
    out.push_back({node, {}, {}, 0});
  }

  // The child sources of a pending node, each emitted in order.
  void emitChildren(const Pending& pending, unsigned depth, std::vector<Pending>& out) const {
    const Source& source = pending.source;
    const uint64_t base = pending.node.data.offset;
    switch (pending.children) {
      case Pending::Children::None:
        return;
      case Pending::Children::ArrayElements: {
        Source element = source;
        element.dimensions = {};
        element.suffix = NodeSuffix::Index;
        for (uint32_t i = 0; i < pending.node.suffixValue; ++i) {
          element.suffixValue = i;
          emit(element, base + i * pending.elementSize, depth, out);
        }
        return;
      }
      case Pending::Children::ArrayRow: {
        Source rest = source;
        rest.dimensions = source.dimensions.subspan(1);
        emit(rest, base, depth, out);
        return;
      }
      case Pending::Children::Members:
        for (const MemberRecord& member : symbols_.members(*source.type)) {
          Source child;
          child.name = member.name;
          child.typeIndex = member.typeOrValue;
          child.type = symbols_.typeByIndex(member.typeOrValue);
          child.dimensions = symbols_.dimensions(member);
          child.pointerLevel = member.pointerLevel;
          child.function = member.function;
          child.bitfield = member.bitfield;
          child.bitWidth = member.bitWidth;
          child.bitPosition = member.bitPosition;
          if (member.offset < 0) {
            out.push_back({errorLeaf(child, static_cast<uint32_t>(base)), {}, {}, 0});
            continue;
          }
          emit(child, base + static_cast<uint64_t>(member.offset), depth, out);
        }
        return;
    }
  }

  // Makes the children of nodes_[index] consecutively, then theirs.
  bool fillChildren(uint32_t index, const Pending& pending, unsigned depth) {
    // One list per depth, reused: a tree is built without an allocation per
    // node. Sized once, so the reference stays valid through the recursion.
    if (depth >= scratch_.size()) return false;
    std::vector<Pending>& children = scratch_[depth];
    children.clear();
    emitChildren(pending, depth, children);
    if (children.empty()) return true;
    if (nodes_.size() + children.size() > maxNodes_) return false;
    const auto first = static_cast<uint32_t>(nodes_.size());
    nodes_[index].firstChild = first;
    nodes_[index].childCount = static_cast<uint32_t>(children.size());
    for (Pending& child : children) {
      child.node.parent = index;
      nodes_.push_back(child.node);
    }
    for (uint32_t i = 0; i < children.size(); ++i) {
      if (!fillChildren(first + i, children[i], depth + 1)) return false;
    }
    return true;
  }

  const SymbolTable& symbols_;
  const uint32_t bufferSize_;
  const std::size_t maxNodes_;
  std::vector<NVNode> nodes_;
  std::vector<std::vector<Pending>> scratch_;
};

}  // namespace

std::optional<std::vector<NVNode>> buildItemSubtree(const SymbolTable& symbols,
                                                    const TypeRecord& itemType,
                                                    std::size_t maxNodes) {
  Builder builder(symbols, itemType.size, maxNodes);
  if (!builder.build(itemType)) return std::nullopt;
  return builder.take();
}

}  // namespace vx::nvdb
