// Software image files: any bytes, fed in pieces of any size, must leave the
// parser with one verdict, never read outside its record buffer, and give
// the same verdict whatever the piece boundaries. Records the sink receives
// stay inside their 64-byte record, and a file that passes ends with a
// termination record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "vx/download/srecord_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using vx::download::SRecord;
  using vx::download::SRecordParser;
  if (size == 0) return 0;
  // The first byte chooses the piece size of the second pass.
  const std::size_t piece = 1 + data[0] % 17;
  std::span<const uint8_t> file(data + 1, size - 1);

  std::size_t recordBytes = 0;
  uint8_t lastType = 0;
  SRecordParser whole([&](const SRecord& record) {
    if (record.data.size() > SRecordParser::kMaxCount || record.type > 9) std::abort();
    recordBytes += record.data.size();
    lastType = record.type;
  });
  whole.feed(file);
  const auto verdict = whole.finish();
  if (verdict == vx::download::SRecordError::None && lastType < 7) std::abort();

  std::size_t piecewiseBytes = 0;
  SRecordParser piecewise([&](const SRecord& record) { piecewiseBytes += record.data.size(); });
  for (std::size_t at = 0; at < file.size(); at += piece) {
    piecewise.feed(file.subspan(at, std::min(piece, file.size() - at)));
  }
  if (piecewise.finish() != verdict || piecewiseBytes != recordBytes ||
      piecewise.bootBlockMarkerSeen() != whole.bootBlockMarkerSeen()) {
    std::abort();
  }
  return 0;
}
