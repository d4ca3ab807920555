// The exported IPC_ functions.
//
// Each function validates its arguments and handles first (changing nothing
// when they are wrong), takes the object's mutex only around its work on the
// shared block, and waits for messages outside the mutex. A failure sets the
// last-error value to the library code ORed with the low half of the value
// that was current at the point of failure.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "block.h"
#include "errors.h"
#include "handles.h"
#include "kmxipc.h"
#include "lock.h"
#include "queue.h"
#include "waiting.h"

namespace kmx::ipc {
namespace {

bool validName(const char* name, std::string_view* out) {
  if (name == nullptr) return false;
  std::size_t length = strnlen(name, kMaxName + 1);
  if (length > kMaxName) return false;
  *out = std::string_view(name, length);
  return true;
}

bool validTimeout(int32_t timeout) { return timeout >= -1; }

// Looks up the IPC handle and n mailbox handles that must belong to it; each
// mailbox's mode must include a bit of `modeMask` (0: any mode).
uint32_t checkHandles(void* ipcHandle, uint32_t n, void* const* mboxes, uint32_t modeMask,
                      IpcHandle** out) {
  Registry& registry = Registry::instance();
  auto guard = registry.lock();
  IpcHandle* ipc = registry.findIpc(ipcHandle);
  if (ipc == nullptr) return compose(IPC_ERR_NOT_IPC);
  for (uint32_t i = 0; i < n; ++i) {
    MailboxHandle* mbox = registry.findMailbox(mboxes[i]);
    if (mbox == nullptr || mbox->owner != ipc) return compose(IPC_ERR_NOT_MAILBOX);
    if (modeMask != 0 && (mbox->mode & modeMask) == 0) return compose(IPC_ERR_MODE);
  }
  *out = ipc;
  return 0;
}

// Common part of the three receives: argument checks, handles, wait, then the
// locked dequeue. Returns 0 or the error; *index gets the mailbox taken from.
template <class Sink>
uint32_t receiveInto(Sink& sink, bool take, int32_t timeout, uint32_t n, void* const* mboxes,
                     void* ipcHandle, uint32_t* index) {
  if (n == 0 || mboxes == nullptr || !validTimeout(timeout)) {
    return compose(IPC_ERR_INVALID_ARGUMENT);
  }
  IpcHandle* ipc = nullptr;
  if (uint32_t error = checkHandles(ipcHandle, n, mboxes, IPC_MODE_RECEIVE, &ipc)) return error;
  uint32_t error = 0;
  int ready = awaitMailbox(*ipc, n, mboxes, timeout, &error);
  if (ready < 0) return error;
  BlockLock lock(*ipc);
  if (lock.error() != 0) return lock.error();
  error = dequeue(ipc->block, mailboxAt(mboxes, static_cast<uint32_t>(ready)), take, sink);
  *index = static_cast<uint32_t>(ready);
  return lock.release(error);
}

// Common part of the two sends: pieces already checked, `total` their sum.
uint32_t sendPieces(const KMXBuffer* pieces, uint32_t pieceCount, uint64_t total, uint32_t n,
                    void* const* mboxes, void* ipcHandle) {
  IpcHandle* ipc = nullptr;
  if (uint32_t error = checkHandles(ipcHandle, n, mboxes, IPC_MODE_SEND, &ipc)) return error;
  BlockLock lock(*ipc);
  if (lock.error() != 0) return lock.error();
  uint32_t error = 0;
  if (total > ipc->block.maxMessageSize()) {
    error = compose(IPC_ERR_INVALID_ARGUMENT);
  } else {
    for (uint32_t i = 0; i < n && error == 0; ++i) {
      error = enqueue(ipc->block, mailboxAt(mboxes, i), pieces, pieceCount,
                      static_cast<uint32_t>(total));
    }
  }
  return lock.release(error);
}

// Releases a slot taken for a handle that could not be handed out.
void giveBackSlot(IpcHandle& ipc, uint32_t slot) {
  BlockLock lock(ipc);
  if (lock.error() == 0) lock.release(releaseSlot(ipc.block, slot));
}

// Registers a new mailbox handle; on failure gives its slot back.
void* publishMailbox(std::unique_ptr<MailboxHandle> mbox) {
  Registry& registry = Registry::instance();
  try {
    auto guard = registry.lock();
    registry.add(mbox.get());
  } catch (...) {
    uint32_t error = compose(IPC_ERR_NO_MEMORY);
    giveBackSlot(*mbox->owner, mbox->slot);
    return failNull(error);
  }
  return mbox.release();
}

// The checks and the local handle that creating and opening a mailbox share:
// the name and mode, the IPC handle, a handle for a mailbox of that object.
uint32_t newMailboxHandle(const char* name, uint32_t mode, void* ipcHandle, std::string_view* mboxName,
                          IpcHandle** ipc, std::unique_ptr<MailboxHandle>* mbox) {
  if (!validName(name, mboxName) || mode > IPC_MODE_SEND_RECEIVE) return compose(IPC_ERR_INVALID_ARGUMENT);
  if (uint32_t error = checkHandles(ipcHandle, 0, nullptr, 0, ipc)) return error;
  *mbox = std::make_unique<MailboxHandle>();
  (*mbox)->mode = mode;
  (*mbox)->owner = *ipc;
  return 0;
}

}  // namespace
}  // namespace kmx::ipc

using namespace kmx::ipc;

extern "C" {

void* IPC_create(const char* name, uint32_t mailboxCount, uint32_t messageCount,
                 uint32_t maxMessageSize, int32_t lockTimeout) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view ipcName;
    if (!validName(name, &ipcName) || mailboxCount == 0 || messageCount == 0 ||
        maxMessageSize == 0 || !validTimeout(lockTimeout) ||
        blockSize(mailboxCount, messageCount, maxMessageSize) >
            std::numeric_limits<uint32_t>::max()) {
      return failNull(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    auto ipc = std::make_unique<IpcHandle>();
    ipc->name = ipcName;
    ipc->lockTimeout = lockTimeout;
    // The mutex is made before the block is published, so an opener that
    // finds the block always finds its mutex too.
    ipc->mutex = kmx::NamedMutex::create(ipc->name + "_m");
    if (!ipc->mutex) return failNull(compose(IPC_ERR_MUTEX_CREATE));
    const auto size = static_cast<uint32_t>(blockSize(mailboxCount, messageCount, maxMessageSize));
    ipc->mapping = kmx::SharedMemory::create(ipcName, size, [&](void* base) {
      Block::initialize(static_cast<uint8_t*>(base), ipcName, mailboxCount, messageCount,
                        maxMessageSize);
    });
    if (!ipc->mapping) return failNull(compose(IPC_ERR_MAPPING_CREATE));
    ipc->block = Block(static_cast<uint8_t*>(ipc->mapping->data()), size, maxMessageSize,
                       mailboxCount, messageCount);
    Registry& registry = Registry::instance();
    auto guard = registry.lock();
    registry.add(ipc.get());
    return ipc.release();
  });
}

void* IPC_open(const char* name, int32_t lockTimeout) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view ipcName;
    if (!validName(name, &ipcName) || !validTimeout(lockTimeout)) {
      return failNull(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    auto ipc = std::make_unique<IpcHandle>();
    ipc->name = ipcName;
    ipc->lockTimeout = lockTimeout;
    ipc->mapping = kmx::SharedMemory::open(ipcName);
    if (!ipc->mapping) return failNull(compose(IPC_ERR_MAPPING_OPEN));
    auto* base = static_cast<uint8_t*>(ipc->mapping->data());
    const std::size_t size = ipc->mapping->size();
    const uint32_t maxMessageSize = Block::validateHeader(base, size, ipcName);
    if (maxMessageSize == 0) return failNull(compose(IPC_ERR_CORRUPT));
    ipc->block = Block(base, static_cast<uint32_t>(size), maxMessageSize, 0, 0);
    ipc->mutex = kmx::NamedMutex::open(ipc->name + "_m");
    if (!ipc->mutex) return failNull(compose(IPC_ERR_MUTEX_OPEN));
    Registry& registry = Registry::instance();
    auto guard = registry.lock();
    registry.add(ipc.get());
    return ipc.release();
  });
}

int IPC_close(void* ipcHandle) {
  return guarded(0, [&]() -> int {
    Registry& registry = Registry::instance();
    IpcHandle* ipc = nullptr;
    MailboxHandle* mailboxes = nullptr;
    {
      auto guard = registry.lock();
      ipc = registry.findIpc(ipcHandle);
      if (ipc == nullptr) return fail(compose(IPC_ERR_NOT_IPC));
      mailboxes = registry.remove(ipc);
    }
    std::unique_ptr<IpcHandle> owned(ipc);
    uint32_t error = 0;
    // Mailbox handles still open are closed with their IPC handle, so that
    // their slots are released and no descriptor is left behind. Once the
    // mutex could not be had, the others are not waited for again: their
    // handles go, their slots stay referenced.
    bool lockFailed = false;
    while (mailboxes != nullptr) {
      std::unique_ptr<MailboxHandle> mbox(mailboxes);
      mailboxes = mailboxes->next;
      if (lockFailed) continue;
      BlockLock lock(*ipc);
      uint32_t result = lock.error();
      lockFailed = result != 0;
      if (result == 0) result = lock.release(releaseSlot(ipc->block, mbox->slot));
      if (error == 0) error = result;
    }
    if (!ipc->mapping->close() && error == 0) error = compose(IPC_ERR_UNMAP);
    return error == 0 ? 1 : fail(error);
  });
}

void* IPC_create_mailbox(const char* name, uint32_t mode, uint32_t capacity, void* ipcHandle) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view mboxName;
    IpcHandle* ipc = nullptr;
    std::unique_ptr<MailboxHandle> mbox;
    if (uint32_t error = newMailboxHandle(name, mode, ipcHandle, &mboxName, &ipc, &mbox)) return failNull(error);
    const std::string eventName = ipc->name + std::string(mboxName);

    BlockLock lock(*ipc);
    if (lock.error() != 0) return failNull(lock.error());
    Block& b = ipc->block;
    auto event = kmx::NamedEvent::create(eventName, kmx::NamedEvent::Reset::Manual, false);
    if (!event) return failNull(lock.release(compose(IPC_ERR_EVENT_CREATE)));
    const uint32_t slot = b.load(kHdrFreeSlots);
    if (slot == 0) return failNull(lock.release(compose(IPC_ERR_NO_SLOT)));
    if (!b.isSlot(slot)) return failNull(lock.release(compose(IPC_ERR_CORRUPT)));
    b.store(kHdrFreeSlots, b.load(slot + kSlotNext));
    b.writeName(slot + kSlotName, mboxName);
    b.store(slot + kSlotCapacity, capacity);
    b.store(slot + kSlotQueued, 0);
    b.store(slot + kSlotOpenCount, 1);
    b.store(slot + kSlotFirst, 0);
    b.store(slot + kSlotLast, 0);
    b.store(slot + kSlotSuspended, 0);
    b.store(slot + kSlotNext, b.load(kHdrInUse));
    b.store(kHdrInUse, slot);
    const uint32_t count = b.load(kHdrMailboxCount);
    if (count != std::numeric_limits<uint32_t>::max()) b.store(kHdrMailboxCount, count + 1);
    mbox->slot = slot;
    mbox->eventFd = event->fd();
    mbox->event = std::move(event);
    if (uint32_t error = lock.release(0)) {
      giveBackSlot(*ipc, slot);
      return failNull(error);
    }
    return publishMailbox(std::move(mbox));
  });
}

void* IPC_open_mailbox(const char* name, uint32_t mode, void* ipcHandle) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view mboxName;
    IpcHandle* ipc = nullptr;
    std::unique_ptr<MailboxHandle> mbox;
    if (uint32_t error = newMailboxHandle(name, mode, ipcHandle, &mboxName, &ipc, &mbox)) return failNull(error);
    const std::string eventName = ipc->name + std::string(mboxName);

    BlockLock lock(*ipc);
    if (lock.error() != 0) return failNull(lock.error());
    Block& b = ipc->block;
    auto event = kmx::NamedEvent::open(eventName, kmx::NamedEvent::Reset::Manual);
    if (!event) return failNull(lock.release(compose(IPC_ERR_EVENT_OPEN)));
    // The walk is bounded by the creation count (as every process agrees)
    // and by the number of slots that fit, so a cycle cannot hold it.
    const uint32_t limit = std::min(b.load(kHdrMailboxCount), b.slotBound());
    uint32_t slot = b.load(kHdrInUse);
    bool found = false;
    for (uint32_t steps = 0; slot != 0 && steps < limit; ++steps) {
      if (!b.isSlot(slot)) return failNull(lock.release(compose(IPC_ERR_CORRUPT)));
      if (b.nameEquals(slot + kSlotName, mboxName)) {
        found = true;
        break;
      }
      slot = b.load(slot + kSlotNext);
    }
    if (!found) return failNull(lock.release(compose(IPC_ERR_MAILBOX_NOT_FOUND)));
    const uint32_t open = b.load(slot + kSlotOpenCount);
    if (open == std::numeric_limits<uint32_t>::max()) {
      return failNull(lock.release(compose(IPC_ERR_CORRUPT)));
    }
    b.store(slot + kSlotOpenCount, open + 1);
    mbox->slot = slot;
    mbox->eventFd = event->fd();
    mbox->event = std::move(event);
    if (uint32_t error = lock.release(0)) {
      giveBackSlot(*ipc, slot);
      return failNull(error);
    }
    return publishMailbox(std::move(mbox));
  });
}

int IPC_close_mailbox(void* mboxHandle, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    Registry& registry = Registry::instance();
    IpcHandle* ipc = nullptr;
    MailboxHandle* mbox = nullptr;
    {
      auto guard = registry.lock();
      ipc = registry.findIpc(ipcHandle);
      if (ipc == nullptr) return fail(compose(IPC_ERR_NOT_IPC));
      mbox = registry.findMailbox(mboxHandle);
      if (mbox == nullptr || mbox->owner != ipc) return fail(compose(IPC_ERR_NOT_MAILBOX));
    }
    // The handle stays valid (and its event open) until its slot reference is
    // dropped, so a lock time-out leaves a handle that can be closed again.
    BlockLock lock(*ipc);
    if (lock.error() != 0) return fail(lock.error());
    uint32_t error = lock.release(releaseSlot(ipc->block, mbox->slot));
    {
      auto guard = registry.lock();
      registry.remove(mbox);
    }
    delete mbox;
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_send(const void* data, uint32_t length, uint32_t n, void* const* mboxes, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (length == 0 || data == nullptr || n == 0 || mboxes == nullptr) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    const KMXBuffer piece{const_cast<void*>(data), length};
    uint32_t error = sendPieces(&piece, 1, length, n, mboxes, ipcHandle);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_sendv(const KMXBuffer* pairs, uint32_t pairCount, uint32_t n, void* const* mboxes,
              void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (pairCount == 0 || pairs == nullptr || n == 0 || mboxes == nullptr) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    uint64_t total = 0;
    for (uint32_t i = 0; i < pairCount; ++i) {
      if (pairs[i].data == nullptr && pairs[i].length != 0) {
        return fail(compose(IPC_ERR_INVALID_ARGUMENT));
      }
      total += pairs[i].length;
    }
    uint32_t error = sendPieces(pairs, pairCount, total, n, mboxes, ipcHandle);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_receive(void* buf, uint32_t bufSize, uint32_t* outLength, int32_t timeout, uint32_t n,
                void* const* mboxes, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (buf == nullptr && bufSize != 0) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    struct {
      void* buf;
      uint32_t size;
      uint32_t received = 0;
      uint32_t check(uint32_t length) const {
        return length > size ? compose(IPC_ERR_BUFFER_TOO_SMALL) : 0;
      }
      void copy(const uint8_t* bytes, uint32_t length) {
        if (length != 0) std::memcpy(buf, bytes, length);
        received = length;
      }
    } sink{buf, bufSize};
    uint32_t index = 0;
    uint32_t error = receiveInto(sink, true, timeout, n, mboxes, ipcHandle, &index);
    if (error != 0) return fail(error);
    if (outLength != nullptr) *outLength = sink.received;
    return 1;
  });
}

int IPC_receive_peek(void* buf, uint32_t bufSize, uint32_t* outLength, int32_t timeout, uint32_t n,
                     void* const* mboxes, uint32_t* outIndex, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (buf == nullptr && bufSize != 0) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    struct {
      void* buf;
      uint32_t size;
      uint32_t received = 0;
      uint32_t check(uint32_t) const { return 0; }
      void copy(const uint8_t* bytes, uint32_t length) {
        received = std::min(length, size);
        if (received != 0) std::memcpy(buf, bytes, received);
      }
    } sink{buf, bufSize};
    uint32_t index = 0;
    uint32_t error = receiveInto(sink, false, timeout, n, mboxes, ipcHandle, &index);
    if (error != 0) return fail(error);
    if (outLength != nullptr) *outLength = sink.received;
    if (outIndex != nullptr) *outIndex = index;
    return 1;
  });
}

int IPC_receivev(KMXBuffer* pairs, uint32_t pairCount, int32_t timeout, uint32_t n,
                 void* const* mboxes, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (pairs == nullptr && pairCount != 0) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    uint64_t capacity = 0;
    for (uint32_t i = 0; i < pairCount; ++i) {
      if (pairs[i].data == nullptr && pairs[i].length != 0) {
        return fail(compose(IPC_ERR_INVALID_ARGUMENT));
      }
      capacity += pairs[i].length;
    }
    struct {
      KMXBuffer* pairs;
      uint32_t count;
      uint64_t capacity;
      uint32_t check(uint32_t length) const {
        return length > capacity ? compose(IPC_ERR_BUFFER_TOO_SMALL) : 0;
      }
      void copy(const uint8_t* bytes, uint32_t length) {
        for (uint32_t i = 0; i < count; ++i) {
          const uint32_t part = std::min(length, pairs[i].length);
          if (part != 0) std::memcpy(pairs[i].data, bytes, part);
          pairs[i].length = part;
          bytes += part;
          length -= part;
        }
      }
    } sink{pairs, pairCount, capacity};
    uint32_t index = 0;
    uint32_t error = receiveInto(sink, true, timeout, n, mboxes, ipcHandle, &index);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_select(uint32_t n, void* const* mboxes, uint32_t* queued, uint32_t* openCounts,
               int lockFlag, int32_t timeout, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr || !validTimeout(timeout)) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    IpcHandle* ipc = nullptr;
    if (uint32_t error = checkHandles(ipcHandle, n, mboxes, IPC_MODE_RECEIVE, &ipc)) {
      return fail(error);
    }
    uint32_t error = 0;
    const int ready = awaitMailbox(*ipc, n, mboxes, timeout, &error);
    if (ready < 0) return fail(error);
    std::optional<BlockLock> lock;
    if (lockFlag != 0) {
      lock.emplace(*ipc);
      if (lock->error() != 0) return fail(lock->error());
    }
    const Block& b = ipc->block;
    MailboxHandle& woken = mailboxAt(mboxes, static_cast<uint32_t>(ready));
    if (b.peekQueued(woken.slot) == 0) {
      // Woken by a signal without a message: cleared under the mutex, so
      // that the next select waits.
      std::optional<BlockLock> clearing;
      if (!lock) clearing.emplace(*ipc);
      if ((lock || clearing->error() == 0) && b.load(woken.slot + kSlotQueued) == 0) {
        clearStaleSignal(woken);
      }
    }
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t slot = mailboxAt(mboxes, i).slot;
      if (queued != nullptr) queued[i] = b.load(slot + kSlotQueued);
      if (openCounts != nullptr) openCounts[i] = b.load(slot + kSlotOpenCount);
    }
    if (lock) error = lock->release(0);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_get_mailbox_handles(uint32_t n, void* const* mboxes, int* outEvents) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr || outEvents == nullptr) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    Registry& registry = Registry::instance();
    auto guard = registry.lock();
    for (uint32_t i = 0; i < n; ++i) {
      if (registry.findMailbox(mboxes[i]) == nullptr) return fail(compose(IPC_ERR_NOT_MAILBOX));
    }
    for (uint32_t i = 0; i < n; ++i) outEvents[i] = mailboxAt(mboxes, i).eventFd;
    return 1;
  });
}

int IPC_suspend_mailbox(uint32_t n, void* const* mboxes, uint32_t flag, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    IpcHandle* ipc = nullptr;
    if (uint32_t error = checkHandles(ipcHandle, n, mboxes, 0, &ipc)) return fail(error);
    BlockLock lock(*ipc);
    if (lock.error() != 0) return fail(lock.error());
    for (uint32_t i = 0; i < n; ++i) {
      ipc->block.store(mailboxAt(mboxes, i).slot + kSlotSuspended, flag);
    }
    uint32_t error = lock.release(0);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_mailbox_state(uint32_t n, void* const* mboxes, uint32_t* capacities, uint32_t* queued,
                      uint32_t* openCounts, uint32_t* suspended, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    IpcHandle* ipc = nullptr;
    if (uint32_t error = checkHandles(ipcHandle, n, mboxes, 0, &ipc)) return fail(error);
    BlockLock lock(*ipc);
    if (lock.error() != 0) return fail(lock.error());
    const Block& b = ipc->block;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t slot = mailboxAt(mboxes, i).slot;
      if (capacities != nullptr) capacities[i] = b.load(slot + kSlotCapacity);
      if (queued != nullptr) queued[i] = b.load(slot + kSlotQueued);
      if (openCounts != nullptr) openCounts[i] = b.load(slot + kSlotOpenCount);
      if (suspended != nullptr) suspended[i] = b.load(slot + kSlotSuspended);
    }
    uint32_t error = lock.release(0);
    return error == 0 ? 1 : fail(error);
  });
}

}  // extern "C"
