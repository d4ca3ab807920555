// The shared block of an IPC object: a cross-process format of 32-bit
// little-endian fields at fixed byte offsets. Every link is an offset from the
// start of the block; 0 means none.
//
//   header      56 bytes at 0
//   slots       N x 64 bytes from 56
//   descriptors M x 12 bytes from 56 + 64N
//   data areas  M x S bytes from 56 + 64N + 12M
//
// Any process that maps the block can scribble on it, so nothing read from it
// is trusted: every link is checked to name a whole element inside the mapping
// (and on the element grid where the grid is known) before it is followed,
// every length is checked against S, and every list walk is bounded by the
// number of elements that fit, so a cycle ends. Failing checks give
// IPC_ERR_CORRUPT, never an access outside the mapping.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kmx::ipc {

static_assert(std::endian::native == std::endian::little,
              "the shared block is little-endian and accessed natively");

inline constexpr uint32_t kNameField = 36;
inline constexpr uint32_t kMaxName = 32;

inline constexpr uint32_t kHeaderSize = 56;
inline constexpr uint32_t kHdrName = 0;
inline constexpr uint32_t kHdrFreeSlots = 36;
inline constexpr uint32_t kHdrInUse = 40;
inline constexpr uint32_t kHdrFreeDescriptors = 44;
inline constexpr uint32_t kHdrMaxMessageSize = 48;
inline constexpr uint32_t kHdrMailboxCount = 52;

inline constexpr uint32_t kSlotSize = 64;
inline constexpr uint32_t kSlotName = 0;
inline constexpr uint32_t kSlotCapacity = 36;
inline constexpr uint32_t kSlotQueued = 40;
inline constexpr uint32_t kSlotOpenCount = 44;
inline constexpr uint32_t kSlotFirst = 48;
inline constexpr uint32_t kSlotLast = 52;
inline constexpr uint32_t kSlotNext = 56;
inline constexpr uint32_t kSlotSuspended = 60;

inline constexpr uint32_t kDescriptorSize = 12;
inline constexpr uint32_t kDescData = 0;
inline constexpr uint32_t kDescLength = 4;
inline constexpr uint32_t kDescNext = 8;

// (S + 12)·M + 64·N + 56, computed without overflow.
constexpr uint64_t blockSize(uint32_t slots, uint32_t messages, uint32_t maxMessageSize) {
  return (uint64_t{maxMessageSize} + kDescriptorSize) * messages + uint64_t{kSlotSize} * slots +
         kHeaderSize;
}

// A view of a mapped block. All offsets given to load/store must have passed
// one of the is* checks (or be a fixed header field).
class Block {
 public:
  Block() = default;
  // `slots`/`messages` are 0 when unknown (a block opened rather than
  // created): the checks then fall back to the bounds of the mapping.
  Block(uint8_t* base, uint32_t size, uint32_t maxMessageSize, uint32_t slots, uint32_t messages);

  // Writes the header and builds the free lists of a new, zero-filled block.
  static void initialize(uint8_t* base, std::string_view name, uint32_t slots, uint32_t messages,
                         uint32_t maxMessageSize);

  // Checks an opened block's header: mapping large enough for one slot, one
  // descriptor and one data area of the stored S, offsets addressable in 32
  // bits, the stored name equal to `name`. Returns S, or 0 when the header is
  // not sound.
  static uint32_t validateHeader(const uint8_t* base, std::size_t size, std::string_view name);

  uint32_t size() const { return size_; }
  uint32_t maxMessageSize() const { return maxMessageSize_; }
  uint8_t* base() const { return base_; }

  // Relaxed atomic accesses: a process may read a count without the mutex
  // (the receive fast path); everything else is serialised by the mutex.
  uint32_t load(uint32_t offset) const { return __atomic_load_n(field(offset), __ATOMIC_RELAXED); }
  void store(uint32_t offset, uint32_t value) {
    __atomic_store_n(field(offset), value, __ATOMIC_RELAXED);
  }
  // The queued count, with acquire ordering so a reader that sees it nonzero
  // also sees the message behind it (used only as a hint; the mutex decides).
  uint32_t peekQueued(uint32_t slot) const {
    return __atomic_load_n(field(slot + kSlotQueued), __ATOMIC_ACQUIRE);
  }

  bool isSlot(uint32_t offset) const {
    return offset >= kHeaderSize && offset <= slotsEnd_ - kSlotSize &&
           (offset - kHeaderSize) % kSlotSize == 0;
  }
  bool isDescriptor(uint32_t offset) const {
    return offset >= descriptorsBegin_ && offset <= descriptorsEnd_ - kDescriptorSize &&
           (offset - descriptorsBegin_) % descriptorGrid_ == 0;
  }
  bool isDataArea(uint32_t offset) const {
    return offset >= dataBegin_ && offset <= size_ - maxMessageSize_ &&
           (offset - dataBegin_) % dataGrid_ == 0;
  }

  // Upper bounds on the number of slots and descriptors, for bounded walks.
  uint32_t slotBound() const { return slotBound_; }
  uint32_t descriptorBound() const { return descriptorBound_; }

  // True when the NUL-terminated name field at `offset` equals `name`
  // (name.size() <= kMaxName).
  bool nameEquals(uint32_t offset, std::string_view name) const {
    return std::memcmp(base_ + offset, name.data(), name.size()) == 0 &&
           base_[offset + name.size()] == 0;
  }
  void writeName(uint32_t offset, std::string_view name) {
    std::memset(base_ + offset, 0, kNameField);
    std::memcpy(base_ + offset, name.data(), name.size());
  }

 private:
  uint32_t* field(uint32_t offset) const {
    // Offsets are multiples of 4 and the mapping is page aligned.
    return reinterpret_cast<uint32_t*>(static_cast<void*>(base_ + offset));
  }

  uint8_t* base_ = nullptr;
  uint32_t size_ = 0;
  uint32_t maxMessageSize_ = 0;
  uint32_t slotsEnd_ = 0;
  uint32_t descriptorsBegin_ = 0;
  uint32_t descriptorsEnd_ = 0;
  uint32_t descriptorGrid_ = 4;
  uint32_t dataBegin_ = 0;
  uint32_t dataGrid_ = 1;
  uint32_t slotBound_ = 0;
  uint32_t descriptorBound_ = 0;
};

}  // namespace kmx::ipc
