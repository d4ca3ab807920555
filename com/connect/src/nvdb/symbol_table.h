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

namespace vx::nvdb {

// A field of a struct or union, or a constant of an enum.
struct MemberRecord {
  std::string_view name;
  int32_t typeOrValue = 0;  // the field's type index, or the constant's value
  int32_t offset = 0;       // bytes from the start of the parent
  uint32_t pointerLevel = 0;
  bool function = false;
  bool bitfield = false;
  int32_t bitWidth = 0;
  int32_t bitPosition = 0;
  uint32_t dimensionsBegin = 0;  // in the table's dimension pool
  uint32_t dimensionCount = 0;
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
  const TypeRecord* symbolByName(std::string_view name) const;

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

  // The symbol information; every name points into it. Held by pointer so
  // that moving the table never moves the characters.
  std::unique_ptr<const std::string> text_;
  std::vector<TypeRecord> types_;
  std::vector<TypeRecord> symbols_;
  std::vector<MemberRecord> members_;
  std::vector<uint16_t> dimensions_;
  std::unordered_map<int32_t, uint32_t> typeIndex_;
  std::unordered_map<std::string_view, uint32_t> typeNames_;
  std::unordered_map<std::string_view, uint32_t> symbolNames_;
};

}  // namespace vx::nvdb
