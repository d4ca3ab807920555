// Enumerated fields: the constants of a node's declared enum type, and the
// field's value read and written as a signed number of the enum's size.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "nv_tree.h"
#include "symbol_table.h"

namespace vx::nvdb {

struct EnumField {
  const TypeRecord* type = nullptr;         // the 'e' type record
  std::span<const MemberRecord> constants;  // in declaration order
};

// The enum type a node is declared with; nullopt when the node is not of an
// enum type or the enum's size is not 1, 2 or 4 bytes.
std::optional<EnumField> enumFieldOf(const SymbolTable& symbols, const NVNode& node);

// The field's value, sign-extended from the enum's size; nullopt when its
// bytes lie outside the item's buffer.
std::optional<int32_t> readEnumValue(const NVItemInfo& item, const NVNode& node,
                                     const EnumField& field);

// The first constant with this value, or the first of this exact name.
const MemberRecord* constantWithValue(const EnumField& field, int32_t value);
const MemberRecord* constantNamed(const SymbolTable& symbols, const EnumField& field,
                                  std::string_view name);

}  // namespace vx::nvdb
