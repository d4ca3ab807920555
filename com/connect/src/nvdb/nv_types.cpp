#include "nv_types.h"

#include <array>
#include <utility>

namespace vx::nvdb {

std::optional<BaseType> baseTypeByName(std::string_view name) {
  using T = NVNodeDataType;
  static constexpr std::array<std::pair<std::string_view, BaseType>, 9> kBaseTypes{{
      {"T_VOID", {T::NV_PTR, T::NV_UNKNOWN}},
      {"T_CHAR", {T::NV_CHAR, T::NV_BITFIELD}},
      {"T_SHORT", {T::NV_SHORT, T::NV_BITFIELD}},
      {"T_INT", {T::NV_INT, T::NV_BITFIELD}},
      {"T_LONG", {T::NV_LONG, T::NV_BITFIELD}},
      {"T_UCHAR", {T::NV_UCHAR, T::NV_UBITFIELD}},
      {"T_USHORT", {T::NV_USHORT, T::NV_UBITFIELD}},
      {"T_UINT", {T::NV_UINT, T::NV_UBITFIELD}},
      {"T_ULONG", {T::NV_ULONG, T::NV_UBITFIELD}},
  }};
  for (const auto& [baseName, type] : kBaseTypes) {
    if (baseName == name) return type;
  }
  return std::nullopt;
}

uint32_t scalarWidth(NVNodeDataType type) {
  switch (type) {
    case NVNodeDataType::NV_CHAR:
    case NVNodeDataType::NV_UCHAR:
      return 1;
    case NVNodeDataType::NV_SHORT:
    case NVNodeDataType::NV_USHORT:
      return 2;
    case NVNodeDataType::NV_PTR:
    case NVNodeDataType::NV_INT:
    case NVNodeDataType::NV_LONG:
    case NVNodeDataType::NV_UINT:
    case NVNodeDataType::NV_ULONG:
    case NVNodeDataType::NV_FLOAT:
    case NVNodeDataType::NV_BITFIELD:
    case NVNodeDataType::NV_UBITFIELD:
      return 4;
    case NVNodeDataType::NV_DOUBLE:
      return 8;
    case NVNodeDataType::NV_UNKNOWN:
    case NVNodeDataType::NV_BLOB:
      return 0;
  }
  return 0;
}

}  // namespace vx::nvdb
