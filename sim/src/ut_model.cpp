#include "kmx/sim/ut_model.h"

#include <algorithm>
#include <cstring>

#include "kmx/proto/byte_order.h"

namespace kmx::sim {

UtModel::UtModel() {
  // A small factory set of NV items: single items of several sizes, a list,
  // and an element that is not active.
  nv.define(1, 4, 0);    // a 32-bit value
  nv.define(2, 32, 0);   // a text field
  nv.define(3, 1, 0);    // a flag byte
  nv.define(10, 16, 3);  // a list of three records
  nv.define(11, 8, 0);   // an item present in the UT's table but never written
  nv.setActive(11, 0, false);
  nv.write(1, 0, std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12});
  const char name[] = "UT SIMULATOR";
  nv.write(2, 0, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name), sizeof name - 1));
  nv.setActive(10, 2, false);

  memory.place(0, kScratchAddress, std::vector<uint8_t>(kScratchSize, 0), true);
  setSymbolInformation(std::vector<uint8_t>{'s', 'y', 'm', 'b', 'o', 'l', 's'});

  testModeItems = {{1, 0}, {2, 17}, {3, 0xFF}};
  memoryPools = {64, 60, 32, 30, 8, 8};
}

void UtModel::resetVolatileState() {
  spcAccepted = false;
  serviceSession = false;
  testMode = false;
  for (auto& log : logs) log = LogStreamConfig{};
  for (auto& plugin : plugins) plugin = PluginConfig{};
  ++resetCount;
}

void UtModel::setSymbolInformation(std::vector<uint8_t> blob) {
  symbolInfoSize_ = static_cast<uint32_t>(blob.size());
  memory.place(kSymbolRegion, kSymbolInfoAddress, std::move(blob), false);
}

// Version block: 0-10 build date, 11-18 build time, 19-29 release date (ASCII);
// 30 hardware version; 31-34 address and 35-38 size of the symbol information;
// 39-42 software version number; 43-82 software version text, NUL-padded.
std::array<uint8_t, kVersionBlockSize> UtModel::versionBlock() const {
  std::array<uint8_t, kVersionBlockSize> block{};
  std::memcpy(block.data() + 0, "Dec 08 2026", 11);
  std::memcpy(block.data() + 11, "12:00:00", 8);
  std::memcpy(block.data() + 19, "Dec 01 2026", 11);
  block[30] = 3;
  proto::storeLe32(block.data() + 31, kSymbolInfoAddress);
  proto::storeLe32(block.data() + 35, symbolInfoSize_);
  proto::storeLe32(block.data() + 39, softwareVersion);
  std::size_t textLength = std::min<std::size_t>(softwareVersionText.size(), 39);
  std::memcpy(block.data() + 43, softwareVersionText.data(), textLength);
  return block;
}

}  // namespace kmx::sim
