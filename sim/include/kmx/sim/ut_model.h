// Everything the simulated UT knows: its non-volatile items, memory, status
// items, security codes, test mode, A-keys, memory pools and the asynchronous
// output the host configured. Non-volatile parts survive a reset; the rest
// goes back to power-up values.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kmx/sim/memory_map.h"
#include "kmx/sim/nv_catalogue.h"
#include "kmx/sim/nv_store.h"
#include "kmx/sim/status_items.h"

namespace kmx::sim {

struct LogStreamConfig {
  bool enabled = false;
  uint8_t priority = 0xFF;
  uint16_t maxPacketsPerSecond = 0xFFFF;  // 0xFFFF: no limit
  uint32_t packetsSent = 0;
  uint8_t lastSequence = 0;
};

struct PluginConfig {
  bool enabled = false;
  uint8_t priority = 0xFF;
};

inline constexpr std::size_t kLogIds = 128;
inline constexpr std::size_t kPluginIds = 256;
inline constexpr std::size_t kVersionBlockSize = 83;
inline constexpr std::size_t kMemoryPoolInfoSize = 24;

// Where the version block points callers at the UT's symbol information.
inline constexpr uint8_t kSymbolRegion = 0;
inline constexpr uint32_t kSymbolInfoAddress = 0x00400000;
// A writable scratch area of region 0 for region reads and writes.
inline constexpr uint32_t kScratchAddress = 0x00100000;
inline constexpr uint32_t kScratchSize = 0x10000;

class UtModel {
 public:
  UtModel();  // factory state, with the default NV item catalogue installed

  // Back to power-up values for everything that is not stored permanently.
  void resetVolatileState();

  // Replaces the symbol information (a compressed blob the host reads through
  // the region commands); the version block points at it.
  void setSymbolInformation(std::vector<uint8_t> blob);
  std::array<uint8_t, kVersionBlockSize> versionBlock() const;

  NvStore nv;
  MemoryMap memory;
  StatusItems status;
  // The catalogue the NV items, the symbol information and the item tables
  // were made from (see NvCatalogue::install).
  std::shared_ptr<const NvCatalogue> catalogue;

  std::string securityPassword = "SECRET";
  std::string serviceProgrammingCode = "000000";
  bool spcAccepted = false;
  bool serviceSession = false;  // opened by the operation 6 / 07 01

  bool testMode = false;
  std::map<uint8_t, uint8_t> testModeItems;  // test-mode item id -> value

  std::array<uint64_t, 4> akeys{};  // per NAM
  std::array<uint32_t, 6> memoryPools{};

  std::array<LogStreamConfig, kLogIds> logs{};
  std::array<PluginConfig, kPluginIds> plugins{};

  uint32_t softwareVersion = 0x00040201;
  std::string softwareVersionText = "UT 4.2.1";
  uint32_t resetCount = 0;

 private:
  uint32_t symbolInfoSize_ = 0;
};

}  // namespace kmx::sim
