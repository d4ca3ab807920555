// Little-endian reads and writes at explicit byte offsets: every format that
// crosses a process or the serial line is defined this way, never by copying
// structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kmx::proto {

inline uint16_t loadLe16(const uint8_t* p) noexcept {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t loadLe32(const uint8_t* p) noexcept {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void storeLe16(uint8_t* p, uint16_t v) noexcept {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void storeLe32(uint8_t* p, uint32_t v) noexcept {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline void appendLe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void appendLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Bounds-checked reading of a byte span: every read says whether the bytes
// were there, so a short or malformed input can never be read past its end.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) noexcept : bytes_(bytes) {}

  std::size_t remaining() const noexcept { return bytes_.size() - pos_; }
  std::size_t position() const noexcept { return pos_; }
  std::span<const uint8_t> rest() const noexcept { return bytes_.subspan(pos_); }

  bool u8(uint8_t& v) noexcept {
    if (remaining() < 1) return false;
    v = bytes_[pos_++];
    return true;
  }
  bool u16(uint16_t& v) noexcept {
    if (remaining() < 2) return false;
    v = loadLe16(bytes_.data() + pos_);
    pos_ += 2;
    return true;
  }
  bool u32(uint32_t& v) noexcept {
    if (remaining() < 4) return false;
    v = loadLe32(bytes_.data() + pos_);
    pos_ += 4;
    return true;
  }
  bool bytes(std::size_t n, std::span<const uint8_t>& out) noexcept {
    if (remaining() < n) return false;
    out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  std::size_t pos_ = 0;
};

}  // namespace kmx::proto
