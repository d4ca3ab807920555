#include "kmx/sim/nv_catalogue.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "catalogue_model.h"
#include "catalogue_text.h"
#include "catalogue_tree.h"
#include "kmx/sim/ut_model.h"
#include "symbol_text.h"

namespace kmx::sim {

using catalogue::Model;
using catalogue::TreeNode;

class NvCatalogue::Impl {
 public:
  CatalogueVariant variant;
  Model model;
  std::vector<CatalogueItem> items;
  std::string symbolText;
  std::vector<uint8_t> compressed;
  std::string nameTable;
  std::string descriptorTable;

  // The stored element an entry name stands for: "NAME" for an item of at
  // most one element, "NAME[k]" for an element of a longer list.
  const catalogue::Item* entry(const std::string& name, uint16_t& element) const {
    if (const catalogue::Item* item = model.findItem(name); item && item->count <= 1) {
      element = 0;
      return item;
    }
    auto open = name.rfind('[');
    if (open == std::string::npos || name.back() != ']' || open + 2 >= name.size()) return nullptr;
    const catalogue::Item* item = model.findItem(name.substr(0, open));
    if (!item || item->count <= 1) return nullptr;
    std::string digits = name.substr(open + 1, name.size() - open - 2);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 5) return nullptr;
    unsigned long k = std::stoul(digits);
    if (k >= item->count || std::to_string(k) != digits) return nullptr;
    element = static_cast<uint16_t>(k);
    return item;
  }
};

namespace {

// gzip stream (header, deflate data, trailer) as the gzip program writes it.
bool gzipCompress(const std::string& text, std::vector<uint8_t>& out) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&stream, static_cast<uLong>(text.size())) + 32);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

CatalogueItem describeItem(const catalogue::Item& item, uint16_t number, const Model& model) {
  CatalogueItem out;
  out.name = item.name;
  out.descriptor = item.descriptor;
  out.typeName = item.typeName;
  out.number = number;
  out.listDimension = item.count;
  out.presence = item.presence;
  out.flags = item.flags;
  out.size = model.type(item.type).size;
  return out;
}

}  // namespace

const char* hostileListName(HostileList list) {
  switch (list) {
    case HostileList::None:
      return "none";
    case HostileList::InactiveElements:
      return "inactive";
    case HostileList::HugeDimension:
      return "dimension";
  }
  return "none";
}

bool parseHostileList(const std::string& name, HostileList& list) {
  for (HostileList each : {HostileList::None, HostileList::InactiveElements, HostileList::HugeDimension}) {
    if (name == hostileListName(each)) {
      list = each;
      return true;
    }
  }
  return false;
}

bool parseItemFlags(const std::string& text, std::map<std::string, int32_t>& itemFlags) {
  const auto equals = text.find('=');
  if (equals == 0 || equals == std::string::npos || equals + 1 == text.size()) return false;
  const std::string digits = text.substr(equals + 1);
  char* end = nullptr;
  errno = 0;
  const long long flags = std::strtoll(digits.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || flags < INT32_MIN || flags > INT32_MAX) return false;
  itemFlags[text.substr(0, equals)] = static_cast<int32_t>(flags);
  return true;
}

NvCatalogue::NvCatalogue(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
NvCatalogue::~NvCatalogue() = default;

std::string NvCatalogue::sourceText() {
  return std::string(catalogue::kCatalogueText, catalogue::kCatalogueTextSize);
}

std::shared_ptr<const NvCatalogue> NvCatalogue::build(const CatalogueVariant& variant, std::string& error) {
  auto model = catalogue::parse(sourceText(), variant, error);
  if (!model) return nullptr;
  if (model->items.size() > 0xFFFF) {
    error = "more items than item numbers";
    return nullptr;
  }
  for (const auto& entry : variant.itemFlags) {
    const std::string& name = entry.first;
    auto found = std::find_if(model->items.begin(), model->items.end(),
                              [&](const catalogue::Item& item) { return item.name == name; });
    if (found == model->items.end()) {
      error = "no item " + name + " to give flags";
      return nullptr;
    }
    found->flags = entry.second;
  }
  auto impl = std::make_unique<Impl>();
  impl->variant = variant;
  impl->model = std::move(*model);
  const Model& m = impl->model;
  for (std::size_t i = 0; i < m.items.size(); ++i) {
    impl->items.push_back(describeItem(m.items[i], static_cast<uint16_t>(i), m));
  }
  std::size_t missing = variant.shortDescriptorTable ? std::min(kShortTableMissing, m.items.size()) : 0;
  for (std::size_t i = m.items.size() - missing; i < m.items.size(); ++i) impl->items[i].described = false;
  impl->nameTable = catalogue::nameTable(m);
  impl->descriptorTable = catalogue::descriptorTable(m, missing);
  // Each table is an array of characters, NUL included; bounds are 16 bits.
  if (impl->nameTable.size() + 1 > 0xFFFF || impl->descriptorTable.size() + 1 > 0xFFFF) {
    error = "item tables longer than one array bound";
    return nullptr;
  }
  catalogue::TableSymbols tables{kNameTableAddress, static_cast<uint32_t>(impl->nameTable.size() + 1),
                                 kDescriptorTableAddress, static_cast<uint32_t>(impl->descriptorTable.size() + 1)};
  impl->symbolText = catalogue::symbolText(m, tables);
  if (!gzipCompress(impl->symbolText, impl->compressed)) {
    error = "compressing the symbol information failed";
    return nullptr;
  }
  return std::shared_ptr<const NvCatalogue>(new NvCatalogue(std::move(impl)));
}

const CatalogueVariant& NvCatalogue::variant() const { return impl_->variant; }
const std::vector<CatalogueItem>& NvCatalogue::items() const { return impl_->items; }
const std::string& NvCatalogue::symbolText() const { return impl_->symbolText; }
const std::vector<uint8_t>& NvCatalogue::compressedSymbolText() const { return impl_->compressed; }
const std::string& NvCatalogue::nameTable() const { return impl_->nameTable; }
const std::string& NvCatalogue::descriptorTable() const { return impl_->descriptorTable; }

const CatalogueItem* NvCatalogue::find(const std::string& name) const {
  for (const auto& item : impl_->items) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

std::vector<std::string> NvCatalogue::entryNames() const {
  std::vector<std::string> names;
  for (const auto& item : impl_->items) {
    if (!item.described) continue;
    if (item.listDimension == 0) {
      if (item.presence == 1) names.push_back(item.name);
    } else if (item.listDimension == 1) {
      names.push_back(item.name);
    } else {
      for (uint16_t k = 0; k < item.listDimension; ++k) names.push_back(item.name + "[" + std::to_string(k) + "]");
    }
  }
  return names;
}

std::vector<std::string> NvCatalogue::leafPaths(const std::string& entry) const {
  uint16_t element = 0;
  const catalogue::Item* item = impl_->entry(entry, element);
  if (!item) return {};
  std::vector<std::string> paths;
  // Depth first, children in order.
  std::vector<std::pair<TreeNode, std::string>> stack;
  TreeNode root = catalogue::rootNode(impl_->model, *item);
  stack.emplace_back(root, entry + "." + root.text);
  while (!stack.empty()) {
    auto [node, path] = std::move(stack.back());
    stack.pop_back();
    auto children = catalogue::childNodes(impl_->model, node);
    if (node.shape == TreeNode::Shape::Leaf) {
      paths.push_back(path);
      continue;
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.emplace_back(*it, path + "." + it->text);
  }
  return paths;
}

std::optional<NvNode> NvCatalogue::locate(const std::string& path, std::string& error) const {
  std::vector<std::string> parts;
  std::istringstream in(path);
  std::string part;
  while (std::getline(in, part, '.')) parts.push_back(part);
  if (parts.empty()) {
    error = "empty path";
    return std::nullopt;
  }
  uint16_t element = 0;
  const catalogue::Item* item = impl_->entry(parts[0], element);
  if (!item) {
    error = "no item " + parts[0];
    return std::nullopt;
  }
  auto number = static_cast<uint16_t>(item - impl_->model.items.data());
  NvNode result;
  if (parts.size() == 1) {
    result.size = impl_->model.type(item->type).size;
    result.typeName = item->typeName;
  } else {
    std::vector<TreeNode> candidates = {catalogue::rootNode(impl_->model, *item)};
    const TreeNode* current = nullptr;
    TreeNode found;
    for (std::size_t i = 1; i < parts.size(); ++i) {
      if (current) candidates = catalogue::childNodes(impl_->model, *current);
      auto match = std::find_if(candidates.begin(), candidates.end(), [&](const TreeNode& n) { return n.text == parts[i]; });
      if (match == candidates.end()) {
        error = "no node " + parts[i] + " in " + path;
        return std::nullopt;
      }
      found = *match;
      current = &found;
    }
    result = catalogue::describe(impl_->model, found);
  }
  result.item = number;
  result.element = element;
  return result;
}

std::vector<std::pair<std::string, int32_t>> NvCatalogue::enumConstants(const std::string& typeName) const {
  std::vector<std::pair<std::string, int32_t>> out;
  if (const catalogue::Type* type = impl_->model.findType(typeName)) {
    for (const auto& c : type->constants) out.emplace_back(c.name, c.value);
  }
  return out;
}

namespace {

uint32_t loadWord(std::span<const uint8_t> bytes, uint32_t offset, uint32_t size) {
  uint32_t word = 0;
  for (uint32_t i = 0; i < size; ++i) {
    uint64_t at = uint64_t{offset} + i;
    if (at < bytes.size()) word |= uint32_t{bytes[at]} << (8 * i);
  }
  return word;
}

void storeWord(std::span<uint8_t> bytes, uint32_t offset, uint32_t size, uint32_t word) {
  for (uint32_t i = 0; i < size; ++i) {
    uint64_t at = uint64_t{offset} + i;
    if (at < bytes.size()) bytes[at] = static_cast<uint8_t>(word >> (8 * i));
  }
}

uint32_t bitMask(const NvNode& node) {
  uint64_t mask = ((uint64_t{1} << node.bitWidth) - 1) << node.bitPosition;
  return static_cast<uint32_t>(mask);
}

}  // namespace

int64_t NvCatalogue::readValue(const NvNode& node, std::span<const uint8_t> element) {
  switch (node.kind) {
    case NvNode::Kind::Aggregate:
      return 0;
    case NvNode::Kind::UnsignedBitfield:
      return (loadWord(element, node.offset, 4) & bitMask(node)) >> node.bitPosition;
    case NvNode::Kind::SignedBitfield: {
      // Shifted arithmetically: negative only when the field holds bit 31.
      auto masked = static_cast<int32_t>(loadWord(element, node.offset, 4) & bitMask(node));
      return masked >> node.bitPosition;
    }
    case NvNode::Kind::Signed:
    case NvNode::Kind::Enum: {
      uint32_t word = loadWord(element, node.offset, node.size);
      if (node.size == 1) return static_cast<int8_t>(word);
      if (node.size == 2) return static_cast<int16_t>(word);
      return static_cast<int32_t>(word);
    }
    case NvNode::Kind::Unsigned:
    case NvNode::Kind::Pointer:
      return loadWord(element, node.offset, node.size);
  }
  return 0;
}

void NvCatalogue::writeValue(const NvNode& node, std::span<uint8_t> element, int64_t value) {
  auto bits = static_cast<uint32_t>(value);
  switch (node.kind) {
    case NvNode::Kind::Aggregate:
      return;
    case NvNode::Kind::UnsignedBitfield:
    case NvNode::Kind::SignedBitfield: {
      uint32_t mask = bitMask(node);
      uint32_t word = loadWord(element, node.offset, 4);
      word = (word & ~mask) | ((bits << node.bitPosition) & mask);
      storeWord(element, node.offset, 4, word);
      return;
    }
    default:
      storeWord(element, node.offset, node.size, bits);
  }
}

void NvCatalogue::install(UtModel& model) const {
  const Model& m = impl_->model;
  model.nv.clear();
  for (std::size_t i = 0; i < m.items.size(); ++i) {
    const catalogue::Item& item = m.items[i];
    auto number = static_cast<uint16_t>(i);
    model.nv.define(number, static_cast<uint16_t>(m.type(item.type).size), item.count);
    for (std::size_t k = 0; k < item.values.size(); ++k) {
      model.nv.write(number, static_cast<uint16_t>(k), item.values[k]);
      if (!item.active[k]) model.nv.setActive(number, static_cast<uint16_t>(k), false);
    }
  }
  auto table = [](const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
  };
  model.memory.place(kSymbolRegion, kNameTableAddress, table(impl_->nameTable), false);
  model.memory.place(kSymbolRegion, kDescriptorTableAddress, table(impl_->descriptorTable), false);
  model.setSymbolInformation(impl_->variant.emptySymbolInformation ? std::vector<uint8_t>() : impl_->compressed);
  model.status.set(status_item::kModel, {impl_->variant.mainModel});
  model.catalogue = shared_from_this();
}

}  // namespace kmx::sim
