#include "catalogue_tree.h"

namespace kmx::sim::catalogue {
namespace {

uint32_t elementSize(const Model& model, const Member& m) {
  return (m.function || m.pointerLevel > 0) ? 4 : model.type(m.type).size;
}

uint32_t rowStride(const Model& model, const Member& m) {
  uint32_t stride = elementSize(model, m);
  for (std::size_t i = 1; i < m.dims.size(); ++i) stride *= m.dims[i];
  return stride;
}

}  // namespace

std::vector<TreeNode> buildNodes(const Model& model, const Member& record, const std::string& name, uint32_t offset) {
  TreeNode node;
  node.baseName = name;
  node.record = record;
  node.offset = offset;
  if (record.dims.size() == 1) {
    node.text = name + "[" + std::to_string(record.dims[0]) + "]";
    node.shape = TreeNode::Shape::Array;
    return {node};
  }
  if (record.dims.size() > 1) {
    std::vector<TreeNode> rows;
    uint32_t stride = rowStride(model, record);
    for (uint32_t i = 0; i < record.dims[0]; ++i) {
      TreeNode row = node;
      row.text = name + "[" + std::to_string(i) + "]";
      row.shape = TreeNode::Shape::Rows;
      row.offset = offset + i * stride;
      rows.push_back(std::move(row));
    }
    return rows;
  }
  const Type& type = model.type(record.type);
  bool aggregate = !record.bitfield && !record.function && record.pointerLevel == 0 &&
                   (type.kind == Type::Kind::Struct || type.kind == Type::Kind::Union);
  node.shape = aggregate ? TreeNode::Shape::Record : TreeNode::Shape::Leaf;
  node.text = name;
  if (!record.bitfield && !record.function) node.text.append(static_cast<std::size_t>(record.pointerLevel), '*');
  return {node};
}

std::vector<TreeNode> childNodes(const Model& model, const TreeNode& node) {
  std::vector<TreeNode> out;
  switch (node.shape) {
    case TreeNode::Shape::Leaf:
      break;
    case TreeNode::Shape::Array: {
      Member element = node.record;
      element.dims.clear();
      uint32_t size = elementSize(model, element);
      for (uint32_t i = 0; i < node.record.dims[0]; ++i) {
        auto built = buildNodes(model, element, node.baseName + "[" + std::to_string(i) + "]", node.offset + i * size);
        out.insert(out.end(), built.begin(), built.end());
      }
      break;
    }
    case TreeNode::Shape::Rows: {
      Member rest = node.record;
      rest.dims.erase(rest.dims.begin());
      out = buildNodes(model, rest, node.baseName, node.offset);
      break;
    }
    case TreeNode::Shape::Record:
      for (const auto& member : model.type(node.record.type).members) {
        auto built = buildNodes(model, member, member.name, node.offset + member.offset);
        out.insert(out.end(), built.begin(), built.end());
      }
      break;
  }
  return out;
}

TreeNode rootNode(const Model& model, const Item& item) {
  Member record;
  record.name = item.typeName;
  record.type = item.type;
  return buildNodes(model, record, item.typeName, 0).front();
}

NvNode describe(const Model& model, const TreeNode& node) {
  NvNode out;
  switch (node.shape) {
    case TreeNode::Shape::Leaf:
      return leafOf(model, node.record, node.offset);
    case TreeNode::Shape::Array:
      out.size = elementSize(model, node.record) * node.record.dims[0];
      break;
    case TreeNode::Shape::Rows:
      out.size = rowStride(model, node.record);
      break;
    case TreeNode::Shape::Record:
      out.size = model.type(node.record.type).size;
      break;
  }
  out.kind = NvNode::Kind::Aggregate;
  out.offset = node.offset;
  out.typeName = model.type(node.record.type).name;
  return out;
}

}  // namespace kmx::sim::catalogue
