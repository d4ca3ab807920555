#include "symbol_table.h"

#include <algorithm>

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
  if (index >= 0 && static_cast<uint32_t>(index) < denseLimit_) {
    const auto at = static_cast<uint32_t>(index);
    if (at >= denseTypeIndex_.size() || denseTypeIndex_[at] == kNoType) return nullptr;
    return &types_[denseTypeIndex_[at]];
  }
  return lookUp(typeIndex_, index, types_);
}

void SymbolTable::indexType(int32_t index, uint32_t position) {
  if (index >= 0 && static_cast<uint32_t>(index) < denseLimit_) {
    const auto at = static_cast<uint32_t>(index);
    if (at >= denseTypeIndex_.size()) denseTypeIndex_.resize(std::max<std::size_t>(at + 1, denseTypeIndex_.size() * 2), kNoType);
    if (denseTypeIndex_[at] == kNoType) denseTypeIndex_[at] = position;
    return;
  }
  typeIndex_.try_emplace(index, position);
}

const TypeRecord* SymbolTable::typeByName(std::string_view name) const {
  return lookUp(typeNames_, name, types_);
}

const TypeRecord* SymbolTable::symbolByName(std::string_view name) const {
  const auto found = std::find_if(symbols_.begin(), symbols_.end(),
                                  [&](const TypeRecord& symbol) { return symbol.name == name; });
  return found == symbols_.end() ? nullptr : &*found;
}

}  // namespace vx::nvdb
