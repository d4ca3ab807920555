// The rows of a language's string table and how a library finds its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vx::res {

struct StringRow {
  std::uint32_t id;
  const char* text;  // UTF-8
};

struct LanguageTable {
  const char* code;  // "ENU", "ESN", "FRA", "PTB"
  std::span<const StringRow> rows;
};

// Each number appears once in a table; every table checks this when it
// compiles. Rows are grouped by topic, not sorted: the look-up reads them in
// order, which for a table of this size costs nothing worth avoiding.
template <std::size_t N>
constexpr bool rowsUnique(const StringRow (&rows)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t j = i + 1; j < N; ++j)
      if (rows[i].id == rows[j].id) return false;
  return true;
}

// Defined by the one strings_<lang>.cpp linked into each library.
extern const LanguageTable kLanguageTable;
// The rows every language shares (strings_shared.cpp); a language's own row
// of the same number comes first.
extern const std::span<const StringRow> kSharedRows;

}  // namespace vx::res
