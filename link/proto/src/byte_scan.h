// Word-at-a-time scanning for the few bytes the codec treats specially. Most
// payload bytes are ordinary, so the encoder and decoder copy whole runs of
// them with memcpy instead of handling them one by one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kmx::proto::detail {

inline constexpr uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr uint64_t kHighs = 0x8080808080808080ULL;

// Nonzero when any byte of `word` equals `value` (exact as a truth value).
constexpr uint64_t hasByte(uint64_t word, uint8_t value) noexcept {
  const uint64_t x = word ^ (kOnes * value);
  return (x - kOnes) & ~x & kHighs;
}

// Length of the leading run of bytes in p[0, n) that equal neither a nor b.
inline std::size_t runWithout(const uint8_t* p, std::size_t n, uint8_t a, uint8_t b) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if ((hasByte(word, a) | hasByte(word, b)) != 0) break;
  }
  while (i < n && p[i] != a && p[i] != b) ++i;
  return i;
}

// The same for three bytes.
inline std::size_t runWithout(const uint8_t* p, std::size_t n, uint8_t a, uint8_t b,
                              uint8_t c) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if ((hasByte(word, a) | hasByte(word, b) | hasByte(word, c)) != 0) break;
  }
  while (i < n && p[i] != a && p[i] != b && p[i] != c) ++i;
  return i;
}

}  // namespace kmx::proto::detail
