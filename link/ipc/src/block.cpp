#include "block.h"

#include <limits>

namespace kmx::ipc {

Block::Block(uint8_t* base, uint32_t size, uint32_t maxMessageSize, uint32_t slots,
             uint32_t messages)
    : base_(base), size_(size), maxMessageSize_(maxMessageSize) {
  if (slots != 0 && messages != 0) {
    // Created in this process: the regions are known exactly.
    slotsEnd_ = kHeaderSize + kSlotSize * slots;
    descriptorsBegin_ = slotsEnd_;
    descriptorsEnd_ = descriptorsBegin_ + kDescriptorSize * messages;
    descriptorGrid_ = kDescriptorSize;
    dataBegin_ = descriptorsEnd_;
    dataGrid_ = maxMessageSize;
    slotBound_ = slots;
    descriptorBound_ = messages;
    return;
  }
  // Opened: N and M are not stored, only the mapping's size and S. Any split
  // of the block keeps at least one slot before the descriptors and at least
  // one descriptor and one data area after the slots, which bounds each
  // region; validateHeader() made sure these are not negative.
  slotBound_ = (size - kHeaderSize - kDescriptorSize - maxMessageSize) / kSlotSize;
  slotsEnd_ = kHeaderSize + kSlotSize * slotBound_;
  descriptorsBegin_ = kHeaderSize + kSlotSize;
  descriptorsEnd_ = size - maxMessageSize;
  descriptorGrid_ = 4;
  dataBegin_ = descriptorsBegin_ + kDescriptorSize;
  dataGrid_ = 1;
  descriptorBound_ = (size - kHeaderSize - kSlotSize) / (kDescriptorSize + maxMessageSize);
}

void Block::initialize(uint8_t* base, std::string_view name, uint32_t slots, uint32_t messages,
                       uint32_t maxMessageSize) {
  Block block(base, static_cast<uint32_t>(blockSize(slots, messages, maxMessageSize)),
              maxMessageSize, slots, messages);
  block.writeName(kHdrName, name);
  block.store(kHdrMaxMessageSize, maxMessageSize);
  block.store(kHdrInUse, 0);
  block.store(kHdrMailboxCount, 0);

  // Each list is built by pushing its elements in ascending address order onto
  // the front, so the highest element is handed out first.
  uint32_t head = 0;
  for (uint32_t i = 0; i < slots; ++i) {
    const uint32_t slot = kHeaderSize + kSlotSize * i;
    block.store(slot + kSlotNext, head);
    head = slot;
  }
  block.store(kHdrFreeSlots, head);

  head = 0;
  for (uint32_t i = 0; i < messages; ++i) {
    const uint32_t descriptor = block.descriptorsBegin_ + kDescriptorSize * i;
    block.store(descriptor + kDescNext, head);
    block.store(descriptor + kDescLength, 0);
    head = descriptor;
  }
  block.store(kHdrFreeDescriptors, head);

  // Data areas follow the free list: the first area goes to its head.
  uint32_t area = block.dataBegin_;
  for (uint32_t d = head, i = 0; i < messages; ++i, area += maxMessageSize) {
    block.store(d + kDescData, area);
    d = block.load(d + kDescNext);
  }
}

uint32_t Block::validateHeader(const uint8_t* base, std::size_t size, std::string_view name) {
  if (size < kHeaderSize || size > std::numeric_limits<uint32_t>::max()) return 0;
  uint32_t maxMessageSize = 0;
  std::memcpy(&maxMessageSize, base + kHdrMaxMessageSize, sizeof maxMessageSize);
  if (maxMessageSize == 0) return 0;
  if (blockSize(1, 1, maxMessageSize) > size) return 0;
  if (std::memcmp(base + kHdrName, name.data(), name.size()) != 0 ||
      base[kHdrName + name.size()] != 0) {
    return 0;
  }
  return maxMessageSize;
}

}  // namespace kmx::ipc
