#include "symbol_table.h"

namespace vx::nvdb {

namespace {

template <typename Key>
const TypeRecord* lookUp(const std::unordered_map<Key, uint32_t>& map, const Key& key,
                         const std::vector<TypeRecord>& records) {
  const auto found = map.find(key);
  return found == map.end() ? nullptr : &records[found->second];
}

}  // namespace

const TypeRecord* SymbolTable::typeByIndex(int32_t index) const {
  return lookUp(typeIndex_, index, types_);
}

const TypeRecord* SymbolTable::typeByName(std::string_view name) const {
  return lookUp(typeNames_, name, types_);
}

const TypeRecord* SymbolTable::symbolByName(std::string_view name) const {
  return lookUp(symbolNames_, name, symbols_);
}

}  // namespace vx::nvdb
