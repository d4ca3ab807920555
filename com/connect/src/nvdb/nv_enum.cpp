#include "nv_enum.h"

#include <algorithm>

namespace vx::nvdb {

std::optional<EnumField> enumFieldOf(const SymbolTable& symbols, const NVNode& node) {
  const TypeRecord* type = symbols.typeByIndex(node.data.typeIndex);
  if (type == nullptr || type->kind != TypeKind::Enum) return std::nullopt;
  if (type->size != 1 && type->size != 2 && type->size != 4) return std::nullopt;
  return EnumField{type, symbols.members(*type)};
}

std::optional<int32_t> readEnumValue(const NVItemInfo& item, const NVNode& node,
                                     const EnumField& field) {
  const uint32_t size = field.type->size;
  if (size > item.value.size() || node.data.offset > item.value.size() - size) return std::nullopt;
  const uint8_t* at = item.value.data() + node.data.offset;
  uint32_t raw = 0;
  for (uint32_t i = 0; i < size; ++i) raw |= static_cast<uint32_t>(at[i]) << (8 * i);
  switch (size) {
    case 1: return static_cast<int8_t>(raw);
    case 2: return static_cast<int16_t>(raw);
    default: return static_cast<int32_t>(raw);
  }
}

const MemberRecord* constantWithValue(const EnumField& field, int32_t value) {
  const auto found = std::find_if(field.constants.begin(), field.constants.end(),
                                  [&](const MemberRecord& constant) { return constant.typeOrValue == value; });
  return found == field.constants.end() ? nullptr : &*found;
}

const MemberRecord* constantNamed(const SymbolTable& symbols, const EnumField& field,
                                  std::string_view name) {
  const auto found = std::find_if(field.constants.begin(), field.constants.end(),
                                  [&](const MemberRecord& constant) { return symbols.nameOf(constant) == name; });
  return found == field.constants.end() ? nullptr : &*found;
}

}  // namespace vx::nvdb
