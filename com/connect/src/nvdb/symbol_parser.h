// Parses the UT's symbol information text into a SymbolTable.
//
// One record per line (a line longer than 8191 bytes is split there):
//   type record:   <index> <name>:<size>[:<kind><sep><body>]   (kind e, s or u)
//   skipped line:  not starting with a digit, containing '.'
//   symbol record: <name>:[F][[d1,d2,...]][*...]<type index>:<hex address>
// A struct or union body is a list of fields
//   <name>,[F][[dims]][*...](b<sep><type>,<width>,<position>,<offset> | <type>,<offset>)
// each ended by ';' or '}'; an enum body a list of <name>:<value> ended by
// ',' or '}'.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "symbol_table.h"

namespace vx::nvdb {

struct SymbolParseResult {
  std::optional<SymbolTable> table;
  std::size_t errorRecord = 0;  // zero-based record index of a parse error
};

inline constexpr std::size_t kMaxRecordLength = 8191;

SymbolParseResult parseSymbolInformation(std::string text);

}  // namespace vx::nvdb
