// The catalogue as data: types with their members or constants, laid out,
// and items with the bytes of every element. The parser makes it from the
// catalogue text; the symbol writer, the path resolver and the installer
// read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kmx/sim/nv_catalogue.h"

namespace kmx::sim::catalogue {

// A structure or union member, or a record being expanded into tree nodes.
struct Member {
  std::string name;
  int type = 0;  // type index
  uint32_t offset = 0;
  int pointerLevel = 0;
  bool function = false;
  std::vector<uint16_t> dims;  // outermost first
  bool bitfield = false;
  uint8_t bitWidth = 0;
  uint8_t bitPosition = 0;
};

struct Constant {
  std::string name;
  int32_t value = 0;
};

struct Type {
  enum class Kind : char { Base = 0, Enum = 'e', Struct = 's', Union = 'u' };
  int index = 0;
  std::string name;
  Kind kind = Kind::Base;
  uint32_t size = 0;
  uint32_t align = 1;
  std::vector<Member> members;
  std::vector<Constant> constants;
};

struct Item {
  std::string name;
  std::string descriptor;
  std::string typeName;
  int type = 0;
  uint16_t count = 0;  // list dimension the UT reports
  int32_t presence = 0;
  int32_t flags = 0;
  // One entry per stored element: max(count, 1). An element no value line
  // sets holds no bytes (all zeros).
  std::vector<std::vector<uint8_t>> values;
  std::vector<bool> active;
};

struct Model {
  std::vector<Type> types;  // types[i].index == i + 1
  std::vector<Item> items;  // in name table order

  const Type& type(int index) const { return types[static_cast<std::size_t>(index - 1)]; }
  const Type* findType(const std::string& name) const;
  const Item* findItem(const std::string& name) const;
};

// Parses the catalogue text for one variant; nullopt with "line N: reason".
std::optional<Model> parse(const std::string& text, const CatalogueVariant& variant, std::string& error);

// The leaf a member (or the item's type itself) is, by the tree's rules;
// Aggregate for arrays, structures and unions.
NvNode leafOf(const Model& model, const Member& record, uint32_t offset);

}  // namespace kmx::sim::catalogue
