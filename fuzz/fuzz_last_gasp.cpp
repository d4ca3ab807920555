// Last gasp packets from the UT: a binary record with a format string the UT
// supplies. Whatever the bytes, turning them into a text record must stay
// inside the packet and the 504-byte text buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "last_gasp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t packetType = (data[0] & 1) ? 5 : 3;
  std::span<const uint8_t> bytes(data + 1, size - 1);
  auto payload = kmx::server::lastGaspPayload(packetType, bytes);
  if (!payload) return 0;
  // Two time stamp words, the text and its NUL, 4 trailing bytes.
  if (payload->size() < 13) std::abort();
  const char* text = reinterpret_cast<const char*>(payload->data() + 8);
  const size_t length = strnlen(text, payload->size() - 8);
  if (length >= kmx::server::kLastGaspTextBuffer || payload->size() != length + 13) std::abort();
  return 0;
}
