// The queue operations on the shared block: dropping a reference to a slot,
// queueing a message, and handing out the oldest one. The caller holds the
// object's mutex. Each returns 0 or a composed error code.
#pragma once

#include <cstdint>

#include "block.h"
#include "errors.h"
#include "handles.h"
#include "kmxipc.h"

namespace kmx::ipc {

// Drops one reference to a slot; the last one unlinks it from the in-use
// list, gives back its queued descriptors and puts it on the free list.
uint32_t releaseSlot(Block& b, uint32_t slot);

// Queues one copy of the message gathered from `pieces` (total bytes, at most
// S) in the mailbox. Everything is checked before anything is changed, and
// the event is set (when the queue was empty) before the message is linked,
// so a failure leaves the mailbox as it was.
uint32_t enqueue(Block& b, MailboxHandle& mbox, const KMXBuffer* pieces, uint32_t pieceCount,
                 uint32_t total);

// The event of an empty mailbox is signalled: a sender died between setting
// it and linking its message in, or someone wrote to the event. Left alone,
// every waiter would wake for it again at once, so the caller (holding the
// mutex, so that no sender is between the two steps) clears it and reports
// the empty queue.
uint32_t clearStaleSignal(MailboxHandle& mbox);

// Hands the oldest message of the mailbox to `sink`. sink.check(length)
// returns 0 or an error code (nothing changed); sink.copy(bytes, length) then
// takes the bytes. With `take` the message is removed and, when it was the
// last one, the event reset first, so a failing reset leaves it queued.
template <class Sink>
uint32_t dequeue(Block& b, MailboxHandle& mbox, bool take, Sink& sink) {
  const uint32_t slot = mbox.slot;
  const uint32_t queued = b.load(slot + kSlotQueued);
  if (queued == 0) return clearStaleSignal(mbox);
  const uint32_t descriptor = b.load(slot + kSlotFirst);
  if (!b.isDescriptor(descriptor)) return compose(IPC_ERR_CORRUPT);
  const uint32_t length = b.load(descriptor + kDescLength);
  const uint32_t area = b.load(descriptor + kDescData);
  if (length > b.maxMessageSize() || !b.isDataArea(area)) return compose(IPC_ERR_CORRUPT);
  const uint32_t next = b.load(descriptor + kDescNext);
  if (take && queued > 1 && !b.isDescriptor(next)) return compose(IPC_ERR_CORRUPT);
  if (uint32_t error = sink.check(length)) return error;
  if (take && queued == 1 && !mbox.event->reset()) return compose(IPC_ERR_EVENT_RESET);

  sink.copy(b.base() + area, length);
  if (!take) return 0;
  if (queued == 1) {
    b.store(slot + kSlotFirst, 0);
    b.store(slot + kSlotLast, 0);
  } else {
    b.store(slot + kSlotFirst, next);
  }
  b.store(descriptor + kDescNext, b.load(kHdrFreeDescriptors));
  b.store(kHdrFreeDescriptors, descriptor);
  b.store(slot + kSlotQueued, queued - 1);
  return 0;
}

}  // namespace kmx::ipc
