#include "memory_ut.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace vx::nvdb::testing {

std::vector<uint8_t> gzipped(const std::string& text) {
  z_stream stream{};
  // 15 window bits + 16: a gzip header and trailer rather than zlib's.
  if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::vector<uint8_t> out(deflateBound(&stream, text.size()) + 32);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

namespace {
void putWord(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
}  // namespace

void MemoryUt::setSymbolInformation(const std::vector<uint8_t>& compressed) {
  memory_[kSymbolAddress] = compressed;
  putWord(&version_[31], kSymbolAddress);
  putWord(&version_[35], static_cast<uint32_t>(compressed.size()));
}

void MemoryUt::setSymbolInformationSize(uint32_t size) { putWord(&version_[35], size); }

void MemoryUt::place(uint32_t address, const std::string& bytes) {
  memory_[address].assign(bytes.begin(), bytes.end());
}

bool MemoryUt::readVersionBlock(std::array<uint8_t, kVersionBlockSize>& block) {
  block = version_;
  return true;
}

bool MemoryUt::readMemory(uint32_t address, std::span<uint8_t> out) {
  ++memoryReads;
  for (const auto& [base, bytes] : memory_) {
    if (address >= base && address - base + out.size() <= bytes.size()) {
      std::memcpy(out.data(), bytes.data() + (address - base), out.size());
      return true;
    }
  }
  return false;
}

bool MemoryUt::listDimension(uint32_t item, uint16_t& count) {
  if (failingDimensions_.count(item) != 0) return false;
  const auto found = dimensions_.find(item);
  count = found == dimensions_.end() ? 1 : found->second;
  return true;
}

NvUtAccess::ItemRead MemoryUt::readItem(uint32_t item, uint32_t index, std::span<uint8_t> out) {
  ++itemReads;
  if (notActive_.count({item, index}) != 0) return ItemRead::NotActive;
  const auto found = values_.find({item, index});
  if (found == values_.end()) return ItemRead::Failed;
  std::fill(out.begin(), out.end(), 0);
  std::copy_n(found->second.begin(), std::min(out.size(), found->second.size()), out.begin());
  return ItemRead::Read;
}

}  // namespace vx::nvdb::testing
