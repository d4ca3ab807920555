// The UT's two NV item tables: the name table ("A,B,C": the position of a
// name is its item number) and the descriptor table (four fields per name:
// descriptor text, type name, presence value, flags).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vx::nvdb {

struct ItemTableRow {
  std::string name;
  std::string descriptor;
  std::string typeName;
  int32_t presence = 0;
  int32_t flags = 0;
  uint32_t itemNumber = 0;
};

// The rows of the names whose four descriptor fields are all present and not
// empty, in name table order. Each table is the bytes read from the UT; its
// text ends at the first NUL or at the end of the bytes.
std::vector<ItemTableRow> parseItemTables(std::span<const uint8_t> nameTable,
                                          std::span<const uint8_t> descriptorTable);

}  // namespace vx::nvdb
