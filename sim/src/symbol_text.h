// Writes what the UT software carries about its NV items: the symbol
// information text (type records, then symbol records, with a few records
// that readers skip) and the two item tables.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue_model.h"

namespace kmx::sim::catalogue {

// Where the two table symbols point and how long (NUL included) they are.
struct TableSymbols {
  uint32_t nameAddress = 0;
  uint32_t nameSize = 0;
  uint32_t descriptorAddress = 0;
  uint32_t descriptorSize = 0;
};

std::string symbolText(const Model& model, const TableSymbols& tables);
// Item names separated by ',' (no terminator; the caller adds the NUL).
std::string nameTable(const Model& model);
// Four fields a name: descriptor, type name, presence, flags. A short table
// stops `missing` names before the end, in the middle of a name's fields.
std::string descriptorTable(const Model& model, std::size_t missing);

}  // namespace kmx::sim::catalogue
