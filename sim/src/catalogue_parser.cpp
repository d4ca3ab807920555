// Reads the catalogue text (its format is described at the top of
// sim/catalogue/nv_catalogue.txt) into a Model for one variant: types laid
// out as the UT's compiler does, items with the bytes of every element.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>

#include "catalogue_model.h"

namespace kmx::sim::catalogue {

const Type* Model::findType(const std::string& name) const {
  for (const auto& type : types) {
    if (type.name == name) return &type;
  }
  return nullptr;
}

const Item* Model::findItem(const std::string& name) const {
  for (const auto& item : items) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

NvNode leafOf(const Model& model, const Member& record, uint32_t offset) {
  NvNode node;
  node.offset = offset;
  const Type& type = model.type(record.type);
  node.typeName = type.name;
  const std::string& base = type.name;
  bool isSignedBase = base == "T_CHAR" || base == "T_SHORT" || base == "T_INT" || base == "T_LONG";
  if (!record.dims.empty()) {
    node.kind = NvNode::Kind::Aggregate;
  } else if (record.bitfield) {
    node.kind = isSignedBase ? NvNode::Kind::SignedBitfield : NvNode::Kind::UnsignedBitfield;
    node.size = 4;
    node.bitPosition = record.bitPosition;
    node.bitWidth = record.bitWidth;
  } else if (record.function || record.pointerLevel > 0 || base == "T_VOID") {
    node.kind = NvNode::Kind::Pointer;
    node.size = 4;
  } else if (type.kind == Type::Kind::Enum) {
    node.kind = NvNode::Kind::Enum;
    node.size = type.size;
  } else if (type.kind != Type::Kind::Base) {
    node.kind = NvNode::Kind::Aggregate;
    node.size = type.size;
  } else {
    node.kind = isSignedBase ? NvNode::Kind::Signed : NvNode::Kind::Unsigned;
    node.size = type.size;
  }
  return node;
}

namespace {

uint32_t alignUp(uint32_t value, uint32_t align) { return align <= 1 ? value : (value + align - 1) / align * align; }

std::vector<std::string> tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  std::string word;
  while (in >> word) out.push_back(word);
  return out;
}

bool toInteger(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') return false;
  value = v;
  return true;
}

// "name[2,4]" -> name and dims.
bool splitDims(const std::string& text, std::string& name, std::vector<uint16_t>& dims) {
  auto open = text.find('[');
  name = text.substr(0, open);
  dims.clear();
  if (open == std::string::npos) return !name.empty();
  if (text.back() != ']') return false;
  std::string inner = text.substr(open + 1, text.size() - open - 2);
  std::istringstream in(inner);
  std::string part;
  while (std::getline(in, part, ',')) {
    int64_t bound = 0;
    if (!toInteger(part, bound) || bound < 1 || bound > 0xFFFF) return false;
    dims.push_back(static_cast<uint16_t>(bound));
  }
  return !name.empty() && !dims.empty();
}

uint32_t elementSize(const Model& model, const Member& m) {
  return (m.function || m.pointerLevel > 0) ? 4 : model.type(m.type).size;
}

uint32_t elementAlign(const Model& model, const Member& m) {
  return (m.function || m.pointerLevel > 0) ? 4 : model.type(m.type).align;
}

uint64_t product(const std::vector<uint16_t>& dims, std::size_t from = 0) {
  uint64_t n = 1;
  for (std::size_t i = from; i < dims.size(); ++i) n *= dims[i];
  return n;
}

class Parser {
 public:
  Parser(const CatalogueVariant& variant) : variant_(variant) {}

  std::optional<Model> run(const std::string& text, std::string& error) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      ++lineNumber_;
      if (!parseLine(line)) {
        error = "line " + std::to_string(lineNumber_) + ": " + error_;
        return std::nullopt;
      }
    }
    if (open_ != Open::None && open_ != Open::Item) {
      error = "line " + std::to_string(lineNumber_) + ": missing end";
      return std::nullopt;
    }
    if (model_.items.empty()) {
      error = "no items";
      return std::nullopt;
    }
    return std::move(model_);
  }

 private:
  enum class Open { None, Enum, Struct, Item };

  bool fail(const std::string& reason) {
    error_ = reason;
    return false;
  }

  // Applies the variant's conditions and substitutions; false drops the line.
  bool prepare(std::string& line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"') quoted = !quoted;
      if (line[i] == '#' && !quoted && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
        line.erase(i);
        break;
      }
    }
    replaceAll(line, "$namechar", variant_.unicodePhoneBookNames ? "T_USHORT" : "T_UCHAR");
    replaceAll(line, "$names", std::to_string(variant_.nameArrayLength));
    auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] != '?') return true;
    auto end = line.find_first_of(" \t", first);
    std::string condition = line.substr(first + 1, end - first - 1);
    bool negate = !condition.empty() && condition[0] == '!';
    if (negate) condition.erase(0, 1);
    const HostileList hostile = variant_.hostileList;
    bool holds = condition == "unicode"        ? variant_.unicodePhoneBookNames
                 : condition == "oldsms"       ? variant_.oldSmsLayout
                 : condition == "olddir"       ? variant_.oldDirectoryNumber
                 : condition == "hostile"      ? hostile != HostileList::None
                 : condition == "inactivelist" ? hostile == HostileList::InactiveElements
                 : condition == "hugelist"     ? hostile == HostileList::HugeDimension
                                               : false;
    if (condition != "unicode" && condition != "oldsms" && condition != "olddir" && condition != "hostile" &&
        condition != "inactivelist" && condition != "hugelist") {
      unknownCondition_ = true;
    }
    if (holds == negate) return false;
    line.replace(first, end == std::string::npos ? std::string::npos : end - first + 1, "");
    return true;
  }

  static void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  }

  bool parseLine(std::string line) {
    unknownCondition_ = false;
    if (!prepare(line)) return !unknownCondition_ || fail("unknown condition");
    if (unknownCondition_) return fail("unknown condition");
    auto w = tokens(line);
    if (w.empty()) return true;
    bool indented = line[0] == ' ' || line[0] == '\t';
    if (indented) {
      if (open_ == Open::Enum) return constantLine(w);
      if (open_ == Open::Struct) return memberLine(w);
      if (open_ == Open::Item) return valueLine(line);
      return fail("indented line outside a definition");
    }
    if (w[0] == "end") {
      if (open_ == Open::Enum) return finishEnum();
      if (open_ == Open::Struct) return finishStruct();
      return fail("end without a definition");
    }
    if (open_ == Open::Enum || open_ == Open::Struct) return fail("definition not ended");
    open_ = Open::None;
    if (w[0] == "base" && w.size() == 3) return baseLine(w);
    if (w[0] == "enum" && w.size() == 3) return beginType(w[1], Type::Kind::Enum, w[2]);
    if ((w[0] == "struct" || w[0] == "union") && w.size() == 2)
      return beginType(w[1], w[0] == "struct" ? Type::Kind::Struct : Type::Kind::Union, "");
    if (w[0] == "item" && w.size() >= 7) return itemLine(w);
    return fail("unknown record: " + w[0]);
  }

  bool addType(Type type) {
    if (model_.findType(type.name)) return fail("type defined twice: " + type.name);
    type.index = static_cast<int>(model_.types.size()) + 1;
    model_.types.push_back(std::move(type));
    return true;
  }

  bool baseLine(const std::vector<std::string>& w) {
    int64_t size = 0;
    if (!toInteger(w[2], size) || size < 0 || size > 8) return fail("bad base type size");
    Type type;
    type.name = w[1];
    type.size = static_cast<uint32_t>(size);
    type.align = size == 0 ? 1 : static_cast<uint32_t>(size);
    return addType(std::move(type));
  }

  bool beginType(const std::string& name, Type::Kind kind, const std::string& size) {
    current_ = Type{};
    end_ = 0;
    current_.name = name;
    current_.kind = kind;
    if (kind == Type::Kind::Enum) {
      int64_t bytes = 0;
      if (!toInteger(size, bytes) || (bytes != 1 && bytes != 2 && bytes != 4)) return fail("enum size must be 1, 2 or 4");
      current_.size = static_cast<uint32_t>(bytes);
      current_.align = current_.size;
      open_ = Open::Enum;
    } else {
      open_ = Open::Struct;
      bitUnitBits_ = 0;
    }
    return true;
  }

  bool constantLine(const std::vector<std::string>& w) {
    int64_t value = 0;
    if (w.size() != 2 || !toInteger(w[1], value)) return fail("constant line must be NAME VALUE");
    int64_t limit = int64_t{1} << (8 * current_.size - 1);
    // The host reads an enumeration as a signed value of its size.
    if (value < -limit || value >= limit) return fail("constant does not fit the enum's size");
    current_.constants.push_back(Constant{w[0], static_cast<int32_t>(value)});
    return true;
  }

  bool memberLine(const std::vector<std::string>& w) {
    Member m;
    if (!splitDims(w[0], m.name, m.dims)) return fail("bad member name: " + w[0]);
    for (std::size_t i = 1; i + 1 < w.size(); ++i) {
      if (w[i] == "F") {
        m.function = true;
      } else if (w[i].find_first_not_of('*') == std::string::npos) {
        m.pointerLevel += static_cast<int>(w[i].size());
      } else {
        return fail("unexpected word in member: " + w[i]);
      }
    }
    if (w.size() < 2) return fail("member without a type");
    std::string typeName = w.back();
    int64_t width = 0;
    auto colon = typeName.find(':');
    if (colon != std::string::npos) {
      if (!toInteger(typeName.substr(colon + 1), width) || width < 1 || width > 32) return fail("bad bit width");
      typeName.erase(colon);
      m.bitfield = true;
      m.bitWidth = static_cast<uint8_t>(width);
    }
    const Type* type = model_.findType(typeName);
    if (!type) return fail("unknown type: " + typeName);
    m.type = type->index;
    if (m.bitfield && (type->kind != Type::Kind::Base || type->size == 0 || width > type->size * 8 ||
                       m.pointerLevel > 0 || m.function || !m.dims.empty()))
      return fail("a bitfield must be a plain base type member that holds its width");
    if (!m.bitfield && type->size == 0 && !m.function && m.pointerLevel == 0) return fail("member of size 0");
    place(m);
    current_.members.push_back(std::move(m));
    return true;
  }

  // Lays a member out after the ones before it (C rules, see the text's header).
  void place(Member& m) {
    if (current_.kind == Type::Kind::Union) {
      m.offset = 0;
      uint64_t size = m.bitfield ? model_.type(m.type).size : elementSize(model_, m) * product(m.dims);
      end_ = std::max<uint64_t>(end_, size);
      current_.align = std::max(current_.align, m.bitfield ? model_.type(m.type).size : elementAlign(model_, m));
      return;
    }
    if (m.bitfield) {
      uint32_t unitSize = model_.type(m.type).size;
      if (bitUnitBits_ > 0 && bitUnitSize_ == unitSize && bitUnitBits_ + m.bitWidth <= unitSize * 8) {
        m.offset = bitUnitOffset_;
        m.bitPosition = static_cast<uint8_t>(bitUnitBits_);
        bitUnitBits_ += m.bitWidth;
      } else {
        bitUnitOffset_ = alignUp(static_cast<uint32_t>(end_), unitSize);
        bitUnitSize_ = unitSize;
        bitUnitBits_ = m.bitWidth;
        m.offset = bitUnitOffset_;
        m.bitPosition = 0;
        end_ = bitUnitOffset_ + unitSize;
      }
      current_.align = std::max(current_.align, unitSize);
      return;
    }
    bitUnitBits_ = 0;
    uint32_t align = elementAlign(model_, m);
    m.offset = alignUp(static_cast<uint32_t>(end_), align);
    end_ = m.offset + elementSize(model_, m) * product(m.dims);
    current_.align = std::max(current_.align, align);
  }

  bool finishEnum() {
    open_ = Open::None;
    if (current_.constants.empty()) return fail("enum without constants");
    return addType(std::move(current_));
  }

  bool finishStruct() {
    open_ = Open::None;
    if (current_.members.empty()) return fail("structure without members");
    if (end_ > 0xFFFF) return fail("type larger than an NV item can be");
    current_.size = alignUp(static_cast<uint32_t>(end_), current_.align);
    return addType(std::move(current_));
  }

  bool itemLine(const std::vector<std::string>& w) {
    Item item;
    item.name = w[1];
    item.typeName = w[2];
    const Type* type = model_.findType(item.typeName);
    if (!type) return fail("unknown type: " + item.typeName);
    if (type->size == 0) return fail("item of size 0");
    item.type = type->index;
    int64_t count = 0, presence = 0, flags = 0;
    if (!toInteger(w[3], count) || count < 0 || count > 0xFFFF || !toInteger(w[4], presence) ||
        !toInteger(w[5], flags))
      return fail("bad count, presence or flags");
    item.count = static_cast<uint16_t>(count);
    item.presence = static_cast<int32_t>(presence);
    item.flags = static_cast<int32_t>(flags);
    for (std::size_t i = 6; i < w.size(); ++i) item.descriptor += (i > 6 ? " " : "") + w[i];
    if (item.descriptor.find(',') != std::string::npos) return fail("a descriptor holds no commas");
    if (model_.findItem(item.name)) return fail("item defined twice: " + item.name);
    // An element gets its bytes when a value line first sets it; until then
    // it holds none and reads as zeros, so a long list of large elements is
    // cheap to describe.
    std::size_t elements = item.count == 0 ? 1 : item.count;
    item.values.assign(elements, {});
    item.active.assign(elements, true);
    model_.items.push_back(std::move(item));
    open_ = Open::Item;
    return true;
  }

  // "[SEL] PATH = VALUE" or "[SEL] inactive".
  bool valueLine(std::string line) {
    Item& item = model_.items.back();
    std::size_t first = 0, last = item.values.size() - 1;
    auto start = line.find_first_not_of(" \t");
    line.erase(0, start);
    if (!line.empty() && line[0] == '[') {
      auto close = line.find(']');
      if (close == std::string::npos || !selection(line.substr(1, close - 1), item, first, last))
        return fail("bad element selection");
      line.erase(0, close + 1);
    }
    auto w = tokens(line);
    if (w.size() == 1 && w[0] == "inactive") {
      for (std::size_t k = first; k <= last; ++k) item.active[k] = false;
      return true;
    }
    auto equals = line.find('=');
    if (equals == std::string::npos) return fail("value line needs '='");
    std::string path = trim(line.substr(0, equals));
    std::string value = trim(line.substr(equals + 1));
    for (std::size_t k = first; k <= last; ++k) {
      if (item.values[k].empty()) item.values[k].assign(model_.type(item.type).size, 0);
      if (!assign(item, item.values[k], path, value)) return false;
    }
    return true;
  }

  static std::string trim(const std::string& text) {
    auto a = text.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    auto b = text.find_last_not_of(" \t");
    return text.substr(a, b - a + 1);
  }

  static bool selection(const std::string& text, const Item& item, std::size_t& first, std::size_t& last) {
    std::size_t n = item.values.size();
    if (text == "*") {
      first = 0;
      last = n - 1;
      return true;
    }
    int64_t a = 0, b = 0;
    auto dash = text.find('-');
    if (dash == std::string::npos) {
      if (!toInteger(text, a)) return false;
      b = a;
    } else if (!toInteger(text.substr(0, dash), a) || !toInteger(text.substr(dash + 1), b)) {
      return false;
    }
    if (a < 0 || b < a || static_cast<std::size_t>(b) >= n) return false;
    first = static_cast<std::size_t>(a);
    last = static_cast<std::size_t>(b);
    return true;
  }

  // Finds what a C path names below the item's type: the record and its offset.
  bool resolve(const Item& item, const std::string& path, Member& record, uint32_t& offset) {
    record = Member{};
    record.name = item.typeName;
    record.type = item.type;
    offset = 0;
    if (path.empty()) return true;
    std::istringstream in(path);
    std::string component;
    while (std::getline(in, component, '.')) {
      auto bracket = component.find('[');
      std::string name = component.substr(0, bracket);
      const Type& type = model_.type(record.type);
      if (!record.dims.empty() || record.pointerLevel > 0 ||
          (type.kind != Type::Kind::Struct && type.kind != Type::Kind::Union))
        return fail("no member " + name + " in " + path);
      const Member* found = nullptr;
      for (const auto& m : type.members) {
        if (m.name == name) found = &m;
      }
      if (!found) return fail("no member " + name + " in " + path);
      record = *found;
      offset += found->offset;
      while (bracket != std::string::npos) {
        auto close = component.find(']', bracket);
        int64_t index = 0;
        if (close == std::string::npos || !toInteger(component.substr(bracket + 1, close - bracket - 1), index) ||
            record.dims.empty() || index < 0 || index >= record.dims[0])
          return fail("bad index in " + path);
        offset += static_cast<uint32_t>(index * product(record.dims, 1) * elementSize(model_, record));
        record.dims.erase(record.dims.begin());
        bracket = component.find('[', close);
      }
    }
    return true;
  }

  bool scalar(const Member& record, const std::string& text, int64_t& value) {
    if (text.size() == 3 && text[0] == '\'' && text[2] == '\'') {
      value = static_cast<unsigned char>(text[1]);
      return true;
    }
    if (toInteger(text, value)) return true;
    const Type& type = model_.type(record.type);
    for (const auto& c : type.constants) {
      if (c.name == text) {
        value = c.value;
        return true;
      }
    }
    return fail("not a value of " + type.name + ": " + text);
  }

  bool fits(const NvNode& node, int64_t value) {
    unsigned bits = node.bitWidth != 0 ? node.bitWidth : node.size * 8;
    if (bits >= 32) return value >= INT32_MIN && value <= UINT32_MAX;
    int64_t span = int64_t{1} << bits;
    return value >= -(span / 2) && value < span;
  }

  bool assign(const Item& item, std::vector<uint8_t>& bytes, const std::string& path, const std::string& text) {
    Member record;
    uint32_t offset = 0;
    if (!resolve(item, path, record, offset)) return false;
    if (record.dims.empty()) {
      int64_t value = 0;
      NvNode node = leafOf(model_, record, offset);
      if (!node.isLeaf()) return fail(path + " is not a leaf");
      if (!scalar(record, text, value)) return false;
      if (!fits(node, value)) return fail("value does not fit " + path);
      NvCatalogue::writeValue(node, bytes, value);
      return true;
    }
    // A whole array: characters of a text or a list of numbers, from element 0.
    std::vector<int64_t> values;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
      for (std::size_t i = 1; i + 1 < text.size(); ++i) values.push_back(static_cast<unsigned char>(text[i]));
    } else if (text.size() >= 2 && text.front() == '{' && text.back() == '}') {
      for (const auto& word : tokens(text.substr(1, text.size() - 2))) {
        int64_t v = 0;
        if (!toInteger(word, v)) return fail("bad number in list: " + word);
        values.push_back(v);
      }
    } else {
      return fail(path + " is an array: give \"text\" or { numbers }");
    }
    if (record.dims.size() != 1 || values.size() > record.dims[0]) return fail("too many values for " + path);
    uint32_t stride = elementSize(model_, record);
    Member element = record;
    element.dims.clear();
    for (std::size_t i = 0; i < values.size(); ++i) {
      NvNode node = leafOf(model_, element, offset + static_cast<uint32_t>(i) * stride);
      if (!node.isLeaf() || !fits(node, values[i])) return fail("value does not fit " + path);
      NvCatalogue::writeValue(node, bytes, values[i]);
    }
    return true;
  }

  const CatalogueVariant& variant_;
  Model model_;
  Type current_;
  Open open_ = Open::None;
  uint64_t end_ = 0;
  uint32_t bitUnitOffset_ = 0;
  uint32_t bitUnitSize_ = 0;
  uint32_t bitUnitBits_ = 0;
  int lineNumber_ = 0;
  bool unknownCondition_ = false;
  std::string error_;
};

}  // namespace

std::optional<Model> parse(const std::string& text, const CatalogueVariant& variant, std::string& error) {
  if (variant.nameArrayLength < 1 || variant.nameArrayLength > 255) {
    error = "name array length out of range";
    return std::nullopt;
  }
  return Parser(variant).run(text, error);
}

}  // namespace kmx::sim::catalogue
