// Loads the NV item database from the UT: the compressed symbol information
// that the version block points at, unpacked by gzip in a private temporary
// directory, then the two item tables and every item's list dimension.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "nv_database.h"
#include "nv_messages.h"
#include "ut_access.h"

namespace vx::nvdb {

// Bounds on what the UT may make the host allocate.
inline constexpr uint32_t kMaxCompressedSymbolInformation = 16u << 20;
inline constexpr uint64_t kMaxSymbolInformation = 256u << 20;
inline constexpr uint32_t kMaxItemTable = 4u << 20;
inline constexpr std::size_t kMaxItemEntries = 1u << 20;
// What the whole database of one connection may cost, however the UT
// describes its items: the tree nodes of every element, and the bytes of
// every element's value buffer and of its entry in the item list (the entry
// and its texts). A UT's catalogue that needs more is refused at the load.
// Both are counted as if every element were expanded, so no later access
// can exceed them. docs/design.md gives the figures a real catalogue needs.
inline constexpr uint64_t kMaxDatabaseNodes = 1u << 22;
inline constexpr uint64_t kMaxDatabaseBytes = 32u << 20;

struct LoadProgress {
  enum class Stage { SymbolInformation, ItemTables, ItemDimensions };
  Stage stage;
  uint64_t done;
  uint64_t total;
};

struct LoadOptions {
  bool messagesEnabled = true;
  NvMessageSink messages = printToStandardError;
  std::string decompressor;  // empty: gzip beside the program, else on PATH
  int decompressTimeoutMs = 10000;
  std::function<void(const LoadProgress&)> progress;
};

// The database, or null when any step fails (the messages, when enabled,
// say why). A catalogue beyond the budget above is told in `refusal` instead
// ("the UT's NV items need more than 4194304 nodes (item NV_X_I, element
// 63)"), which is left empty for every other failure.
std::unique_ptr<NvDatabase> loadNvDatabase(NvUtAccess& ut, const LoadOptions& options = {},
                                           std::string* refusal = nullptr);

}  // namespace vx::nvdb
