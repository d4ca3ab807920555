// An independent reader of symbol information text, written from the record
// grammar alone (not from the simulator's writer), so that the tests can
// check that what the simulated UT serves is what a host can read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kmx::sim::testing {

struct GrammarField {
  std::string name;
  bool function = false;
  std::vector<uint32_t> dims;
  int pointers = 0;
  bool bitfield = false;
  long type = -1;
  long width = 0;
  long position = 0;
  long offset = 0;
};

struct GrammarType {
  long index = 0;
  std::string name;
  unsigned long size = 0;
  char kind = 0;  // 0 base, 'e', 's', 'u'
  std::vector<GrammarField> fields;
  std::vector<std::pair<std::string, long>> constants;
};

struct GrammarSymbol {
  std::string name;
  bool function = false;
  std::vector<uint32_t> dims;
  int pointers = 0;
  long type = -1;
  unsigned long address = 0;
  unsigned long size = 0;  // by the size rule for symbols
};

struct SymbolFile {
  std::vector<GrammarType> types;
  std::vector<GrammarSymbol> symbols;
  std::size_t records = 0;
  std::size_t skipped = 0;  // records with '.' that readers skip

  const GrammarType* type(long index) const;
  const GrammarType* typeNamed(const std::string& name) const;
  const GrammarSymbol* symbol(const std::string& name) const;
};

// Reads the text; on a malformed record, nullopt with the zero-based record
// index and the reason in `error`.
std::optional<SymbolFile> readSymbolText(const std::string& text, std::string& error);

}  // namespace kmx::sim::testing
