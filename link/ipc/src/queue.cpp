#include "queue.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kmx/platform/last_error.h"

namespace kmx::ipc {
namespace {

// Sets a mailbox's event, which is a FIFO that is signalled while it holds a
// byte. This is called only when the queue goes from empty to non-empty, when
// the event is clear, so one write of one byte does it: the emptiness check
// that NamedEvent::set() makes first would cost a second system call on the
// hot path. A full FIFO (EAGAIN) is signalled already.
bool signalEvent(const MailboxHandle& mbox) {
  const char byte = 1;
  for (;;) {
    if (write(mbox.eventFd, &byte, 1) == 1) return true;
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return true;
    kmx::setLastErrorFromErrno();
    return false;
  }
}

}  // namespace

// Drops one reference to a slot; the last one unlinks it from the in-use
// list, gives back its queued descriptors and puts it on the free list.
uint32_t releaseSlot(Block& b, uint32_t slot) {
  const uint32_t open = b.load(slot + kSlotOpenCount);
  if (open == 0) return compose(IPC_ERR_CORRUPT);
  b.store(slot + kSlotOpenCount, open - 1);
  if (open > 1) return 0;

  uint32_t link = kHdrInUse;
  uint32_t current = b.load(link);
  bool found = false;
  for (uint32_t steps = 0; current != 0 && steps < b.slotBound(); ++steps) {
    if (!b.isSlot(current)) return compose(IPC_ERR_CORRUPT);
    if (current == slot) {
      b.store(link, b.load(slot + kSlotNext));
      found = true;
      break;
    }
    link = current + kSlotNext;
    current = b.load(link);
  }
  if (!found) return compose(IPC_ERR_MAILBOX_NOT_FOUND);

  const uint32_t queued = b.load(slot + kSlotQueued);
  uint32_t result = queued > b.descriptorBound() ? compose(IPC_ERR_CORRUPT) : 0;
  uint32_t descriptor = b.load(slot + kSlotFirst);
  for (uint32_t i = 0; i < queued && i < b.descriptorBound() && descriptor != 0; ++i) {
    if (!b.isDescriptor(descriptor)) {
      result = compose(IPC_ERR_CORRUPT);
      break;
    }
    const uint32_t next = b.load(descriptor + kDescNext);
    b.store(descriptor + kDescNext, b.load(kHdrFreeDescriptors));
    b.store(kHdrFreeDescriptors, descriptor);
    descriptor = next;
  }
  b.store(slot + kSlotQueued, 0);
  b.store(slot + kSlotFirst, 0);
  b.store(slot + kSlotLast, 0);
  b.store(slot + kSlotSuspended, 0);
  b.store(slot + kSlotNext, b.load(kHdrFreeSlots));
  b.store(kHdrFreeSlots, slot);
  return result;
}

// Queues one copy of the message gathered from `pieces` (total bytes, at most
// S) in the mailbox. Everything is checked before anything is changed, and
// the event is set (when the queue was empty) before the message is linked,
// so a failure leaves the mailbox as it was.
uint32_t enqueue(Block& b, MailboxHandle& mbox, const KMXBuffer* pieces, uint32_t pieceCount,
                 uint32_t total) {
  const uint32_t slot = mbox.slot;
  const uint32_t queued = b.load(slot + kSlotQueued);
  if (queued >= b.load(slot + kSlotCapacity)) return compose(IPC_ERR_MAILBOX_FULL);
  if (b.load(slot + kSlotSuspended) != 0) return compose(IPC_ERR_SUSPENDED);
  const uint32_t descriptor = b.load(kHdrFreeDescriptors);
  if (descriptor == 0) return compose(IPC_ERR_NO_DESCRIPTOR);
  if (!b.isDescriptor(descriptor)) return compose(IPC_ERR_CORRUPT);
  const uint32_t area = b.load(descriptor + kDescData);
  if (!b.isDataArea(area)) return compose(IPC_ERR_CORRUPT);
  uint32_t last = 0;
  if (queued > 0) {
    last = b.load(slot + kSlotLast);
    if (!b.isDescriptor(last)) return compose(IPC_ERR_CORRUPT);
  }
  if (queued == 0 && !signalEvent(mbox)) return compose(IPC_ERR_EVENT_SET);

  b.store(kHdrFreeDescriptors, b.load(descriptor + kDescNext));
  uint8_t* out = b.base() + area;
  for (uint32_t i = 0; i < pieceCount; ++i) {
    if (pieces[i].length == 0) continue;
    std::memcpy(out, pieces[i].data, pieces[i].length);
    out += pieces[i].length;
  }
  b.store(descriptor + kDescLength, total);
  b.store(descriptor + kDescNext, 0);
  if (queued == 0) {
    b.store(slot + kSlotFirst, descriptor);
  } else {
    b.store(last + kDescNext, descriptor);
  }
  b.store(slot + kSlotLast, descriptor);
  b.store(slot + kSlotQueued, queued + 1);
  return 0;
}

// The event of an empty mailbox is signalled: a sender died between setting
// it and linking its message in, or someone wrote to the event. Left alone,
// every waiter would wake for it again at once, so the caller (holding the
// mutex, so that no sender is between the two steps) clears it and reports
// the empty queue.
uint32_t clearStaleSignal(MailboxHandle& mbox) {
  if (!mbox.event->reset()) return compose(IPC_ERR_EVENT_RESET);
  return compose(IPC_ERR_EMPTY);
}

}  // namespace kmx::ipc
