// The UT's types and global symbols as its symbol information describes them.
// Names are views into the symbol text, which the table owns; members and
// dimensions live in shared pools so that a large file costs few allocations.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nv_types.h"

namespace vx::nvdb {

// A field of a struct or union, or a constant of an enum. Kept small: a
// large symbol file holds a million of them. The name is found through the
// table (SymbolTable::nameOf).
struct MemberRecord {
  uint32_t nameOffset = 0;  // in the symbol text
  uint16_t nameLength = 0;
  uint8_t pointerLevel = 0;
  uint8_t dimensionCount = 0;
  int32_t typeOrValue = 0;  // the field's type index, or the constant's value
  int32_t offset = 0;       // bytes from the start of the parent
  uint32_t dimensionsBegin = 0;  // in the table's dimension pool
  // Bitfields: width and position, 255 standing for any larger number.
  uint8_t bitWidth = 0;
  uint8_t bitPosition = 0;
  bool function = false;
  bool bitfield = false;
};

enum class TypeKind : char { Base = 0, Enum = 'e', Struct = 's', Union = 'u' };

// A type, or a symbol (whose index is the index of its type).
struct TypeRecord {
  TypeKind kind = TypeKind::Base;
  int32_t index = 0;
  uint32_t size = 0;
  uint32_t address = 0;  // symbols only
  uint32_t pointerLevel = 0;
  bool function = false;
  std::string_view name;
  uint32_t dimensionsBegin = 0;
  uint32_t dimensionCount = 0;
  uint32_t membersBegin = 0;  // in the table's member pool
  uint32_t memberCount = 0;
  // A base type known by name, as a scalar and as a bitfield (NV_UNKNOWN
  // for names outside the UT's base types), found once at parse time.
  NVNodeDataType scalarType = NVNodeDataType::NV_UNKNOWN;
  NVNodeDataType bitfieldType = NVNodeDataType::NV_UNKNOWN;
};

class SymbolTable {
 public:
  SymbolTable() = default;
  SymbolTable(SymbolTable&&) noexcept = default;
  SymbolTable& operator=(SymbolTable&&) noexcept = default;
  SymbolTable(const SymbolTable&) = delete;
  SymbolTable& operator=(const SymbolTable&) = delete;

  // Lookups keep the first record of a given index or name, as a linear
  // search in file order would find it.
  const TypeRecord* typeByIndex(int32_t index) const;
  const TypeRecord* typeByName(std::string_view name) const;
  // Symbols are looked up rarely (the two item tables): a linear search.
  const TypeRecord* symbolByName(std::string_view name) const;

  std::string_view nameOf(const MemberRecord& member) const {
    return std::string_view(*text_).substr(member.nameOffset, member.nameLength);
  }
  std::span<const MemberRecord> members(const TypeRecord& type) const {
    return {members_.data() + type.membersBegin, type.memberCount};
  }
  std::span<const uint16_t> dimensions(const TypeRecord& record) const {
    return {dimensions_.data() + record.dimensionsBegin, record.dimensionCount};
  }
  std::span<const uint16_t> dimensions(const MemberRecord& member) const {
    return {dimensions_.data() + member.dimensionsBegin, member.dimensionCount};
  }

  std::size_t typeCount() const { return types_.size(); }
  std::size_t symbolCount() const { return symbols_.size(); }
  const std::vector<TypeRecord>& types() const { return types_; }
  const std::vector<TypeRecord>& symbols() const { return symbols_; }

 private:
  friend class SymbolParser;

  // Records the type at `position` under its index unless one is there.
  void indexType(int32_t index, uint32_t position);

  // The symbol information; every name points into it. Held by pointer so
  // that moving the table never moves the characters.
  std::unique_ptr<const std::string> text_;
  std::vector<TypeRecord> types_;
  std::vector<TypeRecord> symbols_;
  std::vector<MemberRecord> members_;
  std::vector<uint16_t> dimensions_;
  // Type indices are mostly small and dense: those below denseLimit_ are
  // found in a vector, the others in a map.
  static constexpr uint32_t kNoType = UINT32_MAX;
  std::vector<uint32_t> denseTypeIndex_;
  uint32_t denseLimit_ = 0;
  std::unordered_map<int32_t, uint32_t> typeIndex_;
  std::unordered_map<std::string_view, uint32_t> typeNames_;

};

}  // namespace vx::nvdb
