// The data types of NV tree nodes and the UT's base type names.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vx::nvdb {

// The type library's NVNodeDataType: the values cross to COM callers.
enum class NVNodeDataType : uint32_t {
  NV_UNKNOWN = 0,
  NV_PTR = 1,
  NV_CHAR = 2,
  NV_SHORT = 3,
  NV_INT = 4,
  NV_LONG = 5,
  NV_FLOAT = 6,
  NV_DOUBLE = 7,
  NV_UCHAR = 8,
  NV_USHORT = 9,
  NV_UINT = 10,
  NV_ULONG = 11,
  NV_BLOB = 12,
  NV_BITFIELD = 13,
  NV_UBITFIELD = 14,
};

struct BaseType {
  NVNodeDataType scalar;
  // The data type of a bitfield declared with this type; NV_UNKNOWN when the
  // type cannot carry bitfields.
  NVNodeDataType bitfield;
};

// The UT's base types are known by name ("T_ULONG", ...); nullopt for any other.
std::optional<BaseType> baseTypeByName(std::string_view name);

// Bytes a scalar of this data type occupies in an item buffer (0 for types
// that hold no scalar: blobs, unknown). Bitfields read a word of up to 4.
uint32_t scalarWidth(NVNodeDataType type);

}  // namespace vx::nvdb
