// The body of an NV backup file: one section per item element the UT holds,
// in tree order, with one "path value" line per leaf.
#pragma once

#include <functional>
#include <string>

#include "nv_database.h"

namespace vx::backup {

inline constexpr const char* kUnreadableItemWarning = " WARNING: KMX could not read this item!!!\n";

// Appends the sections to `out`. An item the UT could not read gets the
// warning and no values; one it holds without a value a bare section.
// `progress` (optional) hears of every item done.
void writeNvSections(vx::nvdb::NvDatabase& database, vx::nvdb::NvUtAccess& ut, std::string& out,
                     const std::function<void(std::size_t done, std::size_t total)>& progress = {});

}  // namespace vx::backup
