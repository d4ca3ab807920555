// The UT's status answers as the connection object decodes them: every
// decoder gets the input, and the calibration block both layouts (the input
// split at its first byte's value).
#include <cstddef>
#include <cstdint>
#include <span>

#include "status_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace vx::connect;
  const std::span<const uint8_t> answer(data, size);
  (void)esnText(answer);
  (void)firstByteText(answer);
  (void)firstByte(answer);
  (void)signedWordText(answer);
  (void)smidText(answer);
  (void)gumVersion(answer);
  (void)mainModel(answer);
  (void)textAnswer(answer);
  (void)calibrationFormatText(answer);
  (void)calibrationVersionText(answer);
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  const auto decoded = calibration(answer.first(split), answer.subspan(split));
  if (decoded.ok()) (void)dottedText(decoded.value.manufacturerCode);
  return 0;
}
