#include "kmx/sim/ut_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kmx/proto/byte_order.h"

namespace kmx::sim {

namespace {

// Every model starts with the default catalogue; it is built once.
std::shared_ptr<const NvCatalogue> defaultCatalogue() {
  static const std::shared_ptr<const NvCatalogue> catalogue = [] {
    std::string error;
    auto built = NvCatalogue::build(CatalogueVariant{}, error);
    if (!built) {
      // The catalogue text is compiled in: this is a defect of the build.
      std::fprintf(stderr, "utsim: the NV item catalogue does not build: %s\n", error.c_str());
      std::abort();
    }
    return built;
  }();
  return catalogue;
}

}  // namespace

UtModel::UtModel() {
  memory.place(0, kScratchAddress, std::vector<uint8_t>(kScratchSize, 0), true);
  defaultCatalogue()->install(*this);

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
